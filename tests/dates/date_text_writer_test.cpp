#include <gtest/gtest.h>

#include "dates/date_text_test_support.h"
#include "dates/local_zone.h"
#include "dates/reference_calendar.h"

namespace nimbus {
namespace {

using ::nimbus::testing::DateText;
using ::nimbus::testing::HostSeconds;
using ::nimbus::testing::ReadInternet;

const uint32_t kNov6 = HostSeconds(1994, 11, 6, 8, 49, 37);

struct WriteCase {
  const char* posixZone;
  uint32_t seconds;
  int32_t gmtFlag;
  const char* text;
};

class SecondsToDateTextTest : public ::testing::TestWithParam<WriteCase> {};

TEST_P(SecondsToDateTextTest, Writes) {
  NIMBUS_USE_ZONE(GetParam().posixZone);
  EXPECT_EQ(DateText(GetParam().seconds, GetParam().gmtFlag), GetParam().text);
}

const char* const kCET = "CET-1CEST,M3.5.0,M10.5.0/3";

INSTANTIATE_TEST_SUITE_P(
    Texts, SecondsToDateTextTest,
    ::testing::Values(
        WriteCase{kCET, kNov6, 1, "Sun, 6 Nov 1994 08:49:37 GMT"},  // any flag but 0: GMT
        WriteCase{kCET, kNov6, -1, "Sun, 6 Nov 1994 08:49:37 GMT"},
        WriteCase{kCET, kNov6, 0, "Sun, 6 Nov 1994 09:49:37 +0100"},
        WriteCase{kCET, HostSeconds(2024, 7, 4, 17, 30), 0, "Thu, 4 Jul 2024 18:30:00 +0100"},
        WriteCase{"EST5EDT,M3.2.0,M11.1.0", kNov6, 0, "Sun, 6 Nov 1994 03:49:37 -0500"},
        WriteCase{"IST-5:30", kNov6, 0, "Sun, 6 Nov 1994 14:19:37 +0530"},
        WriteCase{"UTC0", kNov6, 0, "Sun, 6 Nov 1994 08:49:37 GMT"},  // never " +0000"
        WriteCase{"<-12>12", kNov6, 0, "Sat, 5 Nov 1994 20:49:37 -1200"},
        // Only whole minutes of a zone 17 min 30 s ahead can be written, and the time is
        // shifted by exactly those, so the text still reads back to its instant.
        WriteCase{"LMT-0:17:30", kNov6, 0, "Sun, 6 Nov 1994 09:06:37 +0017"},
        WriteCase{"UTC0", HostSeconds(2000, 1, 1), 1, "Sat, 1 Jan 2000 00:00:00 GMT"},
        WriteCase{"UTC0", HostSeconds(2000, 2, 29, 9, 5, 7), 1, "Tue, 29 Feb 2000 09:05:07 GMT"},
        WriteCase{"UTC0", 0, 1, "Fri, 1 Jan 1904 00:00:00 GMT"},
        WriteCase{"UTC0", 0xFFFFFFFFu, 1, "Mon, 6 Feb 2040 06:28:15 GMT"}));

TEST(DateTextNamesTest, NamesEveryDayAndMonth) {
  const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  for (int day = 0; day < 7; ++day) {  // 2 January 2000 was a Sunday
    EXPECT_EQ(DateText(HostSeconds(2000, 1, 2 + day), 1).substr(0, 3), days[day]);
  }
  const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  for (int month = 1; month <= 12; ++month) {
    EXPECT_EQ(DateText(HostSeconds(2000, month, 15), 1).substr(8, 3), months[month - 1]);
  }
}

// Every text written reads back to the seconds it was written from, across 1904-2040.
struct ZoneAndFlag {
  const char* posixZone;
  int32_t gmtFlag;
};

class DateTextRoundTripTest : public ::testing::TestWithParam<ZoneAndFlag> {};

TEST_P(DateTextRoundTripTest, ReadsBackEveryTextItWrites) {
  NIMBUS_USE_ZONE(GetParam().posixZone);
  // A step of no whole minutes, hours or days meets every field value and day of the week.
  for (uint64_t s = 0; s <= 0xFFFFFFFFu; s += 86399 * 3 + 7) {
    const std::string text = DateText(uint32_t(s), GetParam().gmtFlag);
    ASSERT_EQ(ReadInternet(text), uint32_t(s)) << text;
  }
  for (uint32_t s : {1u, 86399u, 0xFFFFFFFFu, 0xFFFF0000u}) {
    const std::string text = DateText(s, GetParam().gmtFlag);
    ASSERT_EQ(ReadInternet(text), s) << text;
  }
}

INSTANTIATE_TEST_SUITE_P(Zones, DateTextRoundTripTest,
                         ::testing::Values(ZoneAndFlag{"UTC0", 1}, ZoneAndFlag{"UTC0", 0},
                                           ZoneAndFlag{kCET, 0}, ZoneAndFlag{kCET, 1},
                                           ZoneAndFlag{"EST5EDT,M3.2.0,M11.1.0", 0},
                                           ZoneAndFlag{"IST-5:30", 0}, ZoneAndFlag{"<+14>-14", 0},
                                           ZoneAndFlag{"LMT-0:17:30", 0}));

}  // namespace
}  // namespace nimbus
