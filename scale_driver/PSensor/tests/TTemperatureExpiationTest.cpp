// Temperature-compensation table: the 15 points from offset 8 to 127, the
// unread bytes 2 to 7, and buffers shorter than the table.
#include "TTemperatureExpiation.h"

#include <gtest/gtest.h>

#include <vector>

namespace pondrex {
namespace {

void PutBigEndian(std::vector<uint8_t> &buffer, size_t at, uint32_t value, size_t width) {
  for (size_t i = 0; i < width; ++i)
    buffer[at + i] = static_cast<uint8_t>(value >> (8 * (width - 1 - i)));
}

// Point i holds Value1 = 100 + i, Value2 = -(i + 1) and Value3 = (1000 i + 1234) / 100;
// the last point's Value3 is -1.
std::vector<uint8_t> Table() {
  std::vector<uint8_t> buffer(128, 0);
  buffer[0] = 0x81;
  buffer[1] = 15;
  for (size_t at = 2; at < 8; ++at)
    buffer[at] = 0xFF;
  for (size_t i = 0; i < 15; ++i) {
    const size_t at = 8 + 8 * i;
    PutBigEndian(buffer, at, static_cast<uint32_t>(100 + i), 2);
    PutBigEndian(buffer, at + 2, static_cast<uint32_t>(0x10000 - (i + 1)), 2);
    PutBigEndian(buffer, at + 4, i == 14 ? 0xFFFFFF9Cu : static_cast<uint32_t>(1000 * i + 1234), 4);
  }
  return buffer;
}

TEST(TTemperatureExpiation, DecodesTheFifteenPoints) {
  TTemperatureExpiation table;
  ASSERT_TRUE(table.Execute(Table()));
  EXPECT_EQ(table.TmFunFlag, 0x81);
  EXPECT_EQ(table.LearnNum, 15);
  for (size_t i = 0; i < 15; ++i) {
    SCOPED_TRACE(i);
    const TemperaturePoint &point = table.pot[i];
    EXPECT_EQ(point.Value1, static_cast<int32_t>(100 + i));
    EXPECT_EQ(point.Value2, -static_cast<int32_t>(i + 1));
    EXPECT_DOUBLE_EQ(point.Value3, i == 14 ? -1.0 : (1000.0 * static_cast<double>(i) + 1234) / 100);
  }
}

TEST(TTemperatureExpiation, ShortBufferLeavesEveryField) {
  TTemperatureExpiation table;
  ASSERT_TRUE(table.Execute(Table()));
  for (const size_t size : {size_t{0}, size_t{8}, size_t{127}}) {
    SCOPED_TRACE(size);
    std::vector<uint8_t> buffer(size, 0x11);
    EXPECT_FALSE(table.Execute(buffer));
    EXPECT_EQ(table.TmFunFlag, 0x81);
    EXPECT_EQ(table.LearnNum, 15);
    EXPECT_EQ(table.pot[0].Value1, 100);
    EXPECT_EQ(table.pot[14].Value1, 114);
    EXPECT_DOUBLE_EQ(table.pot[14].Value3, -1.0);
  }
}

} // namespace
} // namespace pondrex
