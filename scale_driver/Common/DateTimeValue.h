#pragma once
// Date-times of the scale driver: a double counting days since 30 December
// 1899, its fraction being the time of day (0.5 is noon). Before that day the
// whole days count down while the time of day still counts forward: -1.25 is
// 29 December 1899 06:00. Valid years are 1 to 9999.
#include <cstdint>
#include <optional>

namespace pondrex {

struct TDateTime {
  double Value = 0.0;
  friend bool operator==(const TDateTime &, const TDateTime &) = default;
};

struct TDateTimeParts {
  int32_t Year = 0;
  int32_t Month = 0;
  int32_t Day = 0;
  int32_t Hour = 0;
  int32_t Minute = 0;
  int32_t Second = 0;
  int32_t Millisecond = 0;
  friend bool operator==(const TDateTimeParts &, const TDateTimeParts &) = default;
};

// Year 1..9999, month 1..12, day within the month (leap years included).
bool IsValidDate(int32_t year, int32_t month, int32_t day);
// Hour 0..23, minute and second 0..59, millisecond 0..999.
bool IsValidTime(int32_t hour, int32_t minute, int32_t second, int32_t millisecond);

// No value when the date or the time does not exist.
std::optional<TDateTime> EncodeDate(int32_t year, int32_t month, int32_t day);
std::optional<TDateTime> EncodeTime(int32_t hour, int32_t minute, int32_t second, int32_t millisecond = 0);
std::optional<TDateTime> EncodeDateTime(const TDateTimeParts &parts);

// The parts of a date-time, its time of day rounded to the millisecond. No
// value when it is not finite or lies outside the years 1 to 9999.
std::optional<TDateTimeParts> DecodeDateTime(TDateTime value);

} // namespace pondrex
