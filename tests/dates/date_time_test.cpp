#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <thread>

#include "dates/dates.h"
#include "dates/local_zone.h"
#include "dates/reference_calendar.h"

namespace nimbus {
namespace {

using ::nimbus::testing::HostSeconds;

constexpr int32_t kLocal = 0;
constexpr int32_t kGMT = 1;

// 6 November 1994 as a 4D date passes it: day, month, year.
int32_t ToSeconds(int32_t timeOfDay, int32_t flag, int16_t day = 6, int16_t month = 11,
                  int16_t year = 1994) {
  return DateTimeToSeconds(day, month, year, timeOfDay, flag);
}

TEST(DateTimeToSecondsTest, CountsTheTimeOfDayFromMidnight) {
  NIMBUS_USE_ZONE("UTC0");
  const int32_t midnight = int32_t(HostSeconds(1994, 11, 6));
  EXPECT_EQ(ToSeconds(0, kLocal), midnight);
  EXPECT_EQ(ToSeconds(86399, kLocal), midnight + 86399);
  EXPECT_EQ(ToSeconds(-60, kLocal), midnight - 60);  // hour 0, minute -1
  EXPECT_EQ(ToSeconds(3600, kLocal, 29, 2, 2000), int32_t(HostSeconds(2000, 2, 29, 1)));
}

TEST(DateTimeToSecondsTest, DropsWholeDaysOfTheTime) {
  NIMBUS_USE_ZONE("UTC0");
  EXPECT_EQ(ToSeconds(90000, kLocal), ToSeconds(3600, kLocal));
  EXPECT_EQ(ToSeconds(86400, kLocal), ToSeconds(0, kLocal));
  EXPECT_EQ(ToSeconds(-90000, kLocal), ToSeconds(-3600, kLocal));
  // Whatever the time, only its remainder of a day (with its sign) counts.
  const int64_t midnight = HostSeconds(1994, 11, 6);
  for (int32_t time : {INT32_MIN, INT32_MIN + 1, -86401, -1, 1, 86401, INT32_MAX}) {
    EXPECT_EQ(ToSeconds(time, kLocal), int32_t(uint32_t(midnight + time % 86400))) << time;
  }
}

TEST(DateTimeToSecondsTest, ShiftsToGMTOnlyForFlagOne) {
  NIMBUS_USE_ZONE("CET-1CEST,M3.5.0,M10.5.0/3");
  const int32_t local = ToSeconds(31777, kLocal);
  EXPECT_EQ(ToSeconds(31777, kGMT), local - 3600);
  for (int32_t flag : {2, -1, 100, INT32_MIN}) EXPECT_EQ(ToSeconds(31777, flag), local) << flag;
}

TEST(DateTimeToSecondsTest, ShiftsByTheBaseOffsetInSummerToo) {
  NIMBUS_USE_ZONE("CET-1CEST,M3.5.0,M10.5.0/3");
  // 4 July: daylight time in that zone, still shifted by one hour, not two.
  EXPECT_EQ(ToSeconds(12 * 3600, kGMT, 4, 7, 2024), int32_t(HostSeconds(2024, 7, 4, 11)));
}

TEST(DateTimeToSecondsTest, WrapsAtTheEdgesOfTheRange) {
  NIMBUS_USE_ZONE("CET-1CEST,M3.5.0,M10.5.0/3");
  // Midnight of the first day, local at +1h, is an hour before the epoch: 32-bit wrap.
  EXPECT_EQ(uint32_t(ToSeconds(0, kGMT, 1, 1, 1904)), 0xFFFFFFFFu - 3599u);
}

TEST(SecondsToDateTimeTest, GivesGMTUnshiftedForFlagOne) {
  NIMBUS_USE_ZONE("CET-1CEST,M3.5.0,M10.5.0/3");
  const DateAndTime out = SecondsToDateTime(int32_t(HostSeconds(1994, 11, 6, 8, 49, 37)), kGMT);
  EXPECT_EQ(out.day, 6);
  EXPECT_EQ(out.month, 11);
  EXPECT_EQ(out.year, 1994);
  EXPECT_EQ(out.timeOfDay, 8 * 3600 + 49 * 60 + 37);
}

TEST(SecondsToDateTimeTest, GivesLocalTimeForAnyOtherFlag) {
  NIMBUS_USE_ZONE("CET-1CEST,M3.5.0,M10.5.0/3");
  for (int32_t flag : {0, 2, -1}) {
    const DateAndTime out = SecondsToDateTime(int32_t(HostSeconds(1994, 11, 6, 8)), flag);
    EXPECT_EQ(out.day, 6) << flag;
    EXPECT_EQ(out.timeOfDay, 9 * 3600) << flag;
  }
  // Across midnight at the end of a year the date moves on with it.
  const DateAndTime late = SecondsToDateTime(int32_t(HostSeconds(1999, 12, 31, 23, 30)), kLocal);
  EXPECT_EQ(late.day, 1);
  EXPECT_EQ(late.month, 1);
  EXPECT_EQ(late.year, 2000);
  EXPECT_EQ(late.timeOfDay, 30 * 60);
}

TEST(SecondsToDateTimeTest, GoesBackADayInAZoneBehindGMT) {
  NIMBUS_USE_ZONE("EST5EDT,M3.2.0,M11.1.0");
  const DateAndTime out = SecondsToDateTime(int32_t(HostSeconds(2000, 3, 1, 2)), kLocal);
  EXPECT_EQ(out.day, 29);
  EXPECT_EQ(out.month, 2);
  EXPECT_EQ(out.timeOfDay, 21 * 3600);
}

// There and back across the whole range of host seconds, in zones on both sides of GMT.
class DateTimeRoundTripTest : public ::testing::TestWithParam<const char*> {};

TEST_P(DateTimeRoundTripTest, ReturnsTheSecondsThatWentIn) {
  NIMBUS_USE_ZONE(GetParam());
  for (uint64_t s = 0; s <= 0xFFFFFFFFu; s += 99991 * 7) {
    const int32_t seconds = int32_t(uint32_t(s));
    const DateAndTime gmt = SecondsToDateTime(seconds, kGMT);
    ASSERT_EQ(DateTimeToSeconds(gmt.day, gmt.month, gmt.year, gmt.timeOfDay, kLocal), seconds) << s;
    const DateAndTime local = SecondsToDateTime(seconds, kLocal);
    ASSERT_EQ(DateTimeToSeconds(local.day, local.month, local.year, local.timeOfDay, kGMT), seconds)
        << s;
  }
}

INSTANTIATE_TEST_SUITE_P(Zones, DateTimeRoundTripTest,
                         ::testing::Values("UTC0", "CET-1CEST,M3.5.0,M10.5.0/3",
                                           "EST5EDT,M3.2.0,M11.1.0", "IST-5:30"));

TEST(TimerTest, MeasuresAcrossOneWrapOfTheClock) {
  EXPECT_EQ(ElapsedMilliseconds(256, 0xFFFFFF00u), 512);
  EXPECT_EQ(ElapsedMilliseconds(0, 0xFFFFFFFFu), 1);
  EXPECT_EQ(ElapsedMilliseconds(1000, 1000), 0);
  EXPECT_EQ(ElapsedMilliseconds(5000, 1000), 4000);
}

TEST(TimerTest, ElapsedFollowsTheSystemClock) {
  const int32_t start = TimerStart();
  const int32_t before = TimerElapsed(start);
  EXPECT_GE(before, 0);
  // A short sleep: the elapsed time can only have grown by at least that much.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_GE(TimerElapsed(start), before + 20);
}

}  // namespace
}  // namespace nimbus
