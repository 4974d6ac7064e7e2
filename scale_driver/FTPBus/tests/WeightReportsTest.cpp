#include "WeightReports.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pondrex {
namespace {

using Bytes = std::vector<uint8_t>;

struct TUnitCase {
  uint8_t Code;
  double W;
  std::u16string Weight;
  std::u16string Unit;
  double Scaled;
};

TEST(WeightReports, UnitTableGivesWeightTextUnitTextAndScaledWeight) {
  const std::vector<TUnitCase> cases = {
      {0, 12345, u"12,345", u"N:KG", 12.345},    {0, -5, u"-0,005", u"N:KG", -0.005},
      {0x30, 7, u"0,007", u"N:KG", 0.007}, // only the low 4 bits count
      {1, 1234, u"12.34", u"500G:JIN", 1234},    {1, 5, u"0.05", u"500G:JIN", 5},
      {1, -1234, u"-12.34", u"500G:JIN", -1234}, {3, 12345, u"12345", u"G:G", 12345},
      {5, 12345, u"", u"100G:V", 12345},         {10, -40, u"-40", u"600G:TJIN", -40},
      {12, 1000, u"1,000", u"LB:LB", 1},         {15, 1, u"", u"", 1},
  };
  for (const TUnitCase &c : cases) {
    std::u16string weight;
    std::u16string unit;
    double scaled = 0;
    UnitWeightText(c.Code, c.W, u',', weight, unit, scaled);
    SCOPED_TRACE(int(c.Code));
    EXPECT_EQ(weight, c.Weight);
    EXPECT_EQ(unit, c.Unit);
    EXPECT_DOUBLE_EQ(scaled, c.Scaled);
  }
}

struct TFrameCase {
  const char *Name;
  Bytes Frame;
  std::vector<std::u16string> Reports;
};

TEST(WeightReports, FramesGiveTheirReports) {
  const std::vector<TFrameCase> cases = {
      {"short stable", {'S', 0x05, 0x04, 0xD2}, {u"1:5:1234:KG:0"}},
      {"short negative", {'p', 0x05, 0x04, 0xD2}, {u"0:5:-1234:KG:0"}},
      {"stable and negative", {'w', 0x05, 0x04, 0xD2}, {u"1:5:-1234:KG:0"}},
      {"value byte 128", {'S', 0x80, 0x04, 0xD2}, {u"1:-1:1234:KG:0"}},
      {"one group", {'S', 0x03, 0x30, 0x39, 0x00}, {u"1:3:12.345:N:KG:0"}},
      {"last group counts", {'S', 0x01, 0x00, 0x01, 0x00, 'U', 0x02, 0x00, 0x10, 0x03}, {u"0:2:16:G:G:0"}},
      {"'Z' group first",
       {'Z', 0x07, 0xEE, 0x00, 0x64, 'S', 0x05, 0x04, 0xD2, 0x00},
       {u"0:7:100::0", u"1:5:1.234:N:KG:0"}},
      {"'Z' group second",
       {'S', 0x01, 0x00, 0x01, 0x00, 'Z', 0x07, 0xEE, 0x00, 0x64, 'S', 0x05, 0x04, 0xD2, 0x01},
       {u"0:7:100::0", u"1:5:12.34:500G:JIN:0"}},
      // The weight group would lie past the frame: only the 'Z' group.
      {"two 'Z' groups", {'Z', 0x01, 0, 0, 1, 'Z', 0x02, 0, 0, 2}, {u"0:2:2::0"}},
      {"too short", {'S', 0x05, 0x04}, {}},
      {"six bytes", {'S', 0x05, 0x04, 0xD2, 0x00, 0x00}, {}},
      {"empty", {}, {}},
  };
  for (const TFrameCase &c : cases) {
    TPelqoencode codec;
    std::vector<std::u16string> texts;
    for (const TWeightReport &report : DecodeWeightFrame(codec, c.Frame, u'.'))
      texts.push_back(ReportText(report));
    EXPECT_EQ(texts, c.Reports) << c.Name;
  }
}

} // namespace
} // namespace pondrex
