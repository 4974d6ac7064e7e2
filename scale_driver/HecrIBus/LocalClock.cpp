#include "LocalClock.h"

#include <ctime>

namespace pondrex {

TDateTimeParts LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#if defined(_WIN32)
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  TDateTimeParts parts;
  parts.Year = local.tm_year + 1900;
  parts.Month = local.tm_mon + 1;
  parts.Day = local.tm_mday;
  parts.Hour = local.tm_hour;
  parts.Minute = local.tm_min;
  parts.Second = local.tm_sec;
  return parts;
}

} // namespace pondrex
