// The IS1 weight frame parser and the totals it keeps over the frames.
#include "TIS1.h"
#include "LinkTestSupport.h"

#include <gtest/gtest.h>

namespace pondrex::test {
namespace {

TIs1Extension Sale(uint32_t total, uint8_t key = 0xE5, uint8_t flag = 0) {
  return {.Decimals = 0x22,
          .Price = 1234,
          .Total = total,
          .Key = key,
          .WeightAd = 300,
          .Check = 'X',
          .Flag = flag};
}

TEST(TIS1, PlainFrameFields) {
  TIS1 is1;
  ASSERT_TRUE(is1.check(Is1Frame('S', '-', "  1.25", "kg", 0x31)));
  EXPECT_EQ(is1.status(), u"S");
  EXPECT_EQ(is1.sign(), u"-");
  EXPECT_EQ(is1.Weight(), u"  1.25");
  EXPECT_EQ(is1.AUnit(), u"kg");
  EXPECT_EQ(is1.flag(), 0x31);
}

// The weight is the run of weight characters; the unit is what follows it,
// whatever the block check byte looks like.
TEST(TIS1, WeightAndUnitDoNotDependOnTheCheckByte) {
  auto frameWithCheck = [](auto wanted) {
    for (int status = 0; status <= 0xFF; ++status) {
      Bytes frame = Is1Frame(static_cast<char>(status), ' ', "  1.25", "kg", 0);
      if (wanted(static_cast<char>(frame[12])))
        return frame;
    }
    return Bytes{};
  };
  const Bytes digit = frameWithCheck([](char c) { return c >= '0' && c <= '9'; });
  const Bytes letter =
      frameWithCheck([](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); });
  ASSERT_FALSE(digit.empty());
  ASSERT_FALSE(letter.empty());
  for (const Bytes &frame : {digit, letter}) {
    TIS1 is1;
    ASSERT_TRUE(is1.check(frame));
    EXPECT_EQ(is1.Weight(), u"  1.25");
    EXPECT_EQ(is1.AUnit(), u"kg");
  }
}

TEST(TIS1, FrameThatFailsKeepsThePreviousWeight) {
  TIS1 is1;
  ASSERT_TRUE(is1.check(Is1Frame('S', ' ', "  1.25", "kg", 0)));
  Bytes badCheck = Is1Frame('U', ' ', "  9.99", "lb", 0);
  badCheck[12] ^= 0x40;
  Bytes noEnd = Is1Frame('U', ' ', "  9.99", "lb", 0);
  noEnd[14] = 0x05;
  Bytes earlyEnd = Bytes{0x01, 0x02, 'U', ' ', 0x03, 0x04, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  for (const Bytes &frame : {badCheck, noEnd, earlyEnd}) {
    EXPECT_FALSE(is1.check(frame));
    EXPECT_EQ(is1.Weight(), u"  1.25");
    EXPECT_EQ(is1.status(), u"S");
  }
}

TEST(TIS1, ExtendedFrameFields) {
  TIS1 is1;
  ASSERT_TRUE(is1.check(ExtendedIs1Frame('S', ' ', " 0.500", "kg", Sale(61725, 0xE5, 0x20))));
  EXPECT_EQ(is1.Len(), u"12");
  EXPECT_EQ(is1.Dp(), u"22");
  EXPECT_EQ(is1.Price(), u"12.34");
  EXPECT_EQ(is1.Total(), u"617.25");
  EXPECT_EQ(is1.Keyvalue(), u"101");
  EXPECT_EQ(is1.WeightAD(), u"300");
  EXPECT_EQ(is1.Bcc(), u"X");
  EXPECT_EQ(is1.flag(), 0x20);

  TIs1Extension noKey = Sale(100, 255);
  noKey.Decimals = 0x03;
  ASSERT_TRUE(is1.check(ExtendedIs1Frame('S', ' ', " 0.500", "kg", noKey)));
  EXPECT_EQ(is1.Price(), u"1234");
  EXPECT_EQ(is1.Total(), u"0.100");
  EXPECT_TRUE(is1.Keyvalue().empty());
}

TEST(TIS1, ExtendedFrameThatCannotBeReadFails) {
  TIs1Extension hexDecimals = Sale(1);
  hexDecimals.Decimals = 0x2A;
  Bytes longLength = ExtendedIs1Frame('S', ' ', " 0.500", "kg", Sale(1));
  longLength[17] = 13;
  for (const Bytes &frame : {ExtendedIs1Frame('S', ' ', " 0.500", "kg", hexDecimals), longLength}) {
    TIS1 is1;
    EXPECT_FALSE(is1.check(frame));
  }
  // Cut frames are read as far as they go and no further: with the length
  // byte the extension is promised and missing; before it the frame is plain.
  const Bytes whole = ExtendedIs1Frame('S', ' ', " 0.500", "kg", Sale(1));
  TIS1 is1;
  EXPECT_FALSE(is1.check(Bytes(whole.begin(), whole.begin() + 19)));
  EXPECT_TRUE(is1.check(Bytes(whole.begin(), whole.begin() + 17)));
  EXPECT_EQ(is1.flag(), 0);
}

TEST(TIS1, SalesAreCountedOncePerNewTotalUntilTheClearingKey) {
  TIS1 is1;
  const Bytes first = ExtendedIs1Frame('S', ' ', " 0.500", "kg", Sale(1000));
  ASSERT_TRUE(is1.check(first));
  ASSERT_TRUE(is1.check(first));
  EXPECT_EQ(is1.Number(), 1);
  ASSERT_TRUE(is1.check(ExtendedIs1Frame('S', ' ', " 1,250", "kg", Sale(2000, 0x80 | 105))));
  EXPECT_EQ(is1.Number(), 2);
  EXPECT_DOUBLE_EQ(is1.weightsum(), 1.75);
  ASSERT_TRUE(is1.check(ExtendedIs1Frame('S', ' ', " 1.000", "kg", Sale(3000, 100))));
  EXPECT_EQ(is1.Number(), 2);
  ASSERT_TRUE(is1.check(ExtendedIs1Frame('S', ' ', " 1.000", "kg", Sale(3000, 26))));
  EXPECT_EQ(is1.Number(), 0);
  EXPECT_EQ(is1.weightsum(), 0);
  ASSERT_TRUE(is1.check(first));
  EXPECT_EQ(is1.Number(), 1);
}

TEST(TIS1, TareIsCollectedWhileTheTareFlagIsSet) {
  TIS1 is1;
  auto frame = [](char sign, const std::string &weight, uint8_t flag) {
    return ExtendedIs1Frame('S', sign, weight, "kg", Sale(1, 255, flag));
  };
  ASSERT_TRUE(is1.check(frame(' ', " 0.200", 0x20)));
  EXPECT_EQ(is1.TareWeight_RKV(), 0);
  ASSERT_TRUE(is1.check(frame(' ', " 0.000", 0x20))); // the weight taken off becomes tare
  EXPECT_DOUBLE_EQ(is1.TareWeight_RKV(), 0.2);
  ASSERT_TRUE(is1.check(frame('-', " 0.300", 0x20)));
  EXPECT_EQ(is1.TareWeight_RKV(), 0);
  ASSERT_TRUE(is1.check(frame(' ', " 0.000", 0x20)));
  EXPECT_DOUBLE_EQ(is1.TareWeight_RKV(), 0.3);
  ASSERT_TRUE(is1.check(frame(' ', " 0.000", 0x00)));
  EXPECT_EQ(is1.TareWeight_RKV(), 0);
  ASSERT_TRUE(is1.check(frame(' ', " 0.000", 0x20))); // nothing was on before
  EXPECT_EQ(is1.TareWeight_RKV(), 0);
}

TEST(TIS1, ShortFrameTakesTheWeightAsItStands) {
  TIS1 is1;
  ASSERT_TRUE(is1.check(ExtendedIs1Frame('S', ' ', " 0.500", "kg", Sale(1000, 0xE5, 0x20))));
  ASSERT_TRUE(is1.checkD0(ShortIs1Frame('U', '-', "1 2kgx", "lb")));
  EXPECT_EQ(is1.status(), u"U");
  EXPECT_EQ(is1.sign(), u"-");
  EXPECT_EQ(is1.Weight(), u"1 2kgx");
  EXPECT_EQ(is1.AUnit(), u"lb");
  EXPECT_EQ(is1.flag(), 0);
  EXPECT_EQ(is1.Total(), u"10.00");
  EXPECT_EQ(is1.Number(), 1);
  EXPECT_FALSE(is1.checkD0(Bytes{0x06}));
}

} // namespace
} // namespace pondrex::test
