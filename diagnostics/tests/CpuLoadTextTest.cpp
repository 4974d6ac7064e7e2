#include "CpuLoadText.h"

#include <gtest/gtest.h>

namespace tavrel {
namespace {

TEST(CpuLoadText, GeneralFormatWithSixDigits) {
  const struct {
    double load;
    const char16_t *text;
  } cases[] = {
      {37.0, u"37"},
      {0.0, u"0"},
      {-1.0, u"-1"},
      {100.0, u"100"},
      {12.5, u"12.5"},
      {33.3333333, u"33.3333"},
      {1234567.0, u"1.23457e+06"},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(FormatCpuLoad(c.load), c.text) << c.load;
  }
}

TEST(CpuLoadText, SummaryLine) {
  EXPECT_EQ(FormatCpuUsageSummary(12.5, 12.5),
            u"Current CPU Usage: 12.5%, Average CPU Usage (last 10 minutes): 12.5%\r\n");
  EXPECT_EQ(FormatCpuUsageSummary(-1, -1),
            u"Current CPU Usage: -1%, Average CPU Usage (last 10 minutes): -1%\r\n");
}

TEST(CpuLoadText, AverageOfSamples) {
  EXPECT_EQ(AverageOfSamples({42.0}), 42.0);
  EXPECT_EQ(AverageOfSamples({10.0, 20.0, 60.0}), 30.0);
  EXPECT_EQ(AverageOfSamples({}), 0.0);
}

} // namespace
} // namespace tavrel
