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

TEST(ReadInternetDateTextTest, ReadsTheCommonLayoutsToOneInstant) {
  NIMBUS_USE_ZONE("CET-1CEST,M3.5.0,M10.5.0/3");  // the local zone plays no part
  for (const char* text :
       {"Sun, 06 Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT", "6 Nov 1994 08:49:37",
        "Sun, 6 Nov 1994 03:49:37 EST", "Sun, 6 Nov 1994 09:49:37 +0100",
        "Sun, 6 Nov 1994 04:49:37 EDT", "Sun, 6 Nov 1994 00:49:37 PST",
        "Sun, 6 Nov 1994 14:19:37 +0530", "Sun, 6 Nov 1994 08:49:37 UT",
        "Sun, 6 Nov 1994 08:49:37 Z", "Sun, 6 Nov 1994 09:49:37 +0100 (CET)"}) {
    EXPECT_EQ(ReadInternet(text), kNov6) << text;
  }
}

TEST(ReadInternetDateTextTest, TakesEveryUSZoneName) {
  const struct {
    const char* zone;
    int hours;
  } zones[] = {{"EDT", 4}, {"EST", 5}, {"CDT", 5}, {"CST", 6},
               {"MDT", 6}, {"MST", 7}, {"PDT", 7}, {"PST", 8}};
  for (const auto& z : zones) {
    EXPECT_EQ(ReadInternet(std::string("Sun, 6 Nov 1994 08:49:37 ") + z.zone),
              kNov6 + uint32_t(z.hours * 3600))
        << z.zone;
  }
}

TEST(ReadInternetDateTextTest, ReadsAMissingSecondsFieldAsZero) {
  EXPECT_EQ(ReadInternet("Sun, 06 Nov 1994 08:49 GMT"), kNov6 - 37);
  EXPECT_EQ(ReadInternet("Sun, 06 Nov 1994 08:49"), kNov6 - 37);
  EXPECT_EQ(ReadInternet("Sun, 06 Nov 1994 03:49 EST"), kNov6 - 37);
}

TEST(ReadInternetDateTextTest, ZoneNamesHaveTheirLetterCaseMonthNamesDoNot) {
  EXPECT_EQ(ReadInternet("Sun, 6 Nov 1994 08:49:37 est"), kNov6);
  EXPECT_EQ(ReadInternet("Sun, 6 Nov 1994 08:49:37 EST "), kNov6);  // not the whole remainder
  EXPECT_EQ(ReadInternet("Sun, 6 nov 1994 08:49:37 GMT"), kNov6);
  EXPECT_EQ(ReadInternet("Sun, 6 NOV 1994 08:49:37 GMT"), kNov6);
}

TEST(ReadInternetDateTextTest, ReadsTwoDigitYearsAsNineteenHundreds) {
  EXPECT_EQ(ReadInternet("Sun, 06 Nov 05 08:49:37 GMT"), HostSeconds(1905, 11, 6, 8, 49, 37));
  EXPECT_EQ(ReadInternet("Sun, 06 Nov 94 08:49:37 GMT"), kNov6);
}

TEST(ReadInternetDateTextTest, UndoesANumericZoneAcrossMidnight) {
  EXPECT_EQ(ReadInternet("Thu, 31 Dec 1903 19:00:00 -0500"), 0u);
  EXPECT_EQ(ReadInternet("Sat, 1 Jan 2000 00:30:00 +0100"), HostSeconds(1999, 12, 31, 23, 30));
  EXPECT_EQ(ReadInternet("Fri, 31 Dec 1999 23:30:00 -0530"), HostSeconds(2000, 1, 1, 5));
}

TEST(ReadInternetDateTextTest, GivesZeroWithoutAnyDigit) {
  for (const char* text : {"", "Sun, ", "Sunday", "   ", "GMT", "\xff\xfe"}) {
    EXPECT_EQ(ReadInternet(text), 0u) << text;
  }
}

TEST(ReadInternetDateTextTest, ReadsAnUnknownMonthAsMonthZero) {
  // Month 0 is December of the year before, by the toolbox's conversion.
  EXPECT_EQ(ReadInternet("6 Foo 1994 08:49:37 GMT"), HostSeconds(1993, 12, 6, 8, 49, 37));
}

TEST(ReadInternetDateTextTest, MisreadsTheAsctimeLayoutAtFixedWidths) {
  // "Sun Nov  6 08:49:37 1994" puts the month before the day. The fixed-width reader skips to
  // the "6" (day 6), finds no month in "08:4" (month 0), reads the year from "9:37" (9), the
  // hour from "19" and the minute from "4", with no seconds: 0009-00-06 19:04:00, which the
  // toolbox takes as a date long before its epoch and wraps. It is not the instant the text
  // names; this pins down what it gives instead.
  DateTimeRec misread{9, 0, 6, 19, 4, 0, 0};
  uint32_t expected = 0;
  DateToSeconds(&misread, &expected);
  EXPECT_EQ(ReadInternet("Sun Nov  6 08:49:37 1994"), expected);
  EXPECT_NE(ReadInternet("Sun Nov  6 08:49:37 1994"), kNov6);
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
  NIMBUS_USE_ZONE("IST-5:30");  // the local zone plays no part
  for (const RealSoftwareText& row : kRealSoftwareTexts) {
    EXPECT_EQ(ReadInternet(row.text), row.seconds) << row.text << " (" << row.source << ")";
  }
}

// Every prefix of a text, and random texts of date-like pieces, read the same whatever lies
// past their length, and (under AddressSanitizer) never outside their buffer.
uint32_t ReadWithPadding(const std::string& text, unsigned char padding, int32_t form) {
  unsigned char buffer[256];
  std::fill(std::begin(buffer), std::end(buffer), padding);
  buffer[0] = static_cast<unsigned char>(text.size());
  std::copy(text.begin(), text.end(), buffer + 1);
  return uint32_t(DateTextToSeconds(buffer, form));
}

void ExpectReadsOnlyInsideTheText(const std::string& text) {
  const uint32_t internet = ReadInternet(text);
  const uint32_t compact = ReadCompact(text);
  for (unsigned char padding : {'9', ' ', ':', '+'}) {
    ASSERT_EQ(ReadWithPadding(text, padding, 0), internet) << text;
    ASSERT_EQ(ReadWithPadding(text, padding, 1), compact) << text;
  }
}

TEST(ReadInternetDateTextTest, TruncatedTextsReadOnlyTheirOwnCharacters) {
  for (const char* full : {"Sun, 06 Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT",
                           "Sun, 6 Nov 1994 09:49:37 +0100", "Sun, 6 Nov 1994 03:49:37 EST",
                           "6 Nov 1994 08:49", "941106084937Z"}) {
    const std::string text(full);
    for (size_t length = 0; length <= text.size(); ++length) {
      ExpectReadsOnlyInsideTheText(text.substr(0, length));
    }
  }
  // Truncation at the fields: the fields that are missing read as empty, so as 0.
  EXPECT_EQ(ReadInternet("Sun, 06 Nov 1994"), HostSeconds(1994, 11, 6));
  EXPECT_EQ(ReadInternet("Sun, 06 Nov 1994 08"), HostSeconds(1994, 11, 6, 8));
  EXPECT_EQ(ReadInternet("Sun, 06 Nov 1994 08:49:37 +"), kNov6);
  EXPECT_EQ(ReadInternet("Sun, 06 Nov 1994 08:49:37 -05"), kNov6 + 5 * 3600);
}

TEST(ReadInternetDateTextTest, RandomTextsReadOnlyTheirOwnCharacters) {
  const char* const pieces[] = {"Sun, ", "0",    "6",    "12",  " ",    "-",    "+",
                                ":",     "Nov",  "nov",  "Foo", "1994", "94",   "EST",
                                "GMT",   "\xff", "\x00", "99",  "-9",   "+0100"};
  std::mt19937 random(20240607);
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    const int count = int(random() % 16);
    for (int i = 0; i < count; ++i) {
      const char* piece = pieces[random() % std::size(pieces)];
      text += piece[0] == '\0' ? std::string(1, '\0') : std::string(piece);
    }
    if (random() % 8 == 0) text.append(size_t(random() % 256), char(random()));
    if (text.size() > 255) text.resize(255);
    ExpectReadsOnlyInsideTheText(text);
  }
}

TEST(ReadCompactDateTextTest, TakesTwelveCharactersAsLocalTime) {
  NIMBUS_USE_ZONE("CET-1CEST,M3.5.0,M10.5.0/3");
  EXPECT_EQ(ReadCompact("941106084937"), kNov6 - 3600);
  EXPECT_EQ(ReadCompact("941106084937Z"), kNov6);  // any other length is GMT
  EXPECT_EQ(ReadCompact("9411060849"), kNov6 - 37);
}

TEST(ReadCompactDateTextTest, WindowsTheCenturyAtForty) {
  NIMBUS_USE_ZONE("UTC0");
  EXPECT_EQ(ReadCompact("391231235959"), HostSeconds(2039, 12, 31, 23, 59, 59));
  EXPECT_EQ(ReadCompact("400101000000"), HostSeconds(1940, 1, 1));
  EXPECT_EQ(ReadCompact("000229120000"), HostSeconds(2000, 2, 29, 12));
  EXPECT_EQ(ReadCompact("991231235959"), HostSeconds(1999, 12, 31, 23, 59, 59));
}

TEST(ReadCompactDateTextTest, OnlyFormOneIsCompact) {
  NIMBUS_USE_ZONE("UTC0");
  const ::nimbus::testing::ExactText text("6 Nov 1994 08:49:37 GMT");
  for (int32_t form : {0, 2, -1}) EXPECT_EQ(uint32_t(DateTextToSeconds(text.bytes, form)), kNov6);
  const ::nimbus::testing::ExactText compact("941106084937");
  EXPECT_EQ(uint32_t(DateTextToSeconds(compact.bytes, 1)), kNov6);
}

}  // namespace
}  // namespace nimbus
