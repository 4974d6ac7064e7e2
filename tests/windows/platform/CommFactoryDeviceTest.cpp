// The serial component that the platform makes works on a real COM port, and
// what the far end sends reaches the core only while the creating thread
// pumps.
#include "PeerClient.h"
#include "TWinPlatform.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pondrex {
namespace {

using pos::test::PeerClient;
using Bytes = std::vector<uint8_t>;

TEST(WinCommFactory, TheComponentTalksToThePortAndDeliversOnlyInAPump) {
  IPlatform &platform = SystemPlatform();
  PeerClient peer;
  std::unique_ptr<TCommBase> comm = platform.CreateComm();
  const std::string port = PeerClient::comPort();
  comm->SetCommName(std::u16string(port.begin(), port.end()));
  comm->SetOutx_XonXoffFlow(false);
  comm->SetInx_XonXoffFlow(false);
  comm->SetReadIntervalTimeout(20);
  Bytes received;
  DWORD thread = 0;
  comm->OnReceiveData = [&](TCommBase &, const uint8_t *buffer, uint16_t length) {
    received.insert(received.end(), buffer, buffer + length);
    thread = GetCurrentThreadId();
  };
  comm->StartComm();

  const Bytes request = {0x02, 0x11, 0x13, 0x00, 0x03};
  ASSERT_TRUE(comm->WriteCommData(request.data(), static_cast<uint32_t>(request.size())));
  EXPECT_EQ(peer.receive(request.size(), 3000), request);

  const Bytes answer = {0x06, 0x13, 0x11, 0xFF};
  peer.send(answer);
  platform.Sleep(500);
  EXPECT_TRUE(received.empty()) << "nothing arrives while the thread only sleeps";
  for (int i = 0; i < 300 && received.size() < answer.size(); ++i) {
    platform.Sleep(10);
    platform.PumpMessages();
  }
  EXPECT_EQ(received, answer);
  EXPECT_EQ(thread, GetCurrentThreadId());
  comm->StopComm();
}

} // namespace
} // namespace pondrex
