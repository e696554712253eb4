#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <thread>
#include <tuple>

#include "dates/dates.h"
#include "dates/local_zone.h"
#include "dates/reference_calendar.h"

namespace nimbus {
namespace {

using ::nimbus::testing::HostSeconds;

constexpr int32_t kLocal = 0;
constexpr int32_t kGMT = 1;

std::tuple<int16_t, int16_t, int16_t> Date(int16_t day, int16_t month, int16_t year) {
  return {day, month, year};
}

// 6 November 1994 and a time of day.
uint32_t Nov6(int32_t timeOfDay, int32_t flag) {
  return uint32_t(DateTimeToSeconds(6, 11, 1994, timeOfDay, flag));
}

TEST(DateTimeToSecondsTest, AddsTheTimesRemainderOfADayToMidnight) {
  NIMBUS_USE_ZONE("UTC0");
  const int64_t midnight = HostSeconds(1994, 11, 6);
  EXPECT_EQ(Nov6(0, kLocal), midnight);
  EXPECT_EQ(Nov6(86399, kLocal), midnight + 86399);
  EXPECT_EQ(Nov6(-60, kLocal), midnight - 60);         // hour 0, minute -1
  EXPECT_EQ(Nov6(90000, kLocal), Nov6(3600, kLocal));  // the whole day is dropped
  for (int32_t time : {INT32_MIN, -86401, 86401, INT32_MAX}) {
    EXPECT_EQ(Nov6(time, kLocal), uint32_t(midnight + time % 86400)) << time;
  }
}

TEST(DateTimeToSecondsTest, ShiftsToGMTOnlyForFlagOneByTheBaseOffset) {
  NIMBUS_USE_ZONE("CET-1CEST,M3.5.0,M10.5.0/3");
  EXPECT_EQ(Nov6(31777, kGMT), Nov6(31777, kLocal) - 3600);
  for (int32_t flag : {2, -1, INT32_MIN}) EXPECT_EQ(Nov6(31777, flag), Nov6(31777, kLocal));
  // 4 July is in daylight time there: still one hour, not two.
  EXPECT_EQ(DateTimeToSeconds(4, 7, 2024, 12 * 3600, kGMT), int32_t(HostSeconds(2024, 7, 4, 11)));
  // Local midnight of the first day lies before the epoch: the seconds wrap.
  EXPECT_EQ(uint32_t(DateTimeToSeconds(1, 1, 1904, 0, kGMT)), 0xFFFFFFFFu - 3599u);
}

TEST(SecondsToDateTimeTest, GivesGMTForFlagOneAndLocalTimeOtherwise) {
  NIMBUS_USE_ZONE("CET-1CEST,M3.5.0,M10.5.0/3");
  const DateAndTime gmt = SecondsToDateTime(int32_t(HostSeconds(1994, 11, 6, 8, 49, 37)), kGMT);
  EXPECT_EQ(std::tie(gmt.day, gmt.month, gmt.year), Date(6, 11, 1994));
  EXPECT_EQ(gmt.timeOfDay, 8 * 3600 + 49 * 60 + 37);
  for (int32_t flag : {0, 2, -1}) {
    EXPECT_EQ(SecondsToDateTime(int32_t(HostSeconds(1994, 11, 6, 8)), flag).timeOfDay, 9 * 3600);
  }
  const DateAndTime late = SecondsToDateTime(int32_t(HostSeconds(1999, 12, 31, 23, 30)), kLocal);
  EXPECT_EQ(std::tie(late.day, late.month, late.year), Date(1, 1, 2000));
  EXPECT_EQ(late.timeOfDay, 30 * 60);
}

// There and back across the whole range of host seconds, in zones on both sides of GMT.
class DateTimeRoundTripTest : public ::testing::TestWithParam<const char*> {};

TEST_P(DateTimeRoundTripTest, ReturnsTheSecondsThatWentIn) {
  NIMBUS_USE_ZONE(GetParam());
  for (uint64_t s = 0; s <= 0xFFFFFFFFu; s += 699937) {
    const int32_t seconds = int32_t(uint32_t(s));
    const DateAndTime gmt = SecondsToDateTime(seconds, kGMT);
    ASSERT_EQ(DateTimeToSeconds(gmt.day, gmt.month, gmt.year, gmt.timeOfDay, kLocal), seconds);
    const DateAndTime local = SecondsToDateTime(seconds, kLocal);
    ASSERT_EQ(DateTimeToSeconds(local.day, local.month, local.year, local.timeOfDay, kGMT),
              seconds);
  }
}

INSTANTIATE_TEST_SUITE_P(Zones, DateTimeRoundTripTest,
                         ::testing::Values("UTC0", "CET-1CEST,M3.5.0,M10.5.0/3",
                                           "EST5EDT,M3.2.0,M11.1.0", "IST-5:30"));

TEST(TimerTest, MeasuresAcrossAWrapOfTheClock) {
  EXPECT_EQ(ElapsedMilliseconds(256, 0xFFFFFF00u), 512);
  EXPECT_EQ(ElapsedMilliseconds(5000, 1000), 4000);
  const int32_t start = TimerStart();
  const int32_t before = TimerElapsed(start);
  EXPECT_GE(before, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_GE(TimerElapsed(start), before + 20);
}

}  // namespace
}  // namespace nimbus
