#include "ScaleFrames.h"
#include "THecrprotocolCheck.h"
#include "TccHecrCommand.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace pondrex {
namespace {

using test::BuildFrame;
using test::Join;
using Bytes = std::vector<uint8_t>;

Bytes Frame(uint32_t command, Bytes data = {}, uint8_t packet = 0, uint32_t ecrId = test::TestEcrId) {
  return BuildFrame({.EcrId = ecrId, .Command = command, .Packet = packet, .Data = std::move(data)});
}

const Bytes Ack = Frame(0x800E0000);
const Bytes Measurement4 = Frame(0x83000000, {0x00, 0x01, 0x00, 0x02}); // 19 bytes
const Bytes Measurement0 = Frame(0x83000000);                           // 13 bytes

class FrameCheck : public ::testing::Test {
protected:
  FrameCheck() : tare(0), read(1) {
    check.SetFChkcrc(true);
    check.SetFChksum(true);
    tare.SetStatus(THecrLinkStatus::ifSend);
    tare.SetCommand(0x80040000);
    read.SetStatus(THecrLinkStatus::ifReceive);
    read.SetCommand(0x91160000);
  }

  bool Check(const Bytes &stream, int32_t startOffset = 0) {
    offset = startOffset;
    return check.CheckData(stream, buffer, offset);
  }

  THecrprotocolCheck check;
  TccHecrCommand tare;
  TccHecrCommand read;
  Bytes buffer = {0x77};
  int32_t offset = 0;
};

TEST_F(FrameCheck, AcknowledgementOfTheWaitingCommand) {
  check.SethCmd(&tare);
  ASSERT_TRUE(Check(Ack));
  EXPECT_EQ(check.ErrorID(), 0);
  EXPECT_EQ(check.Command(), 0x800E0000u);
  EXPECT_EQ(check.EcrID(), u"123456");
  EXPECT_EQ(check.LinkStatus(), THecrLinkStatus::ifSend);
  EXPECT_EQ(check.ReceiveLen(), 0);
  EXPECT_EQ(buffer, Bytes{0x77}); // a frame without data leaves the buffer alone
  EXPECT_EQ(check.Logstring(), "Receive:ab 00 01 e2 40 80 0e 00 00 00 00 00 5c offset:0 cmd :800E0000");
}

TEST_F(FrameCheck, RefusalCarriesTheScaleCodeInTheLowByte) {
  check.SethCmd(&tare);
  check.SetResultID(9);
  ASSERT_TRUE(Check(Frame(0x800D1234)));
  EXPECT_EQ(check.Command() >> 16, 0x800Du);
  EXPECT_EQ(check.Command() & 0xFF, 0x34u);
  EXPECT_EQ(check.ParaValue(), 0x34); // byte 8: the low byte of the code
  EXPECT_EQ(check.ResultID(), 0);     // the link sets it; each check resets it
  EXPECT_EQ(check.LinkStatus(), THecrLinkStatus::ifSend);
}

TEST_F(FrameCheck, UnsolicitedMeasurementWhileNothingWaits) {
  ASSERT_TRUE(Check(Frame(0x83000000, {0x10, 0x20, 0x30}, 7, 0xFFFFFFFF)));
  EXPECT_EQ(check.LinkStatus(), THecrLinkStatus::ifQty);
  EXPECT_EQ(buffer, (Bytes{0x10, 0x20, 0x30}));
  EXPECT_EQ(check.ReceiveLen(), 3);
  EXPECT_EQ(check.PackageNo(), 7);
  EXPECT_EQ(check.EcrID(), u"4294967295");
}

TEST_F(FrameCheck, AnswerToAReadCarriesData) {
  check.SethCmd(&read);
  ASSERT_TRUE(Check(Frame(0x91160000, {1, 2, 3, 4, 5})));
  EXPECT_EQ(check.LinkStatus(), THecrLinkStatus::ifReceive);
  EXPECT_EQ(buffer, (Bytes{1, 2, 3, 4, 5}));
  EXPECT_EQ(check.CRCVal(), test::XmodemCrc(Bytes{1, 2, 3, 4, 5}));
}

TEST_F(FrameCheck, FrameAnsweringNothingLeavesNullStatus) {
  ASSERT_TRUE(Check(Ack));
  EXPECT_EQ(check.LinkStatus(), THecrLinkStatus::NULL_);
}

TEST_F(FrameCheck, EachErrorCode) {
  Bytes badSum = Ack;
  badSum[12] ^= 1;
  Bytes badCrc = Measurement4;
  badCrc.back() ^= 1;
  const Bytes data4 = Frame(0x91160000, {1, 2, 3, 4});
  struct Case {
    const char *name;
    Bytes stream;
    int32_t offset;
    bool waiting;
    int32_t error;
    int32_t receiveLen;
  };
  const Case cases[] = {
      {"no start byte", {0x00, 0xAB}, 0, false, 1, 0},
      {"12 bytes without a start byte", Bytes(12, 0), 0, false, 1, 0},
      {"empty stream", {}, 0, false, 2, 0},
      {"offset at the end", Ack, 13, false, 2, 0},
      {"negative offset", Ack, -1, false, 2, 0},
      {"data shorter than its length", Bytes(data4.begin(), data4.begin() + 16), 0, false, 2, 4},
      {"CRC bytes missing", Bytes(data4.begin(), data4.end() - 1), 0, false, 2, 4},
      {"only a measurement with data", Measurement4, 0, true, 3, 4},
      {"only a measurement without data", Measurement0, 0, true, 3, 0},
      {"only a 0x5007 frame", Frame(0x50070000, {9}), 0, true, 3, 1},
      {"header sum", badSum, 0, false, 4, 0},
      {"CRC", badCrc, 0, false, 5, 4},
      {"12 bytes", Bytes(Ack.begin(), Ack.end() - 1), 0, false, 6, 0},
      {"12 bytes behind an offset", Join({{0xFF}, Bytes(Ack.begin(), Ack.end() - 1)}), 1, false, 6, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    check.SethCmd(c.waiting ? &tare : nullptr);
    buffer = {0x77};
    EXPECT_FALSE(Check(c.stream, c.offset));
    EXPECT_EQ(check.ErrorID(), c.error);
    EXPECT_EQ(check.ReceiveLen(), c.receiveLen);
    EXPECT_EQ(buffer, Bytes{0x77});
  }
}

TEST_F(FrameCheck, CrcFailureIsLoggedWithTheComputedValue) {
  Bytes frame = Frame(0x80020000, {'1', '2', '3', '4', '5', '6', '7', '8', '9'});
  frame[frame.size() - 2] = 0;
  EXPECT_FALSE(Check(frame));
  const std::string log = check.Logstring();
  EXPECT_TRUE(log.ends_with("offset:0CRC ERROR:31 c3")) << log;
}

TEST_F(FrameCheck, ChecksOffAcceptWrongSumsAndMissingCrc) {
  check.SetFChkcrc(false);
  check.SetFChksum(false);
  Bytes frame = Frame(0x83000000, {5, 6});
  frame[12] ^= 0xFF;
  frame.resize(frame.size() - 2); // exactly 13 + n bytes: no CRC to read
  ASSERT_TRUE(Check(frame));
  EXPECT_EQ(buffer, (Bytes{5, 6}));
}

TEST_F(FrameCheck, UnsolicitedFramesInFrontOfTheAnswerAreSkipped) {
  struct Case {
    const char *name;
    Bytes front;
  };
  const Case cases[] = {
      {"measurement with 4 data bytes", Measurement4},          {"measurement without data", Measurement0},
      {"two measurements", Join({Measurement0, Measurement4})}, {"0x5007 without data", Frame(0x50070000)},
      {"0x5007 with data", Frame(0x50070000, {1, 2})},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    check.SethCmd(&tare);
    ASSERT_TRUE(Check(Join({c.front, Ack})));
    EXPECT_EQ(offset, static_cast<int32_t>(c.front.size()));
    EXPECT_EQ(check.Command(), 0x800E0000u);
    EXPECT_EQ(check.LinkStatus(), THecrLinkStatus::ifSend);
  }
  // The log line describes the answer only.
  EXPECT_EQ(check.Logstring(), "Receive:ab 00 01 e2 40 80 0e 00 00 00 00 00 5c offset:17 cmd :800E0000");
}

TEST_F(FrameCheck, LogLineIsTheLastChecksAndACheckThatReadsNothingKeepsIt) {
  const std::string ackLine = "Receive:ab 00 01 e2 40 80 0e 00 00 00 00 00 5c offset:0 cmd :800E0000";
  check.SethCmd(&tare);
  EXPECT_FALSE(Check(Measurement4));
  ASSERT_TRUE(Check(Ack));
  // Read after another check that found no byte to read, and read twice.
  EXPECT_FALSE(Check(Ack, 13));
  EXPECT_EQ(check.ErrorID(), THecrprotocolCheck::ErrIncomplete);
  EXPECT_EQ(check.Logstring(), ackLine);
  EXPECT_EQ(check.Logstring(), ackLine);
  EXPECT_FALSE(Check(Ack, -1));
  EXPECT_EQ(check.Logstring(), ackLine);
}

TEST_F(FrameCheck, SkipLogsTheUnsolicitedFrame) {
  check.SethCmd(&tare);
  EXPECT_FALSE(Check(Measurement0));
  const std::string log = check.Logstring();
  EXPECT_EQ(log.substr(log.find("offset:")), "offset:0 cmd :830000 (dLen+CmdLen+2)=dSize");
}

TEST_F(FrameCheck, SumAndCrcHelpersStayInsideTheFrame) {
  EXPECT_TRUE(check.CheckHeaderSum(Ack));
  EXPECT_FALSE(check.CheckHeaderSum(Bytes(Ack.begin(), Ack.end() - 1)));
  Bytes out(2);
  EXPECT_FALSE(check.CheckCRC(Measurement4, out, 4)); // buffer too small
  out.resize(4);
  EXPECT_TRUE(check.CheckCRC(Measurement4, out, 4));
  EXPECT_FALSE(check.CheckCRC(Bytes(Measurement4.begin(), Measurement4.end() - 1), out, 4));
}

// A device may send anything: no byte sequence may make the check read
// outside the stream (the sanitizers watch), and a passed frame fits in it.
TEST_F(FrameCheck, AnyBytesAreSafeToCheck) {
  std::mt19937 random(20240611);
  const uint8_t starts[] = {0x3C, 0xAA, 0xAB, 0xFD, 0xFE, 0x00};
  const Bytes valid = Join({Measurement4, Frame(0x91160000, {1, 2, 3})});
  for (int round = 0; round < 3000; ++round) {
    Bytes stream;
    if (round < static_cast<int>(valid.size()) * 4) {
      stream.assign(valid.begin(), valid.begin() + round % static_cast<int>(valid.size()));
    } else {
      stream.resize(random() % 40);
      for (auto &b : stream)
        b = static_cast<uint8_t>(random());
      if (!stream.empty())
        stream[0] = starts[random() % 6];
      if (stream.size() > 11 && random() % 2) { // a small length field, often just too long or short
        stream[10] = 0;
        stream[11] = static_cast<uint8_t>(random() % 28);
      }
      if (stream.size() > 8 && random() % 3 == 0) {
        stream[5] = 0x83;
        stream[6] = 0;
      }
    }
    check.SetFChkcrc(round % 2 == 0);
    check.SetFChksum(round % 3 == 0);
    check.SethCmd(round % 5 < 2 ? &tare : nullptr);
    std::vector<uint8_t> owned(stream); // exact-size heap block for the sanitizer
    const int32_t start = owned.empty() ? 0 : static_cast<int32_t>(random() % owned.size());
    offset = start;
    buffer.clear();
    if (check.CheckData(std::span<const uint8_t>(owned.data(), owned.size()), buffer, offset)) {
      EXPECT_EQ(check.ErrorID(), 0);
      EXPECT_LE(static_cast<size_t>(offset) + 13 + buffer.size(), owned.size());
    } else {
      EXPECT_GE(check.ErrorID(), 1);
      EXPECT_LE(check.ErrorID(), 6);
    }
  }
}

} // namespace
} // namespace pondrex
