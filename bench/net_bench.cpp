// Stream throughput over loopback: StreamSendText and StreamReceiveText through FourDPack
// (the package loaded by the stand-in host) against a raw socket loop doing the same work,
// timed alternately in one run and reported as a ratio (package / raw).
//
// Both sides use 32767-byte socket buffers and a peer thread that drains or feeds the
// connection; sends are 32000-byte texts that go out in sends of 1024 bytes.
//
// Each figure is measured twice: with the host's yield as it is (the full figure: the send
// loop yields after every send, and the stand-in toolbox's yield pumps window messages), and
// with the yield replaced by a no-op (the package alone: its loops, checks and system calls).
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

#include "host/host.h"
#include "loopback_sockets.h"
#include "package/fourd_abi.h"

namespace {

std::atomic<bool> gYieldIsNoOp{false};
std::atomic<int64_t> gYields{0};

}  // namespace

// The yield the package calls. The package looks YieldToHost up by name when it loads,
// taking the process's first definition; this program defines and exports the same name
// (ENABLE_EXPORTS), so the package's calls come to the program's definition first. It counts every call (so a figure
// whose yields did not land here is refused), and then returns at once when gYieldIsNoOp is
// set, or goes on to the toolbox's own yield.
extern "C" TOOLBOX_API void YieldToHost(void) {
  gYields.fetch_add(1, std::memory_order_relaxed);
  if (gYieldIsNoOp.load(std::memory_order_relaxed)) return;
  using Yield = void (*)();
  static const Yield toolbox = reinterpret_cast<Yield>(dlsym(RTLD_NEXT, "YieldToHost"));
  if (toolbox != nullptr) toolbox();
}

namespace {

// Sets the yield for one benchmark run: state.range(0) != 0 makes it a no-op.
class YieldMode {
 public:
  explicit YieldMode(const benchmark::State& state) { gYieldIsNoOp = state.range(0) != 0; }
  ~YieldMode() { gYieldIsNoOp = false; }
};

using Clock = std::chrono::steady_clock;
using standin::Value;

constexpr int32_t kTextSize = 32000;
constexpr int32_t kChunk = 1024;
constexpr int kBuffer = 32767;
constexpr int32_t kSelectorSendText = 7;
constexpr int32_t kSelectorReceiveText = 8;

int Listener(uint16_t* port) {
  return bench::LoopbackListener(port);
}
int RawConnect(uint16_t port) {
  return bench::LoopbackConnect(port);
}

// The far end of a connection: reads everything, or writes without pause, until stopped.
class Peer {
 public:
  Peer(int fd, bool writes) : fd_(fd), thread_([this, writes] { writes ? Feed() : Drain(); }) {}
  ~Peer() {
    stop_ = true;
    shutdown(fd_, SHUT_RDWR);
    thread_.join();
    close(fd_);
  }

 private:
  void Drain() {
    char buffer[65536];
    while (!stop_ && recv(fd_, buffer, sizeof buffer, 0) > 0) {
    }
  }
  void Feed() {
    char buffer[kTextSize];
    std::memset(buffer, 'r', sizeof buffer);
    while (!stop_ && send(fd_, buffer, sizeof buffer, MSG_NOSIGNAL) > 0) {
    }
  }
  int fd_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// The package with one established stream to a peer, and a raw socket to another peer.
struct Connections {
  explicit Connections(bool peersWrite) {
    host.Load(NIMBUS_PACKAGE_PATH);
    uint16_t port = 0;
    const int listener = Listener(&port);
    ref = host.Call("StreamOpen", {Value::String("127.0.0.1"), Value::Integer(int16_t(port)),
                                   Value::Longint(kBuffer), Value::Longint(0), Value::Longint(0),
                                   Value::Integer(0), Value::Longint(0)})
              .result.longint;
    packagePeer = std::make_unique<Peer>(accept(listener, nullptr, nullptr), peersWrite);
    host.Call("StreamWaitState", {Value::Longint(ref), Value::Longint(8), Value::Longint(5)});
    raw = RawConnect(port);
    rawPeer = std::make_unique<Peer>(accept(listener, nullptr, nullptr), peersWrite);
    spin = RawConnect(port);
    fcntl(spin, F_SETFL, O_NONBLOCK);
    spinPeer = std::make_unique<Peer>(accept(listener, nullptr, nullptr), peersWrite);
    close(listener);
  }
  ~Connections() {
    host.Call("StreamRelease", {Value::Longint(ref), Value::Longint(0)});
    close(raw);
    close(spin);
    packagePeer.reset();
    rawPeer.reset();
    spinPeer.reset();
    host.Unload();
  }

  standin::Host host;
  int32_t ref = 0;
  int raw = -1;   // blocking, as a plain program's socket
  int spin = -1;  // non-blocking, retried at once when full, as the package's send loop does
  std::unique_ptr<Peer> packagePeer, rawPeer, spinPeer;
};

// Bytes moved and time taken by each side.
struct Tally {
  int64_t bytes = 0;
  Clock::duration time{};
  double MegabytesPerSecond() const {
    return double(bytes) / std::chrono::duration<double>(time).count() / 1e6;
  }
};

void ReportRatio(benchmark::State& state, const Tally& package, const Tally& raw) {
  state.counters["package_MB/s"] = package.MegabytesPerSecond();
  state.counters["raw_MB/s"] = raw.MegabytesPerSecond();
  state.counters["package/raw"] = package.MegabytesPerSecond() / raw.MegabytesPerSecond();
  state.SetBytesProcessed(package.bytes + raw.bytes);
}

void BM_SendTextAgainstRawSends(benchmark::State& state) {
  const YieldMode yield(state);
  Connections c(false);
  const int64_t yieldsBefore = gYields;
  FourDText text{int16_t(kTextSize), NewHandle(kTextSize)};
  std::memset(*text.handle, 's', kTextSize);
  int32_t ref = c.ref;
  int16_t flag = 0;
  int32_t mode = 0;
  void* params[] = {&ref, &text, &flag, &mode};
  Tally package, raw, spin;
  for (auto _ : state) {
    const auto start = Clock::now();
    FourDResult result{};
    c.host.CallRaw(kSelectorSendText, params, &result);
    const auto middle = Clock::now();
    for (int32_t sent = 0; sent < kTextSize;) {
      const ssize_t n = send(c.raw, *text.handle + sent, std::min(kChunk, kTextSize - sent), 0);
      if (n > 0) sent += int32_t(n);
    }
    const auto end = Clock::now();
    for (int32_t sent = 0; sent < kTextSize;) {
      const ssize_t n = send(c.spin, *text.handle + sent, std::min(kChunk, kTextSize - sent), 0);
      if (n > 0) sent += int32_t(n);
    }
    spin.time += Clock::now() - end;
    raw.time += end - middle;
    package.time += middle - start;
    if (result.longint != 0) state.SkipWithError("StreamSendText failed");
    package.bytes += kTextSize;
    raw.bytes += kTextSize;
    spin.bytes += kTextSize;
  }
  // The send loop yields after each of its sends: if none reached YieldToHost above, the
  // no-op figure would not be what it says.
  const int64_t attempts = gYields - yieldsBefore;
  if (attempts < state.iterations() * (kTextSize / kChunk))
    state.SkipWithError("the package's yields did not reach the benchmark's YieldToHost");
  ReportRatio(state, package, raw);
  // Send attempts per text: 32 when no send found the socket buffer full; each attempt
  // beyond is a send that answered WSAEWOULDBLOCK and was retried after the yield.
  state.counters["attempts/text"] = double(attempts) / double(state.iterations());
  // Against a raw loop that, like the package, retries a full non-blocking socket at once
  // instead of sleeping in a blocking send.
  state.counters["nonblocking_MB/s"] = spin.MegabytesPerSecond();
  state.counters["package/nonblocking"] = package.MegabytesPerSecond() / spin.MegabytesPerSecond();
  DisposeHandle(text.handle);
}
BENCHMARK(BM_SendTextAgainstRawSends)
    ->ArgName("noop_yield")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

void BM_ReceiveTextAgainstRawReceives(benchmark::State& state) {
  const YieldMode yield(state);
  Connections c(true);
  fcntl(c.raw, F_SETFL, O_NONBLOCK);  // like the package's receive: take what is there
  FourDText text{0, nullptr};
  int32_t ref = c.ref;
  int32_t largest = 0;
  int32_t mode = 0;
  void* params[] = {&ref, &text, &largest, &mode};
  char buffer[kTextSize];
  Tally package, raw, sized;
  for (auto _ : state) {
    // At least a text's worth of bytes each way per iteration.
    const auto start = Clock::now();
    const int64_t packageBefore = package.bytes;
    while (package.bytes - packageBefore < kTextSize) {
      FourDResult result{};
      c.host.CallRaw(kSelectorReceiveText, params, &result);
      if (result.longint > 0) package.bytes += result.longint;
    }
    const auto middle = Clock::now();
    const int64_t rawBefore = raw.bytes;
    while (raw.bytes - rawBefore < kTextSize) {
      const ssize_t n = recv(c.raw, buffer, sizeof buffer, 0);
      if (n > 0) raw.bytes += n;
    }
    const auto end = Clock::now();
    // As the package sizes each receive: first ask how many bytes wait (FIONREAD), then
    // take that many, at most a text's worth.
    const int64_t sizedBefore = sized.bytes;
    while (sized.bytes - sizedBefore < kTextSize) {
      int waiting = 0;
      ioctl(c.spin, FIONREAD, &waiting);
      const int size = waiting <= 0 || waiting > kTextSize ? kTextSize : waiting;
      const ssize_t n = recv(c.spin, buffer, size_t(size), 0);
      if (n > 0) sized.bytes += n;
    }
    sized.time += Clock::now() - end;
    raw.time += end - middle;
    package.time += middle - start;
  }
  ReportRatio(state, package, raw);
  state.counters["sized_MB/s"] = sized.MegabytesPerSecond();
  state.counters["package/sized"] = package.MegabytesPerSecond() / sized.MegabytesPerSecond();
  if (text.handle != nullptr) DisposeHandle(text.handle);
}
BENCHMARK(BM_ReceiveTextAgainstRawReceives)
    ->ArgName("noop_yield")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
