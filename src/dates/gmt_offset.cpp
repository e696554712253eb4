#include "dates/gmt_offset.h"

#include "platform/clock.h"

namespace nimbus {

namespace {
constexpr uint32_t kLow24Bits = 0x00FFFFFFu;
constexpr uint32_t kSignBit24 = 0x00800000u;
constexpr int32_t kTwoTo24 = 0x01000000;
}  // namespace

void LocalGMTOffset(LocationRecord* location) {
  const int32_t offset = platform::ZoneBaseOffsetSeconds();
  // Keep only 24 bits for every offset, so the top byte is always 0.
  location->gmtDelta = int32_t(uint32_t(offset) & kLow24Bits);
}

int32_t GMTOffsetOf(const LocationRecord& location) {
  const uint32_t low = uint32_t(location.gmtDelta) & kLow24Bits;
  return (low & kSignBit24) ? int32_t(low) - kTwoTo24 : int32_t(low);
}

int32_t CurrentGMTOffset() {
  LocationRecord location{};
  LocalGMTOffset(&location);
  return GMTOffsetOf(location);
}

}  // namespace nimbus
