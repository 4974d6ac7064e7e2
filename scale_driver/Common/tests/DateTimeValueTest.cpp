#include "DateTimeValue.h"

#include <gtest/gtest.h>

#include <limits>

namespace pondrex {
namespace {

TEST(DateTimeValue, DatesCountDaysFrom30December1899) {
  const struct {
    int32_t year, month, day;
    double days;
  } cases[] = {
      {1899, 12, 30, 0.0},    {1900, 1, 1, 2.0},    {1900, 3, 1, 61.0},        {2000, 2, 29, 36585.0},
      {2024, 5, 17, 45429.0}, {1, 1, 1, -693593.0}, {9999, 12, 31, 2958465.0}, {1899, 12, 29, -1.0},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(EncodeDate(c.year, c.month, c.day), TDateTime{c.days})
        << c.year << "-" << c.month << "-" << c.day;
  }
}

TEST(DateTimeValue, DatesAndTimesThatDoNotExist) {
  const int32_t dates[][3] = {{1900, 2, 29}, {2023, 2, 29}, {2024, 2, 30}, {2024, 4, 31}, {2024, 0, 1},
                              {2024, 13, 1}, {2024, 1, 0},  {0, 1, 1},     {10000, 1, 1}};
  for (const auto &d : dates) {
    EXPECT_FALSE(EncodeDate(d[0], d[1], d[2]).has_value()) << d[0] << "-" << d[1] << "-" << d[2];
  }
  EXPECT_TRUE(IsValidDate(2024, 2, 29));
  const int32_t times[][4] = {{24, 0, 0, 0}, {0, 60, 0, 0}, {0, 0, 60, 0}, {0, 0, 0, 1000}, {-1, 0, 0, 0}};
  for (const auto &t : times) {
    EXPECT_FALSE(EncodeTime(t[0], t[1], t[2], t[3]).has_value()) << t[0] << ":" << t[1] << ":" << t[2];
  }
}

TEST(DateTimeValue, TimeIsTheFractionOfTheDay) {
  EXPECT_EQ(EncodeTime(12, 0, 0), TDateTime{0.5});
  EXPECT_EQ(EncodeTime(13, 45, 30), TDateTime{49530.0 / 86400.0});
  EXPECT_EQ(EncodeDateTime({2024, 5, 17, 13, 45, 30, 0}), TDateTime{45429.0 + 49530.0 / 86400.0});
  // Before day 0 the time still counts forward from midnight.
  EXPECT_EQ(EncodeDateTime({1899, 12, 29, 6, 0, 0, 0}), TDateTime{-1.25});
  EXPECT_FALSE(EncodeDateTime({2024, 5, 17, 24, 0, 0, 0}).has_value());
}

TEST(DateTimeValue, DecodesIntoParts) {
  const struct {
    double value;
    TDateTimeParts parts;
  } cases[] = {
      {45429.0 + 49530.0 / 86400.0, {2024, 5, 17, 13, 45, 30, 0}},
      {-1.25, {1899, 12, 29, 6, 0, 0, 0}},
      {0.0, {1899, 12, 30, 0, 0, 0, 0}},
      {36585.5 + 0.25 / 86400.0, {2000, 2, 29, 12, 0, 0, 250}},
      // A time a hair before midnight rounds into the next day.
      {1.0 - 1e-10, {1899, 12, 31, 0, 0, 0, 0}},
      // 29 December 1899 a hair before midnight: also forward, into 30 December.
      {-1.0 - (1.0 - 1e-10), {1899, 12, 30, 0, 0, 0, 0}},
      {2958465.5, {9999, 12, 31, 12, 0, 0, 0}},
      {-693593.0, {1, 1, 1, 0, 0, 0, 0}},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(DecodeDateTime(TDateTime{c.value}), c.parts) << c.value;
  }
  for (double value : {2958466.0, -693594.0, 2958465.99999999999, std::numeric_limits<double>::quiet_NaN(),
                       std::numeric_limits<double>::infinity(), 1e300}) {
    EXPECT_FALSE(DecodeDateTime(TDateTime{value}).has_value()) << value;
  }
}

} // namespace
} // namespace pondrex
