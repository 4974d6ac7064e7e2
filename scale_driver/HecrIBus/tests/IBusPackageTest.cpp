// Packets and frames of the firmware bus: the 7-bit frame codec against a
// model written independently, the answer recogniser, the BCD of IDs and
// times, and the status block.
#include "IBusPackage.h"
#include "BootFrames.h"
#include "IBusBcd.h"
#include "IBusReceiver.h"
#include "TEcrStatus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace pondrex::test {
namespace {

using namespace pondrex::ibus;

TData ToData(const Bytes &bytes) {
  TData data{};
  std::copy(bytes.begin(), bytes.end(), data.begin());
  return data;
}

Bytes FrameBytes(const TData &frame) {
  return Bytes(frame.begin(), frame.begin() + IBusFrameSize);
}

Bytes RandomPacket(std::mt19937 &random) {
  Bytes data(256);
  for (uint8_t &byte : data)
    byte = static_cast<uint8_t>(random());
  return StampedPacket(static_cast<uint8_t>(random()), static_cast<uint8_t>(random()),
                       static_cast<uint8_t>(random()), data);
}

TEST(IBusFrame, ZeroPacketIsStartByte299TimesEightyAndEndByte) {
  TData frame{};
  frame.fill(0xEE);
  EncodePackage(TData{}, frame);
  Bytes expected(IBusFrameSize, 0x80);
  expected.front() = 0x03;
  expected.back() = 0x04;
  EXPECT_EQ(FrameBytes(frame), expected);
  // Bytes beyond the frame are left alone.
  EXPECT_EQ(frame[IBusFrameSize], 0xEE);
}

TEST(IBusFrame, RandomPacketsMatchTheModelAndComeBackWithTheirSum) {
  std::mt19937 random(20261208);
  for (int round = 0; round < 200; ++round) {
    const Bytes packet = RandomPacket(random);
    TData frame{};
    EncodePackage(ToData(packet), frame);
    const Bytes bytes = FrameBytes(frame);
    ASSERT_EQ(bytes, FrameOf(packet)) << "round " << round;
    EXPECT_EQ(bytes.front(), 0x03);
    EXPECT_EQ(bytes.back(), 0x04);
    EXPECT_TRUE(std::all_of(bytes.begin() + 1, bytes.end() - 1, [](uint8_t b) { return (b & 0x80) != 0; }));

    TData decoded{};
    decoded.fill(0xEE);
    ASSERT_TRUE(DecodePackage(frame, decoded));
    EXPECT_EQ(Bytes(decoded.begin(), decoded.begin() + IBusPackageSize), packet);
  }
}

TEST(IBusFrame, SumIsOfTheFirst259BytesAndAChangedBitFailsIt) {
  TData packet{};
  for (size_t i = 0; i < IBusSummedSize; ++i)
    packet[i] = 0xFF;
  StampPackageSum(packet);
  EXPECT_EQ(PackageSum(packet), static_cast<uint16_t>(259 * 0xFF));
  EXPECT_EQ(packet[259], static_cast<uint8_t>(259 * 0xFF));
  EXPECT_EQ(packet[260], static_cast<uint8_t>((259 * 0xFF) >> 8));

  for (size_t at : {size_t{1}, size_t{150}, size_t{296}, size_t{297}, size_t{299}}) {
    TData frame{};
    EncodePackage(packet, frame);
    frame[at] ^= 0x01;
    TData decoded{};
    EXPECT_FALSE(DecodePackage(frame, decoded)) << "frame byte " << at;
  }
}

TEST(IBusBcd, IdsAndTimesAsTheWireCarriesThem) {
  EXPECT_EQ(IdToWire(1234), (std::array<uint8_t, 4>{0x34, 0x12, 0x00, 0x00}));
  EXPECT_EQ(IdToWire(99999999), (std::array<uint8_t, 4>{0x99, 0x99, 0x99, 0x99}));
  // Only the 8 least significant digits travel.
  EXPECT_EQ(IdToWire(123456789), (std::array<uint8_t, 4>{0x89, 0x67, 0x45, 0x23}));
  EXPECT_EQ(IntToBcd(1234), (std::array<uint8_t, 4>{0x00, 0x00, 0x12, 0x34}));
  EXPECT_EQ(ByteToBcd(2026), 0x26);
  EXPECT_EQ(ByteToBcd(8), 0x08);
  EXPECT_EQ(ByteToBcd(59), 0x59);
}

// The recogniser, fed chunk by chunk.
struct TReceiverCase {
  const char *name;
  bool frame;
  std::vector<Bytes> chunks;
  int32_t status;
  uint8_t reply;
  Bytes answer; // the frame taken, for frame answers
};

class IBusReceiverTest : public ::testing::Test {
protected:
  static Bytes Answer() { return FrameOf(StampedPacket(14, 16, 0, {1, 2, 3})); }
  static Bytes Other() { return FrameOf(StampedPacket(14, 17, 0, {9})); }
};

TEST_F(IBusReceiverTest, RecognisesOnlyTheAwaitedAnswer) {
  const Bytes answer = Answer();
  const Bytes other = Other();
  const Bytes half1(answer.begin(), answer.begin() + 100);
  const Bytes half2(answer.begin() + 100, answer.end());
  Bytes junkThenFrame = {0x03, 0x8E, 0x55, 0x03, 0x03};
  junkThenFrame.insert(junkThenFrame.end(), answer.begin() + 1, answer.end());
  Bytes twoFrames = answer;
  twoFrames.insert(twoFrames.end(), other.begin(), other.end());
  Bytes wrongEcho = answer;
  wrongEcho[1] ^= 0x01;
  Bytes noEnd = answer;
  noEnd.back() = 0x05;

  const std::vector<TReceiverCase> cases = {
      {"one-byte acknowledgement after noise", false, {{0x00, 0x66, 0x02, 0x55}}, 1, 0x02, {}},
      {"one-byte refusal", false, {{0x80}, {0x55, 0x02}}, 1, 0x55, {}},
      {"noise only", false, {{0x00, 0x03, 0x04}}, 0, 0, {}},
      {"a frame is no one-byte answer unless it holds 02 or 55", false, {Other()}, 0, 0, {}},
      {"frame in one chunk", true, {answer}, 1, 0, answer},
      {"frame split across chunks", true, {half1, half2}, 1, 0, answer},
      {"wrong echo byte", true, {wrongEcho}, 0, 0, {}},
      {"answer to another request", true, {other}, 0, 0, {}},
      {"no end byte", true, {noEnd}, 0, 0, {}},
      {"0x03 inside junk starts a new frame", true, {junkThenFrame}, 1, 0, answer},
      {"second frame of the chunk dropped", true, {twoFrames}, 1, 0, answer},
      {"later chunk dropped", true, {answer, Bytes{0x03}}, 1, 0, answer},
  };
  for (const TReceiverCase &c : cases) {
    SCOPED_TRACE(c.name);
    TIBusReceiver receiver;
    receiver.isReceiveData = c.frame;
    receiver.cmdbytes = {answer[1], answer[2], answer[3]};
    receiver.Reset();
    EXPECT_EQ(receiver.ReceiveStatus, TIBusReceiver::Waiting);
    Bytes taken;
    for (const Bytes &chunk : c.chunks) {
      const std::span<const uint8_t> got = receiver.Take(chunk);
      taken.insert(taken.end(), got.begin(), got.end());
    }
    EXPECT_EQ(receiver.ReceiveStatus, c.status);
    EXPECT_EQ(receiver.Reply, c.reply);
    if (c.frame)
      EXPECT_EQ(taken, c.answer);
    else
      EXPECT_EQ(taken, c.status == 1 ? Bytes{c.reply} : Bytes{});
  }
}

TEST(EcrStatus, FieldsLittleEndianAndTheIdCodeAsSixteenBitText) {
  Bytes block(256, 0);
  block[0] = 0x34;
  block[1] = 0x12;
  block[12] = 0x10;
  block[13] = 0x02;
  const std::u16string id = u"VZR-7\u4E2D";
  for (size_t i = 0; i < id.size(); ++i) {
    block[16 + 2 * i] = static_cast<uint8_t>(id[i]);
    block[17 + 2 * i] = static_cast<uint8_t>(id[i] >> 8);
  }
  block[110] = 0xA5;
  const TEcrStatus status = TEcrStatus::FromBlock(block);
  EXPECT_EQ(status.P447Ver, 0x1234);
  EXPECT_EQ(status.PLUCount, 0x0210);
  EXPECT_EQ(status.IDCodeText(), id);
  EXPECT_EQ(status.RamTestByte, 0xA5);

  // 32 characters without a zero character: all of them.
  std::fill(block.begin() + 16, block.begin() + 80, 0x41);
  EXPECT_EQ(TEcrStatus::FromBlock(block).IDCodeText(), std::u16string(32, u'\u4141'));
}

} // namespace
} // namespace pondrex::test
