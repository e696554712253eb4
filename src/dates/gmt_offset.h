// The local zone's offset from GMT, as it travels inside the package: in the third word of a
// location record, as a signed 24-bit number of seconds with the top 8 bits zero.
#pragma once

#include <cstdint>

namespace nimbus {

struct LocationRecord {
  int32_t latitude;   // not touched here
  int32_t longitude;  // not touched here
  int32_t gmtDelta;   // low 24 bits: seconds east of GMT, two's complement; top 8 bits: 0
};

// Writes the zone's base offset (daylight saving ignored) into location->gmtDelta and leaves
// the other two words alone. The zone is read afresh on every call.
void LocalGMTOffset(LocationRecord* location);

// The offset a location record carries: the low 24 bits, sign-extended.
int32_t GMTOffsetOf(const LocationRecord& location);

// LocalGMTOffset read back through a fresh location record: seconds east of GMT.
int32_t CurrentGMTOffset();

}  // namespace nimbus
