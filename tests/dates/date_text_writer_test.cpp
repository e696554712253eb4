#include <gtest/gtest.h>

#include "dates/date_text_test_support.h"
#include "dates/local_zone.h"
#include "dates/reference_calendar.h"

namespace nimbus {
namespace {

using ::nimbus::testing::DateText;
using ::nimbus::testing::HostSeconds;

const uint32_t kNov6 = HostSeconds(1994, 11, 6, 8, 49, 37);

TEST(SecondsToDateTextTest, WritesGMTUnshiftedForAnyFlagButZero) {
  NIMBUS_USE_ZONE("CET-1CEST,M3.5.0,M10.5.0/3");
  for (int32_t flag : {1, 2, -1, INT32_MAX}) {
    EXPECT_EQ(DateText(kNov6, flag), "Sun, 6 Nov 1994 08:49:37 GMT") << flag;
  }
}

struct ZoneText {
  const char* posixZone;
  const char* text;
};

class LocalDateTextTest : public ::testing::TestWithParam<ZoneText> {};

TEST_P(LocalDateTextTest, ShowsLocalTimeAndItsNumericZone) {
  NIMBUS_USE_ZONE(GetParam().posixZone);
  EXPECT_EQ(DateText(kNov6, 0), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Zones, LocalDateTextTest,
    ::testing::Values(ZoneText{"CET-1CEST,M3.5.0,M10.5.0/3", "Sun, 6 Nov 1994 09:49:37 +0100"},
                      ZoneText{"EST5EDT,M3.2.0,M11.1.0", "Sun, 6 Nov 1994 03:49:37 -0500"},
                      ZoneText{"IST-5:30", "Sun, 6 Nov 1994 14:19:37 +0530"},
                      ZoneText{"UTC0", "Sun, 6 Nov 1994 08:49:37 GMT"},  // never " +0000"
                      ZoneText{"<-0330>3:30", "Sun, 6 Nov 1994 05:19:37 -0330"},
                      ZoneText{"<+14>-14", "Sun, 6 Nov 1994 22:49:37 +1400"},
                      ZoneText{"<-12>12", "Sat, 5 Nov 1994 20:49:37 -1200"}));

TEST(SecondsToDateTextTest, WritesTheZonesBaseOffsetDuringDaylightTime) {
  NIMBUS_USE_ZONE("CET-1CEST,M3.5.0,M10.5.0/3");
  EXPECT_EQ(DateText(HostSeconds(2024, 7, 4, 17, 30), 0), "Thu, 4 Jul 2024 18:30:00 +0100");
}

TEST(SecondsToDateTextTest, PadsTimeFieldsButNotTheDay) {
  EXPECT_EQ(DateText(HostSeconds(2000, 1, 1), 1), "Sat, 1 Jan 2000 00:00:00 GMT");
  EXPECT_EQ(DateText(HostSeconds(2000, 2, 29, 9, 5, 7), 1), "Tue, 29 Feb 2000 09:05:07 GMT");
  EXPECT_EQ(DateText(HostSeconds(2030, 12, 31, 23, 59, 59), 1), "Tue, 31 Dec 2030 23:59:59 GMT");
}

TEST(SecondsToDateTextTest, CoversTheWholeRangeOfHostSeconds) {
  EXPECT_EQ(DateText(0, 1), "Fri, 1 Jan 1904 00:00:00 GMT");
  EXPECT_EQ(DateText(0xFFFFFFFFu, 1), "Mon, 6 Feb 2040 06:28:15 GMT");
}

TEST(SecondsToDateTextTest, NamesEveryDayAndMonth) {
  // 2 January 2000 was a Sunday; step a day and a month at a time through 2000.
  const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  for (int day = 0; day < 7; ++day) {
    EXPECT_EQ(DateText(HostSeconds(2000, 1, 2 + day), 1).substr(0, 5),
              std::string(days[day]) + ", ");
  }
  const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  for (int month = 1; month <= 12; ++month) {
    const std::string text = DateText(HostSeconds(2000, month, 15), 1);
    EXPECT_EQ(text.substr(7, 5), " " + std::string(months[month - 1]) + " ") << text;
  }
}

TEST(SecondsToDateTextTest, LabelsAZoneWithOddSecondsByTheWholeMinutesItShifts) {
  // A zone 17 min 30 s ahead: the text can only say +0017, so it shows local time shifted by
  // exactly that much, and reads back to the instant it was written from.
  NIMBUS_USE_ZONE("LMT-0:17:30");
  EXPECT_EQ(DateText(kNov6, 0), "Sun, 6 Nov 1994 09:06:37 +0017");
  EXPECT_EQ(::nimbus::testing::ReadInternet(DateText(kNov6, 0)), kNov6);
}

}  // namespace
}  // namespace nimbus
