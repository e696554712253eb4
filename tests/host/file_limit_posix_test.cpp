// Loading a package raises the open-file limit to its hard maximum, so that a package with a
// thousand sockets open does not run out of descriptors.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include "host/host.h"

namespace {

TEST(FileLimit, LoadRaisesTheSoftLimitToTheHardOne) {
  rlimit limit{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
  if (limit.rlim_max > 1024) {
    limit.rlim_cur = 1024;  // start below the maximum so the raise can be seen
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &limit), 0);
  }
  standin::Host host;
  ASSERT_TRUE(host.Load(FAKE_PACKAGE_PATH)) << host.lastError();
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
  EXPECT_EQ(limit.rlim_cur, limit.rlim_max);
}

}  // namespace
