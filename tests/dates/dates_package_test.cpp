// The date and timer routines through the package's entry point: parameters in, outputs and
// results back, as 4D passes them.
#include <gtest/gtest.h>

#include "dates/local_zone.h"
#include "dates/reference_calendar.h"
#include "host/host.h"

namespace {

using nimbus::testing::HostSeconds;
using standin::Host;
using standin::Value;

class DatesPackageTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(host.Load(NIMBUS_PACKAGE_PATH)) << host.lastError(); }
  Host host;
};

TEST_F(DatesPackageTest, ConvertsDatesTimesAndTexts) {
  NIMBUS_USE_ZONE("EST5EDT,M3.2.0,M11.1.0");
  const int32_t nov6 = int32_t(HostSeconds(1994, 11, 6, 8, 49, 37));
  EXPECT_EQ(host.Call("DateTimeToSeconds",
                      {Value::Date(6, 11, 1994), Value::Longint(31777), Value::Longint(0)})
                .result.longint,
            nov6);

  const auto local = host.Call("SecondsToDateTime", {Value::Longint(nov6), Value::Date(0, 0, 0),
                                                     Value::Longint(0), Value::Longint(0)});
  EXPECT_EQ(local.params[1].date.day, 6);
  EXPECT_EQ(local.params[1].date.month, 11);
  EXPECT_EQ(local.params[1].date.year, 1994);
  EXPECT_EQ(local.params[2].longint, 3 * 3600 + 49 * 60 + 37);

  EXPECT_EQ(host.Call("SecondsToDateText", {Value::Longint(nov6), Value::Longint(0)}).result.bytes,
            "Sun, 6 Nov 1994 03:49:37 -0500");
  EXPECT_EQ(host.Call("DateTextToSeconds",
                      {Value::String("Sun, 6 Nov 1994 03:49:37 EST"), Value::Longint(0)})
                .result.longint,
            nov6);
  EXPECT_EQ(host.Call("DateTextToSeconds", {Value::String("941106034937"), Value::Longint(1)})
                .result.longint,
            nov6);
}

TEST_F(DatesPackageTest, TimersCountMillisecondsFromTheirStart) {
  const int32_t start = host.Call("TimerStart", {}).result.longint;
  const int32_t elapsed = host.Call("TimerElapsed", {Value::Longint(start)}).result.longint;
  const int32_t since = host.Call("TimerSince", {Value::Longint(start)}).result.longint;
  EXPECT_GE(elapsed, 0);
  EXPECT_GE(since, elapsed);
  EXPECT_LT(since, 60000);
}

}  // namespace
