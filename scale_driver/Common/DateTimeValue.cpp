#include "DateTimeValue.h"

#include <cmath>

namespace pondrex {

namespace {

constexpr int64_t MillisecondsPerDay = 86400000;

// Days from 1 January 1970 to a date of the proleptic Gregorian calendar.
constexpr int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

void CivilFromDays(int64_t days, int32_t &year, int32_t &month, int32_t &day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  day = static_cast<int32_t>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  month = static_cast<int32_t>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  year = static_cast<int32_t>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

// 30 December 1899 is day 0.
constexpr int64_t EpochFrom1970 = DaysFromCivil(1899, 12, 30);
constexpr int64_t FirstDay = DaysFromCivil(1, 1, 1) - EpochFrom1970;
constexpr int64_t LastDay = DaysFromCivil(9999, 12, 31) - EpochFrom1970;

bool IsLeapYear(int32_t year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

} // namespace

bool IsValidDate(int32_t year, int32_t month, int32_t day) {
  static constexpr int32_t DaysInMonth[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) {
    return false;
  }
  const int32_t last = DaysInMonth[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
  return day <= last;
}

bool IsValidTime(int32_t hour, int32_t minute, int32_t second, int32_t millisecond) {
  return hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second < 60 &&
         millisecond >= 0 && millisecond < 1000;
}

std::optional<TDateTime> EncodeDate(int32_t year, int32_t month, int32_t day) {
  if (!IsValidDate(year, month, day)) {
    return std::nullopt;
  }
  return TDateTime{static_cast<double>(DaysFromCivil(year, month, day) - EpochFrom1970)};
}

std::optional<TDateTime> EncodeTime(int32_t hour, int32_t minute, int32_t second, int32_t millisecond) {
  if (!IsValidTime(hour, minute, second, millisecond)) {
    return std::nullopt;
  }
  const int64_t milliseconds = ((hour * 60 + minute) * 60 + second) * 1000LL + millisecond;
  return TDateTime{static_cast<double>(milliseconds) / static_cast<double>(MillisecondsPerDay)};
}

std::optional<TDateTime> EncodeDateTime(const TDateTimeParts &parts) {
  const auto date = EncodeDate(parts.Year, parts.Month, parts.Day);
  const auto time = EncodeTime(parts.Hour, parts.Minute, parts.Second, parts.Millisecond);
  if (!date || !time) {
    return std::nullopt;
  }
  // Before day 0 the time of day still counts forward from midnight.
  return TDateTime{date->Value < 0 ? date->Value - time->Value : date->Value + time->Value};
}

std::optional<TDateTimeParts> DecodeDateTime(TDateTime value) {
  if (!std::isfinite(value.Value)) {
    return std::nullopt;
  }
  const double wholeDays = std::trunc(value.Value);
  if (wholeDays < static_cast<double>(FirstDay) || wholeDays > static_cast<double>(LastDay)) {
    return std::nullopt;
  }
  int64_t day = static_cast<int64_t>(wholeDays);
  int64_t milliseconds =
      std::llround(std::fabs(value.Value - wholeDays) * static_cast<double>(MillisecondsPerDay));
  if (milliseconds >= MillisecondsPerDay) {
    // A time that rounds up to midnight belongs to the next day; the time of
    // day counts forward before day 0 as well.
    milliseconds -= MillisecondsPerDay;
    day += 1;
    if (day < FirstDay || day > LastDay) {
      return std::nullopt;
    }
  }
  TDateTimeParts parts;
  CivilFromDays(day + EpochFrom1970, parts.Year, parts.Month, parts.Day);
  parts.Millisecond = static_cast<int32_t>(milliseconds % 1000);
  parts.Second = static_cast<int32_t>(milliseconds / 1000 % 60);
  parts.Minute = static_cast<int32_t>(milliseconds / 60000 % 60);
  parts.Hour = static_cast<int32_t>(milliseconds / 3600000);
  return parts;
}

} // namespace pondrex
