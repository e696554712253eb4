// Delayed processes and the idle host: a delayed process takes no turn before its deadline
// (so it costs a process that yields nothing), a delay ends on time and never sooner, the
// host sleeps when every process is delayed and wakes for its deadlines and for messages,
// and a delay ends early when the host winds down or is told to end delays.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "cpu_time.h"
#include "host/host.h"
#include "toolbox/host_services.h"

namespace {

using Clock = std::chrono::steady_clock;
using standin::Host;
using std::chrono::milliseconds;

constexpr auto kTick = std::chrono::nanoseconds(1000000000 / 60);

double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

TEST(Scheduler, AYieldGivesNoTurnToADelayedProcess) {
  Host host;
  std::vector<Clock::time_point> turns;  // when the delayed process ran
  Clock::time_point delayedAt;
  host.StartProcess("sleeper", [&] {
    turns.push_back(Clock::now());
    delayedAt = Clock::now();
    host.DelayProcess(30);
    turns.push_back(Clock::now());
  });
  YieldToHost();  // the sleeper's first turn: it delays at once
  ASSERT_EQ(turns.size(), 1u);
  int64_t yields = 0;
  const auto giveUp = Clock::now() + std::chrono::seconds(20);
  while (turns.size() < 2 && Clock::now() < giveUp) {
    YieldToHost();
    ++yields;
  }
  ASSERT_EQ(turns.size(), 2u) << "the delayed process never woke";
  EXPECT_GE(turns[1] - delayedAt, 30 * kTick) << "woke before its deadline";
  // Every yield before the deadline came straight back to the main process.
  EXPECT_GT(yields, 1);
  host.RunProcesses();
}

TEST(Scheduler, DelayedProcessesDoNotSlowOneThatYields) {
  Host host;
  constexpr int kSleepers = 7;
  constexpr int kTicks = 2;
  std::vector<int> turns(kSleepers, 0);
  bool done = false;
  for (int i = 0; i < kSleepers; ++i) {
    host.StartProcess("sleeper", [&, i] {
      while (!done) {
        ++turns[i];
        host.DelayProcess(kTicks);
      }
    });
  }
  int64_t yields = 0;
  Clock::time_point start;
  host.StartProcess("sender", [&] {
    start = Clock::now();
    for (; yields < 200000; ++yields) YieldToHost();
    done = true;
  });
  host.RunProcesses();
  const auto elapsed = Clock::now() - start;
  // A sleeper runs once at the start and then once a deadline: never once a yield.
  const int mostTurns = int(elapsed / (kTicks * kTick)) + 2;
  for (int i = 0; i < kSleepers; ++i) {
    EXPECT_LE(turns[i], mostTurns) << "sleeper " << i << " in " << Seconds(elapsed) << " s";
  }
  EXPECT_EQ(yields, 200000);
}

TEST(Scheduler, ADelayOfThirtyTicksEndsAfterHalfASecondNotSooner) {
  Host host;
  std::vector<Clock::duration> delays;
  host.StartProcess("sleeper", [&] {
    for (int i = 0; i < 3; ++i) {
      const auto start = Clock::now();
      host.DelayProcess(30);
      delays.push_back(Clock::now() - start);
    }
  });
  host.RunProcesses();  // nothing else is ready: the host sleeps through each delay
  ASSERT_EQ(delays.size(), 3u);
  Clock::duration closest = delays[0];
  for (const auto& d : delays) {
    EXPECT_GE(d, milliseconds(500)) << Seconds(d) << " s";
    closest = std::min(closest, d);
  }
  // How close to the deadline it wakes is measured by the scheduler benchmark (the machine
  // may be busy here); the best of three still shows a wake-up aimed at the deadline rather
  // than at some coarse period after it.
  EXPECT_LE(closest, milliseconds(750)) << Seconds(closest) << " s";
}

TEST(Scheduler, ZeroOrNegativeTicksAreAYield) {
  Host host;
  std::vector<int> log;
  host.StartProcess("A", [&] {
    log.push_back(1);
    host.DelayProcess(0);
    log.push_back(3);
    host.DelayProcess(-5);
    log.push_back(5);
  });
  host.StartProcess("B", [&] {
    log.push_back(2);
    YieldToHost();
    log.push_back(4);
  });
  host.RunProcesses();
  EXPECT_EQ(log, (std::vector<int>{1, 2, 3, 4, 5}));
}

TEST(Scheduler, WithEveryProcessDelayedTheHostSleeps) {
  Host host;
  for (int i = 0; i < 3; ++i) {
    host.StartProcess("sleeper", [&host, i] { host.DelayProcess(30 + 3 * i); });
  }
  const double cpuBefore = ProcessCpuSeconds();
  const auto start = Clock::now();
  host.RunProcesses();
  const double wall = Seconds(Clock::now() - start);
  const double cpu = ProcessCpuSeconds() - cpuBefore;
  EXPECT_GE(wall, 0.5 + 6.0 / 60 - 0.001);
  // Waiting in a loop would burn the whole wall time; a sleep uses next to nothing.
  EXPECT_LT(cpu, 0.25 * wall) << cpu << " s of CPU in " << wall << " s";
}

std::atomic<int64_t> deliveredAt{0};  // steady-clock nanoseconds; 0 until delivered

int32_t StampingFilter(void*, HostMessage* message) {
  if (message->message == 0x5123) deliveredAt = Clock::now().time_since_epoch().count();
  return 0;
}

TEST(Scheduler, TheSleepingHostWakesForAMessageAndForItsDeadline) {
  Host host;
  deliveredAt = 0;
  SetMessageFilter(&StampingFilter);
  void* frame = TBHost_FrameWindow();
  Clock::time_point woke{};
  const auto start = Clock::now();
  host.StartProcess("sleeper", [&] {
    host.DelayProcess(180);  // 3 s
    woke = Clock::now();
  });
  std::thread poster([frame] {
    std::this_thread::sleep_for(milliseconds(50));
    TBHost_PostMessage(frame, 0x5123, 0, 0);  // as Winsock posts a notification
  });
  host.RunProcesses();
  poster.join();
  SetMessageFilter(nullptr);
  ASSERT_NE(deliveredAt.load(), 0) << "the message was never delivered";
  const Clock::time_point delivered{Clock::duration(deliveredAt.load())};
  EXPECT_LT(delivered - start, std::chrono::seconds(2)) << "delivered only when the delay ended";
  EXPECT_GE(woke - start, std::chrono::seconds(3)) << "the message ended the delay";
}

TEST(Scheduler, DelaysEndWhenTheHostWindsDownOrIsToldTo) {
  Clock::duration slept{};
  bool sawStopping = false;
  {
    Host host;
    host.StartProcess("sleeper", [&] {
      const auto start = Clock::now();
      while (!host.stopping()) host.DelayProcess(600);  // 10 s at a time
      slept = Clock::now() - start;
      sawStopping = true;
    });
    YieldToHost();  // the sleeper is now delayed
  }
  EXPECT_TRUE(sawStopping);
  EXPECT_LT(slept, std::chrono::seconds(5));

  Host host;
  Clock::duration delayed{};
  host.StartProcess("sleeper", [&] {
    const auto start = Clock::now();
    host.DelayProcess(600);
    delayed = Clock::now() - start;
  });
  host.StartProcess("waker", [&] {
    host.DelayProcess(3);
    host.EndDelays();
  });
  host.RunProcesses();
  EXPECT_LT(delayed, std::chrono::seconds(5));
  EXPECT_GE(delayed, 3 * kTick);
}

TEST(Scheduler, ProcessesStartedDuringADelayRunWhileTheDelayLasts) {
  Host host;
  std::vector<std::string> log;
  host.StartProcess("parent", [&] {
    host.StartProcess("child", [&] {
      log.push_back("child");
      host.StartProcess("grandchild", [&] { log.push_back("grandchild"); });
    });
    host.DelayProcess(6);
    log.push_back("parent");
  });
  host.RunProcesses();
  EXPECT_EQ(log, (std::vector<std::string>{"child", "grandchild", "parent"}));
}

}  // namespace
