// DateToSeconds and SecondsToDate: the host's seconds are an unsigned 32-bit count from
// 1904-01-01 00:00:00 in the proleptic Gregorian calendar, with no time zone involved.
// Day numbers are computed with 64-bit civil-calendar arithmetic, so that any 16-bit field
// values give a defined answer (wrapped to 32 bits).
#include <cstdint>

#include "host/toolbox.h"

namespace {

constexpr int64_t kSecondsPerDay = 86400;

// Floor division and the matching non-negative remainder.
int64_t FloorDiv(int64_t a, int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}
int64_t FloorMod(int64_t a, int64_t b) {
  return a - FloorDiv(a, b) * b;
}

// Days since 1970-01-01 of a Gregorian date (month 1..12, any day).
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2;
  int64_t era = FloorDiv(year, 400);
  int64_t yearOfEra = year - era * 400;
  int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

struct CivilDate {
  int64_t year;
  int64_t month;
  int64_t day;
};

CivilDate CivilFromDays(int64_t days) {
  days += 719468;
  int64_t era = FloorDiv(days, 146097);
  int64_t dayOfEra = days - era * 146097;
  int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
  int64_t day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
  int64_t month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
  return {yearOfEra + era * 400 + (month <= 2), month, day};
}

const int64_t kEpochDays = DaysFromCivil(1904, 1, 1);

}  // namespace

extern "C" {

TOOLBOX_API void DateToSeconds(const DateTimeRec* date, uint32_t* seconds) {
  if (seconds == nullptr) return;
  if (date == nullptr) {
    *seconds = 0;
    return;
  }
  // Month 0 is December of the year before, month 13 January of the next; day 0 is the
  // last day of the month before: the day count simply runs on from the month's first day.
  int64_t monthIndex = int64_t(date->month) - 1;
  int64_t year = int64_t(date->year) + FloorDiv(monthIndex, 12);
  int64_t month = FloorMod(monthIndex, 12) + 1;
  int64_t days = DaysFromCivil(year, month, 1) + (int64_t(date->day) - 1) - kEpochDays;
  int64_t total = days * kSecondsPerDay + int64_t(date->hour) * 3600 + int64_t(date->minute) * 60 +
                  int64_t(date->second);
  *seconds = uint32_t(uint64_t(total));
}

TOOLBOX_API void SecondsToDate(uint32_t seconds, DateTimeRec* date) {
  if (date == nullptr) return;
  int64_t days = int64_t(seconds) / kSecondsPerDay;
  int64_t timeOfDay = int64_t(seconds) % kSecondsPerDay;
  CivilDate civil = CivilFromDays(kEpochDays + days);
  date->year = int16_t(civil.year);
  date->month = int16_t(civil.month);
  date->day = int16_t(civil.day);
  date->hour = int16_t(timeOfDay / 3600);
  date->minute = int16_t(timeOfDay / 60 % 60);
  date->second = int16_t(timeOfDay % 60);
  // 1970-01-01 was a Thursday (4 with Sunday = 0); the record counts Sunday as 1.
  date->dayOfWeek = int16_t(FloorMod(kEpochDays + days + 4, 7) + 1);
}

}  // extern "C"
