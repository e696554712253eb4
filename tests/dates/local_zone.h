// Sets the process's local zone for one test from a POSIX TZ string ("CET-1CEST,M3.5.0,M10.5.0/3")
// and puts the previous one back afterwards. Where the zone cannot be set from inside the
// process (Windows), applied() tells whether the process already runs in that zone; when not,
// the test skips itself.
#pragma once

#include <optional>
#include <string>

namespace nimbus::testing {

class ScopedZone {
 public:
  explicit ScopedZone(const char* posixZone);
  ~ScopedZone();
  ScopedZone(const ScopedZone&) = delete;
  ScopedZone& operator=(const ScopedZone&) = delete;
  bool applied() const { return applied_; }

 private:
  std::optional<std::string> previous_;
  bool applied_ = false;
};

}  // namespace nimbus::testing

// Declares a ScopedZone named `zone` and skips the test when the zone could not be set.
#define NIMBUS_USE_ZONE(posixZone)                             \
  ::nimbus::testing::ScopedZone zone(posixZone);               \
  if (!zone.applied()) {                                       \
    GTEST_SKIP() << "the local zone cannot be set in-process"; \
  }
