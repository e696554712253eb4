// On POSIX systems the C library reads the zone from TZ at each tzset().
#include <stdlib.h>
#include <time.h>

#include "dates/local_zone.h"

namespace nimbus::testing {

ScopedZone::ScopedZone(const char* posixZone) {
  if (const char* current = getenv("TZ")) previous_ = current;
  applied_ = setenv("TZ", posixZone, 1) == 0;
  tzset();
}

ScopedZone::~ScopedZone() {
  if (previous_) {
    setenv("TZ", previous_->c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}

}  // namespace nimbus::testing
