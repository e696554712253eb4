// Stream throughput over loopback: StreamSendText and StreamReceiveText through FourDPack
// (the package loaded by the stand-in host) against a raw socket loop doing the same work,
// timed alternately in one run and reported as a ratio (package / raw).
//
// Both sides use 32767-byte socket buffers and a peer thread that drains or feeds the
// connection; sends are 32000-byte texts that go out in sends of 1024 bytes.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <netinet/in.h>
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
    close(listener);
  }
  ~Connections() {
    host.Call("StreamRelease", {Value::Longint(ref), Value::Longint(0)});
    close(raw);
    packagePeer.reset();
    rawPeer.reset();
    host.Unload();
  }

  standin::Host host;
  int32_t ref = 0;
  int raw = -1;
  std::unique_ptr<Peer> packagePeer, rawPeer;
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
  Connections c(false);
  FourDText text{int16_t(kTextSize), NewHandle(kTextSize)};
  std::memset(*text.handle, 's', kTextSize);
  int32_t ref = c.ref;
  int16_t flag = 0;
  int32_t mode = 0;
  void* params[] = {&ref, &text, &flag, &mode};
  Tally package, raw;
  for (auto _ : state) {
    const auto start = Clock::now();
    FourDResult result{};
    c.host.CallRaw(kSelectorSendText, params, &result);
    const auto middle = Clock::now();
    for (int32_t sent = 0; sent < kTextSize;) {
      const ssize_t n = send(c.raw, *text.handle + sent, std::min(kChunk, kTextSize - sent), 0);
      if (n > 0) sent += int32_t(n);
    }
    raw.time += Clock::now() - middle;
    package.time += middle - start;
    if (result.longint != 0) state.SkipWithError("StreamSendText failed");
    package.bytes += kTextSize;
    raw.bytes += kTextSize;
  }
  ReportRatio(state, package, raw);
  DisposeHandle(text.handle);
}
BENCHMARK(BM_SendTextAgainstRawSends)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_ReceiveTextAgainstRawReceives(benchmark::State& state) {
  Connections c(true);
  fcntl(c.raw, F_SETFL, O_NONBLOCK);  // like the package's receive: take what is there
  FourDText text{0, nullptr};
  int32_t ref = c.ref;
  int32_t largest = 0;
  int32_t mode = 0;
  void* params[] = {&ref, &text, &largest, &mode};
  char buffer[kTextSize];
  Tally package, raw;
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
    raw.time += Clock::now() - middle;
    package.time += middle - start;
  }
  ReportRatio(state, package, raw);
  if (text.handle != nullptr) DisposeHandle(text.handle);
}
BENCHMARK(BM_ReceiveTextAgainstRawReceives)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
