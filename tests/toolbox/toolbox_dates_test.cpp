// Host seconds and date records, and the tick count.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "host/toolbox.h"

namespace {

constexpr uint32_t kSecondsPerDay = 86400;

DateTimeRec Record(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  return DateTimeRec{int16_t(y), int16_t(mo), int16_t(d), int16_t(h), int16_t(mi), int16_t(s), 0};
}

uint32_t Seconds(const DateTimeRec& date) {
  uint32_t seconds = 0xDEADBEEF;
  DateToSeconds(&date, &seconds);
  return seconds;
}

DateTimeRec DateOf(uint32_t seconds) {
  DateTimeRec date{};
  SecondsToDate(seconds, &date);
  return date;
}

bool IsLeap(int y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysIn(int y, int m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

TEST(DatesTest, EpochAndLastRepresentableSecond) {
  EXPECT_EQ(Seconds(Record(1904, 1, 1)), 0u);
  DateTimeRec epoch = DateOf(0);
  EXPECT_EQ(epoch.year, 1904);
  EXPECT_EQ(epoch.month, 1);
  EXPECT_EQ(epoch.day, 1);
  EXPECT_EQ(epoch.dayOfWeek, 6);  // a Friday

  DateTimeRec last = DateOf(0xFFFFFFFFu);
  EXPECT_EQ(last.year, 2040);
  EXPECT_EQ(last.month, 2);
  EXPECT_EQ(last.day, 6);
  EXPECT_EQ(last.hour, 6);
  EXPECT_EQ(last.minute, 28);
  EXPECT_EQ(last.second, 15);
  EXPECT_EQ(Seconds(last), 0xFFFFFFFFu);
  // Past the range the count wraps as a 32-bit value.
  EXPECT_EQ(Seconds(Record(2040, 2, 6, 6, 28, 16)), 0u);
}

TEST(DatesTest, EveryDayFrom1904To2040RoundTrips) {
  uint32_t expected = 0;
  int weekday = 6;  // 1904-01-01
  for (int y = 1904; y <= 2040; ++y) {
    for (int m = 1; m <= 12; ++m) {
      for (int d = 1; d <= DaysIn(y, m); ++d) {
        // 2040-02-06 12:34:56 is past the last representable second.
        if (y == 2040 && (m > 2 || (m == 2 && d > 5))) return;
        DateTimeRec date = Record(y, m, d, 12, 34, 56);
        uint32_t seconds = Seconds(date);
        ASSERT_EQ(seconds, expected + 12 * 3600 + 34 * 60 + 56) << y << "-" << m << "-" << d;
        DateTimeRec back = DateOf(seconds);
        ASSERT_EQ(back.year, y);
        ASSERT_EQ(back.month, m);
        ASSERT_EQ(back.day, d);
        ASSERT_EQ(back.hour, 12);
        ASSERT_EQ(back.minute, 34);
        ASSERT_EQ(back.second, 56);
        ASSERT_EQ(back.dayOfWeek, weekday) << y << "-" << m << "-" << d;
        expected += kSecondsPerDay;
        weekday = weekday % 7 + 1;
      }
    }
  }
}

TEST(DatesTest, KnownDatesAndWeekdays) {
  EXPECT_EQ(Seconds(Record(1970, 1, 1)), 2082844800u);
  EXPECT_EQ(DateOf(2082844800u).dayOfWeek, 5);                   // Thursday
  EXPECT_EQ(DateOf(Seconds(Record(2000, 2, 29))).dayOfWeek, 3);  // Tuesday
  EXPECT_EQ(DateOf(Seconds(Record(1994, 11, 6))).dayOfWeek, 1);  // Sunday
  // 1900 is no leap year but 2000 is: 1904 and 2000 both have a 29 February.
  EXPECT_EQ(Seconds(Record(2000, 3, 1)) - Seconds(Record(2000, 2, 28)), 2 * kSecondsPerDay);
  EXPECT_EQ(Seconds(Record(1904, 3, 1)) - Seconds(Record(1904, 2, 28)), 2 * kSecondsPerDay);
}

TEST(DatesTest, TimeOfDayIsLinearAndCarries) {
  uint32_t noon = Seconds(Record(2001, 6, 15, 12));
  EXPECT_EQ(Seconds(Record(2001, 6, 15, 12, 0, -1)), noon - 1);
  EXPECT_EQ(Seconds(Record(2001, 6, 15, 12, -90)), noon - 5400);
  EXPECT_EQ(Seconds(Record(2001, 6, 15, -12)), noon - kSecondsPerDay);
  EXPECT_EQ(Seconds(Record(2001, 6, 15, 36)), noon + kSecondsPerDay);
  EXPECT_EQ(Seconds(Record(2001, 6, 15, 12, 0, 32767)), noon + 32767);
  EXPECT_EQ(Seconds(Record(2001, 6, 15, 0, 1000, 0)), Seconds(Record(2001, 6, 15)) + 60000);
}

TEST(DatesTest, MonthAndDayNormaliseLikeMktime) {
  EXPECT_EQ(Seconds(Record(2001, 0, 1)), Seconds(Record(2000, 12, 1)));
  EXPECT_EQ(Seconds(Record(2001, 13, 1)), Seconds(Record(2002, 1, 1)));
  EXPECT_EQ(Seconds(Record(2001, -11, 1)), Seconds(Record(2000, 1, 1)));
  EXPECT_EQ(Seconds(Record(2001, 25, 1)), Seconds(Record(2003, 1, 1)));
  EXPECT_EQ(Seconds(Record(2001, 3, 0)), Seconds(Record(2001, 2, 28)));
  EXPECT_EQ(Seconds(Record(2004, 3, 0)), Seconds(Record(2004, 2, 29)));
  EXPECT_EQ(Seconds(Record(2001, 1, 32)), Seconds(Record(2001, 2, 1)));
  EXPECT_EQ(Seconds(Record(2001, 1, -30)), Seconds(Record(2000, 12, 1)));
  EXPECT_EQ(Seconds(Record(2001, 2, 29)), Seconds(Record(2001, 3, 1)));
}

TEST(DatesTest, ExtremeFieldsGiveAWrappedAnswerAndNullsAreIgnored) {
  // Any 16-bit field values are defined; the answer is the exact count taken modulo 2^32.
  DateTimeRec extreme = Record(-32768, -32768, -32768, -32768, -32768, -32768);
  uint32_t a = Seconds(extreme);
  uint32_t b = Seconds(Record(-32768, -32768, -32768, -32768, -32768, -32767));
  EXPECT_EQ(b - a, 1u);
  DateTimeRec high = Record(32767, 32767, 32767, 32767, 32767, 32767);
  EXPECT_EQ(Seconds(high) - Seconds(Record(32767, 32767, 32767, 32767, 32767, 0)), 32767u);

  uint32_t untouched = 7;
  DateToSeconds(nullptr, &untouched);
  EXPECT_EQ(untouched, 0u);
  DateToSeconds(&extreme, nullptr);
  SecondsToDate(5, nullptr);
}

TEST(TickCountTest, AdvancesSixtyTimesASecond) {
  uint32_t first = TickCount();
  std::this_thread::sleep_for(std::chrono::milliseconds(120));
  uint32_t second = TickCount();
  // At least 120 ms passed: at least 7 ticks (the upper bound is the scheduler's business).
  EXPECT_GE(second - first, 7u);
  EXPECT_GE(TickCount(), second);
}

}  // namespace
