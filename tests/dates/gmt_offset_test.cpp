#include "dates/gmt_offset.h"

#include <gtest/gtest.h>

#include "dates/local_zone.h"

namespace nimbus {
namespace {

struct ZoneCase {
  const char* posixZone;
  int32_t baseOffset;
};

class GMTOffsetTest : public ::testing::TestWithParam<ZoneCase> {};

TEST_P(GMTOffsetTest, IsTheZonesStandardOffsetEastOfGMT) {
  NIMBUS_USE_ZONE(GetParam().posixZone);
  EXPECT_EQ(CurrentGMTOffset(), GetParam().baseOffset) << GetParam().posixZone;
}

// One of the northern and southern daylight-saving zones is in daylight time whatever today
// is; the last keeps daylight time all year. All must answer their standard offset.
INSTANTIATE_TEST_SUITE_P(Zones, GMTOffsetTest,
                         ::testing::Values(ZoneCase{"UTC0", 0},
                                           ZoneCase{"CET-1CEST,M3.5.0,M10.5.0/3", 3600},
                                           ZoneCase{"EST5EDT,M3.2.0,M11.1.0", -18000},
                                           ZoneCase{"IST-5:30", 19800},
                                           ZoneCase{"AEST-10AEDT,M10.1.0,M4.1.0/3", 36000},
                                           ZoneCase{"CET-1CEST,J1/0,J365/25", 3600}));

// Zones of the system's zone database. Ireland's winter (GMT) is marked there as daylight time
// an hour behind its summer "standard" time; its base offset is still its winter one, 0, as
// Windows' zone table has it (Wine derives its zone from the same database and reports +1
// hour, so the Windows build is not run in that zone). Morocco keeps +1 all year but an hour
// back during Ramadan, which is no season.
INSTANTIATE_TEST_SUITE_P(
    NamedZones, GMTOffsetTest,
    ::testing::Values(ZoneCase{"Europe/Dublin", 0}, ZoneCase{"IST-1GMT0,M10.5.0,M3.5.0/1", 0},
                      ZoneCase{"GMT0IST,M3.5.0/1,M10.5.0", 0}, ZoneCase{"Europe/London", 0},
                      ZoneCase{"America/New_York", -18000}, ZoneCase{"UTC", 0},
                      ZoneCase{"Asia/Kolkata", 19800}, ZoneCase{"Australia/Adelaide", 34200},
                      ZoneCase{"America/St_Johns", -12600}, ZoneCase{"Africa/Casablanca", 3600}));

TEST(LocationRecordTest, CarriesAZoneBehindGMTIn24Bits) {
  NIMBUS_USE_ZONE("EST5EDT,M3.2.0,M11.1.0");
  LocationRecord location{0x11223344, 0x55667788, 0x7F7F7F7F};
  LocalGMTOffset(&location);
  EXPECT_EQ(location.gmtDelta, 0x00FFB9B0);
  EXPECT_EQ(GMTOffsetOf(location), -18000);
  EXPECT_EQ(location.latitude, 0x11223344);  // the first two words are not touched
  EXPECT_EQ(location.longitude, 0x55667788);
}

TEST(LocationRecordTest, SignExtendsEvery24BitOffsetWhateverTheTopByte) {
  for (int32_t offset = -(1 << 23); offset < (1 << 23); offset += 997) {
    for (uint32_t top : {0x00u, 0x80u, 0xFFu}) {
      const LocationRecord location{0, 0, int32_t((top << 24) | (uint32_t(offset) & 0xFFFFFFu))};
      ASSERT_EQ(GMTOffsetOf(location), offset) << offset << " top " << top;
    }
  }
}

}  // namespace
}  // namespace nimbus
