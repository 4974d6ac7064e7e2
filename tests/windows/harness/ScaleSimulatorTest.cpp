// Proves the simulated scale on the far end of a COM port: a command frame and
// a weight request written with plain Win32 calls are answered as configured,
// only at the configured rate, and the scale's log shows what it saw at which
// rate.
#include "PeerClient.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using pos::test::ScaleClient;
using pos::test::ScaleLogEntry;
using pos::test::ScaleReply;
using Bytes = std::vector<uint8_t>;

// Tare (0x80040000) for ECR ID 123456, packet 0, no data.
const Bytes kTare = {0xAB, 0x00, 0x01, 0xE2, 0x40, 0x80, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x52};
const Bytes kAck = {0xAB, 0x00, 0x01, 0xE2, 0x40, 0x80, 0x0E, 0x00, 0x00, 0x00, 0x00, 0x00, 0x5C};
const Bytes kRefusal = {0xAB, 0x00, 0x01, 0xE2, 0x40, 0x80, 0x0D, 0x12, 0x05, 0x00, 0x00, 0x00, 0x72};

class ScaleSimulator : public ::testing::Test {
protected:
  void SetUp() override {
    std::string path = "\\\\.\\" + ScaleClient::comPort();
    port_ = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(port_, INVALID_HANDLE_VALUE) << "error " << GetLastError();
    setRate(9600);
    scale_.reset();
    scale_.setId(123456);
    scale_.answerOnlyAt(9600);
  }
  void TearDown() override {
    if (port_ != INVALID_HANDLE_VALUE) {
      CloseHandle(port_);
    }
  }

  void setRate(DWORD baud) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    ASSERT_TRUE(GetCommState(port_, &dcb));
    dcb.BaudRate = baud;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    ASSERT_TRUE(SetCommState(port_, &dcb));
  }

  void write(const Bytes &bytes) {
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(port_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    ASSERT_EQ(written, bytes.size());
  }

  // Up to count bytes, waiting at most timeoutMs for each read.
  Bytes read(size_t count, DWORD timeoutMs) {
    COMMTIMEOUTS timeouts{};
    timeouts.ReadTotalTimeoutConstant = timeoutMs;
    EXPECT_TRUE(SetCommTimeouts(port_, &timeouts));
    Bytes got(count);
    size_t have = 0;
    while (have < count) {
      DWORD n = 0;
      if (!ReadFile(port_, got.data() + have, static_cast<DWORD>(count - have), &n, nullptr) || n == 0) {
        break;
      }
      have += n;
    }
    got.resize(have);
    return got;
  }

  HANDLE port_ = INVALID_HANDLE_VALUE;
  ScaleClient scale_;
};

TEST_F(ScaleSimulator, AnswersFramesAndWeightRequestsAndLogsThem) {
  scale_.on(0x80040000, {ScaleReply::ack(), ScaleReply::refuse(0x1205)});
  const Bytes is1 = scale_.is1Text('S', ' ', "  1.25", "kg");
  ASSERT_EQ(is1.size(), 16u);

  write(kTare);
  EXPECT_EQ(read(kAck.size(), 3000), kAck);
  write(kTare);
  EXPECT_EQ(read(kRefusal.size(), 3000), kRefusal);
  write({0x11});
  EXPECT_EQ(read(is1.size(), 3000), is1);

  std::vector<ScaleLogEntry> log = scale_.log(3, 3000);
  ASSERT_EQ(log.size(), 3u);
  const std::vector<std::pair<std::string, Bytes>> expected = {
      {"frame", kTare}, {"frame", kTare}, {"is1req", {0x11}}};
  for (size_t i = 0; i < log.size(); ++i) {
    EXPECT_EQ(log[i].kind, expected[i].first) << i;
    EXPECT_EQ(log[i].bytes, expected[i].second) << i;
    EXPECT_EQ(log[i].baud, 9600u) << i;
  }
  EXPECT_LE(log[0].timeMs, log[1].timeMs);
  EXPECT_LE(log[1].timeMs, log[2].timeMs);
}

TEST_F(ScaleSimulator, StaysSilentAtAnotherRateButSeesTheFrame) {
  setRate(19200);
  write(kTare);
  EXPECT_EQ(read(kAck.size(), 500), Bytes{});
  std::vector<ScaleLogEntry> log = scale_.log(1, 3000);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].kind, "frame");
  EXPECT_EQ(log[0].baud, 19200u);
}

TEST_F(ScaleSimulator, PushedFramesArriveAsBuilt) {
  const Bytes measurement = scale_.frame(0x83000000, {0x01, 0x02, 0x03, 0x04});
  ASSERT_EQ(measurement.size(), 19u);
  EXPECT_EQ(Bytes(measurement.begin(), measurement.begin() + 5), Bytes(kTare.begin(), kTare.begin() + 5));
  scale_.push(measurement);
  EXPECT_EQ(read(measurement.size(), 3000), measurement);
}

} // namespace
