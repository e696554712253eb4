#include "dates/gmt_offset.h"

#include <gtest/gtest.h>

#include "dates/local_zone.h"
#include "platform/clock.h"

namespace nimbus {
namespace {

struct ZoneCase {
  const char* posixZone;
  int32_t baseOffset;
};

class ZoneBaseOffsetTest : public ::testing::TestWithParam<ZoneCase> {};

TEST_P(ZoneBaseOffsetTest, IsTheStandardOffsetEastOfGMT) {
  NIMBUS_USE_ZONE(GetParam().posixZone);
  EXPECT_EQ(platform::ZoneBaseOffsetSeconds(), GetParam().baseOffset);
  EXPECT_EQ(CurrentGMTOffset(), GetParam().baseOffset);
}

// Northern and southern daylight-saving zones: whatever the date today, one of the two is in
// daylight time now, and both must still answer their standard offset. The last two keep
// daylight time all year, so daylight time is in force whenever the test runs.
INSTANTIATE_TEST_SUITE_P(
    Zones, ZoneBaseOffsetTest,
    ::testing::Values(ZoneCase{"UTC0", 0}, ZoneCase{"GMT0BST,M3.5.0/1,M10.5.0", 0},
                      ZoneCase{"CET-1CEST,M3.5.0,M10.5.0/3", 3600},
                      ZoneCase{"EST5EDT,M3.2.0,M11.1.0", -18000}, ZoneCase{"IST-5:30", 19800},
                      ZoneCase{"AEST-10AEDT,M10.1.0,M4.1.0/3", 36000},
                      ZoneCase{"NZST-12NZDT,M9.5.0,M4.1.0/3", 43200}, ZoneCase{"<-03>3", -10800},
                      ZoneCase{"<+14>-14", 50400}, ZoneCase{"CET-1CEST,J1/0,J365/25", 3600},
                      ZoneCase{"EST5EDT,J1/0,J365/25", -18000}));

TEST(LocationRecordTest, CarriesAZoneBehindGMTAs24BitTwosComplement) {
  NIMBUS_USE_ZONE("EST5EDT,M3.2.0,M11.1.0");
  LocationRecord location{0x11223344, 0x55667788, 0x7F7F7F7F};
  LocalGMTOffset(&location);
  EXPECT_EQ(location.gmtDelta, 0x00FFB9B0);
  EXPECT_EQ(GMTOffsetOf(location), -18000);
  EXPECT_EQ(location.latitude, 0x11223344);  // the first two words are not touched
  EXPECT_EQ(location.longitude, 0x55667788);
}

TEST(LocationRecordTest, KeepsTheTopByteZeroForZonesAheadOfGMT) {
  NIMBUS_USE_ZONE("IST-5:30");
  LocationRecord location{0, 0, -1};
  LocalGMTOffset(&location);
  EXPECT_EQ(location.gmtDelta, 19800);
  EXPECT_EQ(GMTOffsetOf(location), 19800);
}

TEST(LocationRecordTest, ReadsEvery24BitOffsetBackWhateverTheTopByteHolds) {
  for (int32_t offset = -(1 << 23); offset < (1 << 23); offset += 997) {
    for (uint32_t top : {0x00u, 0x80u, 0xFFu}) {
      const LocationRecord location{0, 0, int32_t((top << 24) | (uint32_t(offset) & 0x00FFFFFFu))};
      ASSERT_EQ(GMTOffsetOf(location), offset) << offset << " top " << top;
    }
  }
}

TEST(LocationRecordTest, FollowsAChangeOfZoneAtTheNextCall) {
  NIMBUS_USE_ZONE("CET-1CEST,M3.5.0,M10.5.0/3");
  EXPECT_EQ(CurrentGMTOffset(), 3600);
  ::nimbus::testing::ScopedZone other("EST5EDT,M3.2.0,M11.1.0");
  EXPECT_EQ(CurrentGMTOffset(), -18000);
}

}  // namespace
}  // namespace nimbus
