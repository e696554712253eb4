// Windows reads the zone from the system, and under Wine from TZ as it was when the process
// started: a zone is in force only when the test program was started with it (the build runs
// the zone tests once per zone).
#include <cstdlib>
#include <cstring>

#include "dates/local_zone.h"

namespace nimbus::testing {

ScopedZone::ScopedZone(const char* posixZone) {
  const char* current = std::getenv("TZ");
  applied_ = current != nullptr && std::strcmp(current, posixZone) == 0;
}

ScopedZone::~ScopedZone() = default;

}  // namespace nimbus::testing
