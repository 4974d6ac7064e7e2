// Proves the test harness: a COM port of the Wine prefix reaches the
// pseudo-terminal peer in both directions, byte for byte, including the
// XON/XOFF values that the scale protocols use as data.
#include "PeerClient.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using pos::test::PeerClient;

class ComPortHarness : public ::testing::Test {
protected:
  void SetUp() override {
    std::string path = "\\\\.\\" + PeerClient::comPort();
    port_ = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(port_, INVALID_HANDLE_VALUE) << "error " << GetLastError();
    COMMTIMEOUTS timeouts{};
    timeouts.ReadTotalTimeoutConstant = 3000;
    ASSERT_TRUE(SetCommTimeouts(port_, &timeouts));
  }
  void TearDown() override {
    if (port_ != INVALID_HANDLE_VALUE) {
      CloseHandle(port_);
    }
  }
  HANDLE port_ = INVALID_HANDLE_VALUE;
  PeerClient peer_;
};

TEST_F(ComPortHarness, BytesWrittenReachThePeer) {
  const std::vector<uint8_t> bytes = {0xAB, 0x00, 0x11, 0x13, 0x0D, 0x0A, 0xFF, 0x03};
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(port_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
  EXPECT_EQ(written, bytes.size());
  EXPECT_EQ(peer_.receive(bytes.size(), 3000), bytes);
}

TEST_F(ComPortHarness, BytesThePeerSendsArrive) {
  const std::vector<uint8_t> bytes = {0x01, 0x02, 0x11, 0x13, 0x0D, 0x00, 0x7F, 0x04};
  peer_.send(bytes);
  std::vector<uint8_t> got(bytes.size());
  DWORD read = 0;
  ASSERT_TRUE(ReadFile(port_, got.data(), static_cast<DWORD>(got.size()), &read, nullptr));
  got.resize(read);
  EXPECT_EQ(got, bytes);
}

TEST_F(ComPortHarness, PeerSeesTheLineSettings) {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  ASSERT_TRUE(GetCommState(port_, &dcb));
  dcb.BaudRate = 38400;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  ASSERT_TRUE(SetCommState(port_, &dcb));
  pos::test::LineSettings line = peer_.line();
  EXPECT_EQ(line.baud, 38400u);
  EXPECT_EQ(line.dataBits, 8);
  EXPECT_EQ(line.parity, 'N');
}

} // namespace
