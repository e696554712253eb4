// 4D dates and times of day to and from host seconds; the calendar is the toolbox's.
#include "dates/dates.h"
#include "dates/gmt_offset.h"

namespace nimbus {

namespace {
constexpr int32_t kSecondsPerDay = 86400;
constexpr int32_t kSecondsPerHour = 3600;
constexpr int32_t kSecondsPerMinute = 60;
constexpr int32_t kGMT = 1;
}  // namespace

int32_t DateTimeToSeconds(int16_t day, int16_t month, int16_t year, int32_t timeOfDay,
                          int32_t gmtFlag) {
  // Truncating division: a negative time gives negative fields, which the toolbox carries
  // back into the day before.
  DateTimeRec record{};
  record.year = year;
  record.month = month;
  record.day = day;
  record.hour = int16_t((timeOfDay % kSecondsPerDay) / kSecondsPerHour);
  record.minute = int16_t((timeOfDay % kSecondsPerHour) / kSecondsPerMinute);
  record.second = int16_t(timeOfDay % kSecondsPerMinute);
  uint32_t seconds = 0;
  DateToSeconds(&record, &seconds);
  if (gmtFlag == kGMT) seconds -= uint32_t(CurrentGMTOffset());
  return int32_t(seconds);
}

DateAndTime SecondsToDateTime(int32_t seconds, int32_t gmtFlag) {
  uint32_t instant = uint32_t(seconds);
  if (gmtFlag != kGMT) instant += uint32_t(CurrentGMTOffset());
  DateTimeRec record{};
  SecondsToDate(instant, &record);
  return DateAndTime{record.day, record.month, record.year,
                     int32_t(record.hour) * kSecondsPerHour +
                         int32_t(record.minute) * kSecondsPerMinute + int32_t(record.second)};
}

}  // namespace nimbus
