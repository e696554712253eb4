// What a yield costs the package, which yields after every 1024-byte send:
//   - the toolbox's yield with no host scheduler (the message pump alone), and with the
//     stand-in host's scheduler and no other process ready, each with 0 and with 1023
//     listening sockets registered for accept notifications; its peer is a plain call
//     through a function pointer, the least any yield can cost;
//   - the switch from one process to another (two processes yielding in turn), against two
//     threads handing a turn back and forth through one semaphore each, the cheapest
//     handoff between threads;
//   - how late a 30-tick DELAY PROCESS ends when every process is delayed (the host sleeps
//     until the deadline), against a plain sleep of the same half second.
// Moving mode is off, as outside the tests.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <semaphore.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "host/host.h"
#include "host/toolbox.h"
#include "loopback_sockets.h"
#include "platform/posix/window_surface.h"
#include "toolbox/host_services.h"
#include "toolbox/toolbox_testing.h"

namespace {

constexpr uint32_t kSocketMessage = 14566;
constexpr int32_t kAcceptEvent = 8;

// Listening sockets on 127.0.0.1 registered for notifications to the frame window, as the
// package's passive opens register theirs; nobody connects to them.
class WatchedListeners {
 public:
  explicit WatchedListeners(int count) {
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
    for (int i = 0; i < count; ++i) {
      uint16_t port = 0;
      const int fd = bench::LoopbackListener(&port);
      if (fd < 0) break;
      SurfaceAsyncSelect(fd, TBHost_FrameWindow(), kSocketMessage, kAcceptEvent);
      fds_.push_back(fd);
    }
  }
  ~WatchedListeners() {
    for (int fd : fds_) {
      SurfaceAsyncSelect(fd, TBHost_FrameWindow(), 0, 0);
      close(fd);
    }
  }
  int count() const { return int(fds_.size()); }

 private:
  std::vector<int> fds_;
};

int32_t IgnoreMessages(void*, HostMessage*) {
  return 1;
}

void NoOp() {}
void (*volatile noOpYield)() = &NoOp;

// Peer: the cheapest yield there could be, one indirect call.
void BM_CallThroughPointer(benchmark::State& state) {
  for (auto _ : state) noOpYield();
}
BENCHMARK(BM_CallThroughPointer);

// The toolbox's yield without a host scheduler: the message pump and the block mover.
void BM_YieldPumpOnly(benchmark::State& state) {
  TBTest_SetMovingMode(0);
  SetMessageFilter(&IgnoreMessages);
  WatchedListeners listeners(int(state.range(0)));
  for (auto _ : state) YieldToHost();
  state.counters["listening"] = listeners.count();
  SetMessageFilter(nullptr);
}
BENCHMARK(BM_YieldPumpOnly)->ArgName("listening")->Arg(0)->Arg(1023);

// The toolbox's yield with the stand-in host's scheduler and no other process to run.
void BM_YieldWithHostAlone(benchmark::State& state) {
  TBTest_SetMovingMode(0);
  SetMessageFilter(&IgnoreMessages);
  WatchedListeners listeners(int(state.range(0)));
  standin::Host host;
  for (auto _ : state) YieldToHost();
  state.counters["listening"] = listeners.count();
  SetMessageFilter(nullptr);
}
BENCHMARK(BM_YieldWithHostAlone)->ArgName("listening")->Arg(0)->Arg(1023);

// Two processes yielding in turn: each iteration is one switch there and one back.
void BM_ProcessSwitch(benchmark::State& state) {
  TBTest_SetMovingMode(0);
  standin::Host host;
  bool done = false;
  host.StartProcess("partner", [&] {
    while (!done) YieldToHost();
  });
  for (auto _ : state) YieldToHost();
  done = true;
  host.RunProcesses();
  state.counters["ns_per_switch"] = benchmark::Counter(
      double(state.iterations()) * 2, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ProcessSwitch)->UseRealTime();

// Peer: two threads handing a turn back and forth, one semaphore each.
void BM_ThreadSemaphoreSwitch(benchmark::State& state) {
  sem_t mine, theirs;
  sem_init(&mine, 0, 0);
  sem_init(&theirs, 0, 0);
  std::atomic<bool> done{false};
  std::thread partner([&] {
    for (;;) {
      sem_wait(&theirs);
      if (done) return;
      sem_post(&mine);
    }
  });
  for (auto _ : state) {
    sem_post(&theirs);
    sem_wait(&mine);
  }
  done = true;
  sem_post(&theirs);
  partner.join();
  sem_destroy(&mine);
  sem_destroy(&theirs);
  state.counters["ns_per_switch"] = benchmark::Counter(
      double(state.iterations()) * 2, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ThreadSemaphoreSwitch)->UseRealTime();

// A process delayed 30 ticks while nothing else runs: the host sleeps until the deadline.
void BM_DelayLateness(benchmark::State& state) {
  standin::Host host;
  double late = 0;
  int64_t delays = 0;
  for (auto _ : state) {
    host.StartProcess("sleeper", [&] {
      const auto start = std::chrono::steady_clock::now();
      host.DelayProcess(30);
      late += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() - 0.5;
      ++delays;
    });
    host.RunProcesses();
  }
  state.counters["late_ms"] = 1000 * late / double(delays);
}
BENCHMARK(BM_DelayLateness)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();

// Peer: the thread sleeping half a second.
void BM_SleepLateness(benchmark::State& state) {
  double late = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    late += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() - 0.5;
  }
  state.counters["late_ms"] = 1000 * late / double(state.iterations());
}
BENCHMARK(BM_SleepLateness)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
