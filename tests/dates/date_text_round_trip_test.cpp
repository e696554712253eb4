// Every text SecondsToDateText writes reads back to the seconds it was written from, across
// the whole range of host seconds (1904-2040), for GMT texts and for local texts in zones on
// both sides of GMT, with and without daylight saving.
#include <gtest/gtest.h>

#include "dates/date_text_test_support.h"
#include "dates/local_zone.h"

namespace nimbus {
namespace {

using ::nimbus::testing::DateText;
using ::nimbus::testing::ReadInternet;

struct RoundTripCase {
  const char* posixZone;
  int32_t gmtFlag;
};

class DateTextRoundTripTest : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(DateTextRoundTripTest, ReadsBackEveryTextItWrites) {
  NIMBUS_USE_ZONE(GetParam().posixZone);
  // A step that is no whole number of minutes, hours or days, so the sweep meets every
  // second, minute and hour value and every day of the week; then the two ends of the range.
  for (uint64_t s = 0; s <= 0xFFFFFFFFu; s += 86399 * 3 + 7) {
    const std::string text = DateText(uint32_t(s), GetParam().gmtFlag);
    ASSERT_EQ(ReadInternet(text), uint32_t(s)) << text;
  }
  for (uint32_t s : {0u, 1u, 59u, 3599u, 86399u, 0xFFFFFFFFu, 0xFFFFFFFEu, 0xFFFF0000u}) {
    const std::string text = DateText(s, GetParam().gmtFlag);
    ASSERT_EQ(ReadInternet(text), s) << text;
  }
}

INSTANTIATE_TEST_SUITE_P(Zones, DateTextRoundTripTest,
                         ::testing::Values(RoundTripCase{"UTC0", 1}, RoundTripCase{"UTC0", 0},
                                           RoundTripCase{"CET-1CEST,M3.5.0,M10.5.0/3", 0},
                                           RoundTripCase{"CET-1CEST,M3.5.0,M10.5.0/3", 1},
                                           RoundTripCase{"EST5EDT,M3.2.0,M11.1.0", 0},
                                           RoundTripCase{"IST-5:30", 0},
                                           RoundTripCase{"<+14>-14", 0},
                                           RoundTripCase{"<-12>12", 0}));

}  // namespace
}  // namespace nimbus
