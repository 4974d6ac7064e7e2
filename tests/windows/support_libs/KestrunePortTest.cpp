// Kestrune.dll's serial port, as a host uses it: loaded by file name, bound
// by name, talking to the pseudo-terminal peer on the far end of its COM
// port.
#include "HostSupport.h"
#include "Kestrune.h"
#include "PeerClient.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using pos::test::bindExport;
using pos::test::LoadedModule;
using pos::test::PeerClient;
using pos::test::StdoutCapture;
using Bytes = std::vector<uint8_t>;

const char *const MissingPort = "\\\\.\\COM250";

class KestrunePort : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(dll_.loaded()) << "error " << dll_.loadError();
    ASSERT_NE(init_, nullptr);
    ASSERT_NE(sendData_, nullptr);
    ASSERT_NE(receiveData_, nullptr);
    ASSERT_NE(close_, nullptr);
    close_();
    peer_.clear();
  }
  void TearDown() override {
    if (close_ != nullptr) {
      close_();
    }
  }

  // The port as a host names it; the device path works for every number.
  static std::string port() { return "\\\\.\\" + PeerClient::comPort(); }

  LoadedModule dll_{L"Kestrune.dll"};
  kestrune::TInitFn init_ = bindExport<kestrune::TInitFn>(dll_, "init");
  kestrune::TSendDataFn sendData_ = bindExport<kestrune::TSendDataFn>(dll_, "sendData");
  kestrune::TReceiveDataFn receiveData_ = bindExport<kestrune::TReceiveDataFn>(dll_, "receiveData");
  kestrune::TCloseFn close_ = bindExport<kestrune::TCloseFn>(dll_, "close");
  PeerClient peer_;
};

TEST_F(KestrunePort, InitOpensThePortAt8N1WithTheRateGiven) {
  for (const int32_t baud : {9600, 19200}) {
    SCOPED_TRACE(baud);
    ASSERT_EQ(init_(port().c_str(), baud), 1);
    const pos::test::LineSettings line = peer_.line();
    EXPECT_EQ(line.baud, static_cast<uint32_t>(baud));
    EXPECT_EQ(line.dataBits, 8);
    EXPECT_EQ(line.parity, 'N');
    EXPECT_EQ(line.stopBits, 1);
  }
}

TEST_F(KestrunePort, SendDataWritesExactlyEightBytes) {
  ASSERT_EQ(init_(port().c_str(), 9600), 1);
  // Twelve bytes in each buffer: only the first eight may reach the line, so
  // each send's bytes arrive right after the previous send's eight.
  const std::vector<Bytes> buffers = {
      {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xEE, 0xEE, 0xEE, 0xEE},
      {'A', 'B', 0x00, 'C', 'D', 0x00, 0x11, 0x13, 0xEE, 0xEE, 0xEE, 0xEE},
      {0xFF, 0x01, 0x02, 0x03, 0x0D, 0x0A, 0x1B, 0x7F, 0xEE, 0xEE, 0xEE, 0xEE},
  };
  for (const Bytes &buffer : buffers) {
    EXPECT_EQ(sendData_(buffer.data()), 8);
    EXPECT_EQ(peer_.receive(8, 3000), Bytes(buffer.begin(), buffer.begin() + 8));
  }
}

TEST_F(KestrunePort, ReceiveDataReturnsUpToTwentyTwoBytesThePeerSent) {
  ASSERT_EQ(init_(port().c_str(), 9600), 1);
  struct Case {
    const char *name;
    size_t sent;
    std::vector<int32_t> reads; // the count of each receiveData in turn
  };
  const Case cases[] = {
      {"five", 5, {5}},
      {"twenty-two", 22, {22}},
      {"thirty", 30, {22, 8}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Bytes sent(c.sent);
    for (size_t i = 0; i < sent.size(); ++i) {
      sent[i] = static_cast<uint8_t>(i == 3 ? 0x00 : 0x40 + i);
    }
    peer_.send(sent);
    Bytes got;
    for (const int32_t expected : c.reads) {
      std::array<uint8_t, 32> out;
      out.fill(0xEE);
      const int32_t count = receiveData_(out.data());
      ASSERT_EQ(count, expected);
      got.insert(got.end(), out.begin(), out.begin() + count);
      for (size_t i = static_cast<size_t>(count); i < out.size(); ++i) {
        ASSERT_EQ(out[i], 0xEE) << "byte " << i << " written past the count";
      }
    }
    EXPECT_EQ(got, sent);
  }
}

TEST_F(KestrunePort, ReceiveDataReturnsZeroAfterTheReadTimeOut) {
  ASSERT_EQ(init_(port().c_str(), 9600), 1);
  std::array<uint8_t, 22> out;
  out.fill(0xEE);
  const DWORD started = GetTickCount();
  EXPECT_EQ(receiveData_(out.data()), 0);
  const DWORD elapsed = GetTickCount() - started;
  std::printf("receiveData on a silent line returned after %lu ms\n", elapsed);
  // Only a lower bound: the read waits at least the constant part of its
  // time-out (1000 ms) before it gives up on a silent line.
  EXPECT_GE(elapsed, 900u);
  EXPECT_EQ(out[0], 0xEE);
}

TEST_F(KestrunePort, FailuresPrintTheirLineAndLeaveNoPortOpen) {
  StdoutCapture capture;
  EXPECT_EQ(init_(MissingPort, 9600), -1);
  const uint8_t data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(sendData_(data), 0);
  std::array<uint8_t, 22> out;
  out.fill(0xEE);
  EXPECT_EQ(receiveData_(out.data()), 1);
  EXPECT_EQ(capture.text(), std::string("Failed to open serial port ") + MissingPort +
                                "\nFailed to write to serial port\n"
                                "Start read from serial port\nFailed to read from serial port\n");
  for (uint8_t b : out) {
    ASSERT_EQ(b, 0xEE) << "out written by a failed read";
  }
}

TEST_F(KestrunePort, APortWhoseSettingsCannotBeReadIsClosedAgain) {
  // The null device opens, but has no serial settings to read.
  StdoutCapture capture;
  const long before = pos::test::processHandleCount();
  EXPECT_EQ(init_("NUL", 9600), -2);
  const uint8_t data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(sendData_(data), 0);
  EXPECT_EQ(pos::test::processHandleCount(), before);
  EXPECT_EQ(capture.text(), "Failed to get serial parameters\nFailed to write to serial port\n");
}

TEST_F(KestrunePort, CloseWithoutAPortReturnsOne) {
  EXPECT_EQ(close_(), 1);
  EXPECT_EQ(close_(), 1);
}

TEST_F(KestrunePort, NullPointersFailWithoutTouchingThePort) {
  EXPECT_EQ(init_(nullptr, 9600), -1);
  ASSERT_EQ(init_(port().c_str(), 9600), 1);
  EXPECT_EQ(sendData_(nullptr), 0);
  EXPECT_EQ(receiveData_(nullptr), 1);
  // The port is still open and works.
  const uint8_t data[8] = {9, 8, 7, 6, 5, 4, 3, 2};
  EXPECT_EQ(sendData_(data), 8);
  EXPECT_EQ(peer_.receive(8, 3000), Bytes(data, data + 8));
}

TEST_F(KestrunePort, InitWhileOpenReplacesThePortWithoutLeakingIt) {
  const long before = pos::test::processHandleCount();
  ASSERT_GT(before, 0);
  ASSERT_EQ(init_(port().c_str(), 9600), 1);
  ASSERT_EQ(init_(port().c_str(), 4800), 1);
  EXPECT_EQ(peer_.line().baud, 4800u);
  const uint8_t data[8] = {0x55, 0, 0x55, 0, 0x55, 0, 0x55, 0};
  EXPECT_EQ(sendData_(data), 8);
  EXPECT_EQ(peer_.receive(8, 3000), Bytes(data, data + 8));
  EXPECT_EQ(close_(), 1);
  EXPECT_EQ(pos::test::processHandleCount(), before);
}

} // namespace
