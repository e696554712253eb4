// Cooperative processes: one runs at a time, control passes round-robin at each yield (also
// at yields inside the package), the main process takes part, and winding down never hangs.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "host/host.h"
#include "toolbox/host_services.h"
#include "toolbox/toolbox_testing.h"

namespace {

using standin::Host;
using standin::Value;

using Log = std::vector<std::string>;

TEST(Processes, TwoProcessesYieldingAlternately) {
  Host host;
  Log log;
  host.StartProcess("A", [&] {
    log.push_back("A1");
    YieldToHost();
    log.push_back("A2");
    YieldToHost();
    log.push_back("A3");
  });
  host.StartProcess("B", [&] {
    log.push_back("B1");
    YieldToHost();
    log.push_back("B2");  // B finishes while A still runs
  });
  EXPECT_EQ(host.processCount(), 2);
  host.RunProcesses();
  EXPECT_EQ(log, (Log{"A1", "B1", "A2", "B2", "A3"}));
  EXPECT_EQ(host.processCount(), 0);
}

TEST(Processes, MainProcessTakesItsTurnAtItsOwnYields) {
  Host host;
  Log log;
  host.StartProcess("A", [&] {
    log.push_back("A1");
    YieldToHost();
    log.push_back("A2");
  });
  EXPECT_TRUE(log.empty()) << "a process starts only at a yield";
  YieldToHost();
  log.push_back("main");
  host.RunProcesses();
  EXPECT_EQ(log, (Log{"A1", "main", "A2"}));
  // With no other process, a yield comes straight back.
  YieldToHost();
  EXPECT_EQ(log.size(), 3u);
}

TEST(Processes, NeverTwoAtOnce) {
  Host host;
  std::atomic<int> running{0};
  std::atomic<int> overlaps{0};
  int steps = 0;  // plain: only ever touched by the one running process
  for (int p = 0; p < 6; ++p) {
    host.StartProcess("worker", [&] {
      for (int i = 0; i < 40; ++i) {
        if (running.fetch_add(1) != 0) ++overlaps;
        ++steps;
        // Long enough for a second thread that was let through to show up.
        std::this_thread::sleep_for(std::chrono::microseconds(100));
        running.fetch_sub(1);
        YieldToHost();
      }
    });
  }
  host.RunProcesses();
  EXPECT_EQ(overlaps.load(), 0);
  EXPECT_EQ(steps, 240);
}

TEST(Processes, ProcessStartedByAProcessRunsToo) {
  Host host;
  Log log;
  host.StartProcess("parent", [&] {
    log.push_back("parent");
    host.StartProcess("child", [&] { log.push_back("child"); });
    YieldToHost();
    log.push_back("parent again");
  });
  host.RunProcesses();
  EXPECT_EQ(log, (Log{"parent", "child", "parent again"}));
}

TEST(Processes, YieldInsideThePackageLetsOthersRun) {
  Host host;
  ASSERT_TRUE(host.Load(FAKE_PACKAGE_PATH)) << host.lastError();
  int otherSteps = 0;
  bool waiterDone = false;
  int32_t waited = 0;
  host.StartProcess("waiter", [&] {
    // StreamWaitState in the fake package yields as often as its third parameter says.
    waited = host.Call("StreamWaitState", {Value::Longint(1), Value::Longint(8), Value::Longint(3)})
                 .result.longint;
    waiterDone = true;
  });
  host.StartProcess("other", [&] {
    while (!waiterDone) {
      ++otherSteps;
      YieldToHost();
    }
  });
  host.RunProcesses();
  EXPECT_EQ(waited, 3);
  EXPECT_GE(otherSteps, 3);
}

TEST(Processes, UnloadLetsProcessesInsideThePackageFinishFirst) {
  Host host;
  ASSERT_TRUE(host.Load(FAKE_PACKAGE_PATH)) << host.lastError();
  bool started = false;
  bool neverBegun = true;
  host.StartProcess("waiter", [&] {
    started = true;
    host.Call("StreamWaitState", {Value::Longint(1), Value::Longint(8), Value::Longint(5)});
  });
  YieldToHost();  // the waiter is now suspended inside the package
  ASSERT_TRUE(started);
  host.StartProcess("late", [&] { neverBegun = false; });
  host.Unload();
  EXPECT_EQ(std::string(TBTest_LastMessage()),
            "fake package: unload, globals FAKE, calls in progress 0");
  EXPECT_TRUE(neverBegun) << "a process not yet begun is dropped at unload";
  EXPECT_EQ(host.processCount(), 0);
}

TEST(Processes, DestroyingTheHostWindsProcessesDown) {
  Log log;
  bool sawStopping = false;
  {
    Host host;
    host.StartProcess("A", [&] {
      log.push_back("A1");
      while (!host.stopping()) YieldToHost();  // would wait for ever without the signal
      sawStopping = true;
      log.push_back("A2");
    });
    host.StartProcess("B", [&] { log.push_back("B"); });
    YieldToHost();  // A and B begin; A waits
    host.StartProcess("C", [&] { log.push_back("C"); });
  }
  EXPECT_TRUE(sawStopping);
  EXPECT_EQ(log, (Log{"A1", "B", "A2"}));
}

std::vector<HostMessage> filtered;

int32_t RecordingFilter(void*, HostMessage* message) {
  filtered.push_back(*message);
  return 0;
}

TEST(Processes, MessagePostedToTheFrameWindowReachesTheFilterDuringAYield) {
  Host host;
  filtered.clear();
  SetMessageFilter(&RecordingFilter);
  size_t seenAfterYield = 0;
  host.StartProcess("poster", [&] {
    ASSERT_EQ(TBHost_PostMessage(TBHost_FrameWindow(), 14566, 5, 6), 1);
    YieldToHost();
    seenAfterYield = filtered.size();
  });
  host.RunProcesses();
  SetMessageFilter(nullptr);
  EXPECT_EQ(seenAfterYield, 1u);
  ASSERT_EQ(filtered.size(), 1u);
  EXPECT_EQ(filtered[0].window, TBHost_FrameWindow());
  EXPECT_EQ(filtered[0].message, 14566u);
  EXPECT_EQ(filtered[0].wParam, 5u);
  EXPECT_EQ(filtered[0].lParam, 6);
}

TEST(Processes, RunProcessesDeliversWhatTheLastProcessPosted) {
  Host host;
  filtered.clear();
  SetMessageFilter(&RecordingFilter);
  host.StartProcess("poster", [] { TBHost_PostMessage(TBHost_FrameWindow(), 14566, 1, 2); });
  host.RunProcesses();
  SetMessageFilter(nullptr);
  ASSERT_EQ(filtered.size(), 1u);
  EXPECT_EQ(filtered[0].wParam, 1u);
}

}  // namespace
