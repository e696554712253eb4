#include <gtest/gtest.h>

#include <random>
#include <string>

#include "dates/date_text_test_support.h"
#include "dates/local_zone.h"
#include "dates/reference_calendar.h"

namespace nimbus {
namespace {

using ::nimbus::testing::HostSeconds;
using ::nimbus::testing::ReadCompact;
using ::nimbus::testing::ReadInternet;

const uint32_t kNov6 = HostSeconds(1994, 11, 6, 8, 49, 37);

TEST(ReadInternetDateTextTest, ReadsLayoutsZonesAndShortFields) {
  NIMBUS_USE_ZONE("CET-1CEST,M3.5.0,M10.5.0/3");  // the local zone plays no part
  const struct {
    const char* text;
    uint32_t seconds;
  } cases[] = {
      {"Sun, 06 Nov 1994 08:49:37 GMT", kNov6},
      {"Sunday, 06-Nov-94 08:49:37 GMT", kNov6},
      {"6 Nov 1994 08:49:37", kNov6},
      {"Sun, 6 Nov 1994 03:49:37 EST", kNov6},
      {"Sun, 6 Nov 1994 09:49:37 +0100", kNov6},
      {"Sun, 6 Nov 1994 09:49:37 +0100 (CET)", kNov6},
      {"Sun, 6 Nov 1994 08:49:37 EDT", kNov6 + 4 * 3600},
      {"Sun, 6 Nov 1994 08:49:37 CDT", kNov6 + 5 * 3600},
      {"Sun, 6 Nov 1994 08:49:37 CST", kNov6 + 6 * 3600},
      {"Sun, 6 Nov 1994 08:49:37 MDT", kNov6 + 6 * 3600},
      {"Sun, 6 Nov 1994 08:49:37 MST", kNov6 + 7 * 3600},
      {"Sun, 6 Nov 1994 08:49:37 PDT", kNov6 + 7 * 3600},
      {"Sun, 6 Nov 1994 08:49:37 PST", kNov6 + 8 * 3600},
      {"Sun, 6 Nov 1994 08:49:37 est", kNov6},   // zone names keep their letter case
      {"Sun, 6 Nov 1994 08:49:37 EST ", kNov6},  // and must be the whole remainder
      {"Sun, 6 Nov 1994 08:49:37 UT", kNov6},
      {"Sun, 6 nov 1994 08:49:37 GMT", kNov6},  // month names do not
      {"Sun, 6 NOV 1994 08:49:37 GMT", kNov6},
      {"Sun, 06 Nov 1994 08:49 GMT", kNov6 - 37},
      {"Sun, 06 Nov 1994 03:49 EST", kNov6 - 37},
      {"Sun, 06 Nov 05 08:49:37 GMT", HostSeconds(1905, 11, 6, 8, 49, 37)},
      {"Thu, 31 Dec 1903 19:00:00 -0500", 0},
      {"Fri, 31 Dec 1999 23:30:00 -0530", HostSeconds(2000, 1, 1, 5)},
      {"6 Foo 1994 08:49:37 GMT", HostSeconds(1993, 12, 6, 8, 49, 37)},  // month 0
      {"Sun, 06 Nov 1994", HostSeconds(1994, 11, 6)},  // missing fields are empty: 0
      {"Sun, 06 Nov 1994 08:49:37 -05", kNov6 + 5 * 3600},
      {"", 0},
      {"Sun, ", 0},
      {"GMT", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadInternet(c.text), c.seconds) << c.text;
}

TEST(ReadInternetDateTextTest, MisreadsTheAsctimeLayoutAtFixedWidths) {
  // "Sun Nov  6 08:49:37 1994" has the month before the day. The fixed-width reader skips to
  // the "6" (day 6), finds no month in "08:4" (month 0), reads the year from "9:37" (9), the
  // hour from "19" and the minute from "4", with no seconds: 0009-00-06 19:04:00, which the
  // toolbox takes as a date long before its epoch and wraps. Not the instant the text names.
  DateTimeRec misread{9, 0, 6, 19, 4, 0, 0};
  uint32_t expected = 0;
  DateToSeconds(&misread, &expected);
  EXPECT_EQ(ReadInternet("Sun Nov  6 08:49:37 1994"), expected);
  EXPECT_NE(expected, kNov6);
}

struct RealSoftwareText {
  const char* text;
  uint32_t seconds;
  const char* source;
};

const RealSoftwareText kRealSoftwareTexts[] = {
#include "dates/real_software_date_texts.inc"
};

TEST(ReadInternetDateTextTest, ReadsTextsThatMailAndWebSoftwareWrite) {
  for (const RealSoftwareText& row : kRealSoftwareTexts) {
    EXPECT_EQ(ReadInternet(row.text), row.seconds) << row.text << " (" << row.source << ")";
  }
}

// A text reads the same whatever lies past its length, and (under AddressSanitizer, in a
// buffer of its exact size) never outside it: truncated and random texts.
void ExpectReadsOnlyInsideTheText(const std::string& text) {
  const uint32_t internet = ReadInternet(text);
  const uint32_t compact = ReadCompact(text);
  for (unsigned char padding : {'9', ' ', ':', '+'}) {
    unsigned char buffer[256];
    std::fill(std::begin(buffer), std::end(buffer), padding);
    buffer[0] = static_cast<unsigned char>(text.size());
    std::copy(text.begin(), text.end(), buffer + 1);
    ASSERT_EQ(uint32_t(DateTextToSeconds(buffer, 0)), internet) << text;
    ASSERT_EQ(uint32_t(DateTextToSeconds(buffer, 1)), compact) << text;
  }
}

TEST(ReadInternetDateTextTest, ReadsOnlyInsideTruncatedAndRandomTexts) {
  for (const std::string full : {"Sunday, 06-Nov-94 08:49:37 GMT", "Sun, 6 Nov 1994 09:49:37 +0100",
                                 "Sun, 6 Nov 1994 03:49 EST", "941106084937Z"}) {
    for (size_t length = 0; length <= full.size(); ++length) {
      ExpectReadsOnlyInsideTheText(full.substr(0, length));
    }
  }
  const char* const pieces[] = {"Sun, ", "0",    "6",  "12",  " ",   "-",    "+",  ":",  "Nov",
                                "Foo",   "1994", "94", "EST", "GMT", "\xff", "99", "-9", "+0100"};
  std::mt19937 random(20240607);
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    for (int i = int(random() % 16); i > 0; --i) text += pieces[random() % std::size(pieces)];
    if (random() % 8 == 0) text.append(size_t(random() % 256), char(random()));
    ExpectReadsOnlyInsideTheText(text.substr(0, 255));
  }
}

TEST(ReadCompactDateTextTest, ShiftsTwelveCharactersAndWindowsTheCentury) {
  NIMBUS_USE_ZONE("CET-1CEST,M3.5.0,M10.5.0/3");
  EXPECT_EQ(ReadCompact("941106084937"), kNov6 - 3600);  // local time
  EXPECT_EQ(ReadCompact("941106084937Z"), kNov6);        // any other length is GMT
  EXPECT_EQ(ReadCompact("9411060849"), kNov6 - 37);
  EXPECT_EQ(ReadCompact("391231235959Z"), HostSeconds(2039, 12, 31, 23, 59, 59));
  EXPECT_EQ(ReadCompact("400101000000Z"), HostSeconds(1940, 1, 1));
  EXPECT_EQ(ReadCompact("000229120000Z"), HostSeconds(2000, 2, 29, 12));
  const ::nimbus::testing::ExactText text("6 Nov 1994 08:49:37 GMT");
  for (int32_t form : {0, 2, -1}) EXPECT_EQ(uint32_t(DateTextToSeconds(text.bytes, form)), kNov6);
}

}  // namespace
}  // namespace nimbus
