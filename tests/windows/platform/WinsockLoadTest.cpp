// This program does not link Winsock: the datagram client loads ws2_32.dll by
// name when it first sends, and releases it with the last client.
#include "TWinPlatform.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace pondrex {
namespace {

TEST(WinsockLoad, LoadedByNameAtTheFirstSendAndReleasedWithTheClient) {
  ASSERT_EQ(GetModuleHandleW(L"ws2_32.dll"), nullptr);
  auto client = SystemPlatform().CreateUdpClient();
  client->SetTarget(u"127.0.0.1", 9); // the discard port on loopback
  EXPECT_EQ(GetModuleHandleW(L"ws2_32.dll"), nullptr) << "nothing loaded before it is needed";
  const uint8_t datagram[] = {0x55};
  client->Send(datagram, sizeof datagram);
  EXPECT_NE(GetModuleHandleW(L"ws2_32.dll"), nullptr);
  client.reset();
  EXPECT_EQ(GetModuleHandleW(L"ws2_32.dll"), nullptr);
}

TEST(WinsockLoad, AClientWithoutAHostRaises) {
  auto client = SystemPlatform().CreateUdpClient();
  const uint8_t datagram[] = {0x55};
  EXPECT_THROW(client->Send(datagram, sizeof datagram), EUdpError);
}

} // namespace
} // namespace pondrex
