// Host seconds counted the plain way, day by day from 1904-01-01, so tests have expected
// values that owe nothing to the toolbox's calendar arithmetic.
#pragma once

#include <cstdint>

namespace nimbus::testing {

inline bool IsLeapYear(int64_t year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

inline int64_t DaysInMonth(int64_t year, int64_t month) {
  constexpr int64_t kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// The host seconds of a valid date from 1904 on (wrapping at 2^32, as host seconds do).
inline uint32_t HostSeconds(int64_t year, int64_t month, int64_t day, int64_t hour = 0,
                            int64_t minute = 0, int64_t second = 0) {
  int64_t days = 0;
  for (int64_t y = 1904; y < year; ++y) days += IsLeapYear(y) ? 366 : 365;
  for (int64_t m = 1; m < month; ++m) days += DaysInMonth(year, m);
  days += day - 1;
  return uint32_t(uint64_t(days * 86400 + hour * 3600 + minute * 60 + second));
}

}  // namespace nimbus::testing
