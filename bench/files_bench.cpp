// File and picture transfer through FourDPack (the package loaded by the stand-in host)
// against plain loops doing the same work, timed alternately in one run and reported as a
// ratio (package / plain):
//   send file      StreamSendFile of a 4 MiB file (16384-byte chunks) vs read + send
//   receive file   StreamReceiveFile of 4 MiB from a peer that then closes vs recv + write
//   send picture   StreamSendPicture of a 1 MiB GIF block vs send from memory
//   blob to file / file to blob   4 MiB blocks vs write / read of the same bytes
// Peers are threads on 127.0.0.1 that drain or feed their connection.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "host/host.h"
#include "host/toolbox.h"
#include "loopback_sockets.h"
#include "package/fourd_abi.h"

namespace {

using Clock = std::chrono::steady_clock;
using standin::Value;

constexpr size_t kFileSize = 4 << 20;
constexpr size_t kPictureSize = 1 << 20;
constexpr int32_t kChunk = 16384;
constexpr int32_t kLargestSend = 1024;  // what the package hands to one send call
constexpr int kBuffer = 32767;
constexpr int32_t kSelectorBlobToFile = 57;
constexpr int32_t kSelectorFileToBlob = 58;

std::string Bytes(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = char((i * 131) >> 3);
  return bytes;
}

std::string ScratchPath(const std::string& name) {
  return (std::filesystem::temp_directory_path() /
          ("nimbus-files-bench-" + std::to_string(getpid()) + "-" + name))
      .string();
}

void WriteWhole(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(bytes.data(), std::streamsize(bytes.size()));
}

int Listener(uint16_t* port) {
  return bench::LoopbackListener(port);
}
int RawConnect(uint16_t port) {
  return bench::LoopbackConnect(port);
}

// Reads n bytes from fd (or until it closes).
void Drain(int fd, size_t n) {
  char buffer[65536];
  for (size_t got = 0; got < n;) {
    const ssize_t r = recv(fd, buffer, sizeof buffer, 0);
    if (r <= 0) return;
    got += size_t(r);
  }
}

void SendAll(int fd, const char* data, size_t n, size_t most) {
  for (size_t sent = 0; sent < n;) {
    const ssize_t s = send(fd, data + sent, std::min(most, n - sent), MSG_NOSIGNAL);
    if (s <= 0) return;
    sent += size_t(s);
  }
}

// The package, a listener for its streams and the plain side's sockets.
struct Bench {
  Bench() {
    host.Load(NIMBUS_PACKAGE_PATH);
    listener = Listener(&port);
  }
  ~Bench() {
    close(listener);
    host.Unload();
  }
  // An established stream to a peer: the reference, and the peer's descriptor in *peer.
  int32_t Connect(int* peer) {
    const int32_t ref =
        host.Call("StreamOpen", {Value::String("127.0.0.1"), Value::Integer(int16_t(port)),
                                 Value::Longint(kBuffer), Value::Longint(0), Value::Longint(0),
                                 Value::Integer(0), Value::Longint(0)})
            .result.longint;
    *peer = accept(listener, nullptr, nullptr);
    host.Call("StreamWaitState", {Value::Longint(ref), Value::Longint(8), Value::Longint(5)});
    return ref;
  }
  // A plain connection: the near end, and the peer's descriptor in *peer.
  int ConnectRaw(int* peer) {
    const int fd = RawConnect(port);
    *peer = accept(listener, nullptr, nullptr);
    return fd;
  }

  standin::Host host;
  int listener = -1;
  uint16_t port = 0;
};

struct Tally {
  int64_t bytes = 0;
  Clock::duration time{};
  double MegabytesPerSecond() const {
    return double(bytes) / std::chrono::duration<double>(time).count() / 1e6;
  }
};

void Report(benchmark::State& state, const Tally& package, const Tally& plain) {
  state.counters["package_MB/s"] = package.MegabytesPerSecond();
  state.counters["plain_MB/s"] = plain.MegabytesPerSecond();
  state.counters["package/plain"] = package.MegabytesPerSecond() / plain.MegabytesPerSecond();
  state.SetBytesProcessed(package.bytes + plain.bytes);
}

void BM_SendFileAgainstReadAndSend(benchmark::State& state) {
  Bench b;
  const std::string path = ScratchPath("send");
  WriteWhole(path, Bytes(kFileSize));
  int packagePeer = -1, rawPeer = -1;
  const int32_t ref = b.Connect(&packagePeer);
  const int raw = b.ConnectRaw(&rawPeer);
  Tally package, plain;
  for (auto _ : state) {
    std::thread drain([&] { Drain(packagePeer, kFileSize); });
    const auto start = Clock::now();
    const int32_t status = b.host
                               .Call("StreamSendFile", {Value::Longint(ref), Value::Text(path),
                                                        Value::Longint(0), Value::Longint(kChunk)})
                               .result.longint;
    drain.join();
    const auto middle = Clock::now();
    std::thread rawDrain([&] { Drain(rawPeer, kFileSize); });
    const int file = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    char chunk[kChunk];
    for (ssize_t n; (n = read(file, chunk, sizeof chunk)) > 0;) {
      SendAll(raw, chunk, size_t(n), kLargestSend);
    }
    close(file);
    rawDrain.join();
    plain.time += Clock::now() - middle;
    package.time += middle - start;
    if (status != 0) state.SkipWithError("StreamSendFile failed");
    package.bytes += kFileSize;
    plain.bytes += kFileSize;
  }
  Report(state, package, plain);
  b.host.Call("StreamRelease", {Value::Longint(ref), Value::Longint(0)});
  close(packagePeer);
  close(raw);
  close(rawPeer);
  std::remove(path.c_str());
}
BENCHMARK(BM_SendFileAgainstReadAndSend)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReceiveFileAgainstReceiveAndWrite(benchmark::State& state) {
  Bench b;
  const std::string bytes = Bytes(kFileSize);
  const std::string path = ScratchPath("receive");
  Tally package, plain;
  for (auto _ : state) {
    // A new stream each time: the receive ends when the peer closes, and releases it.
    int packagePeer = -1;
    const int32_t ref = b.Connect(&packagePeer);
    std::thread feed([&] {
      SendAll(packagePeer, bytes.data(), bytes.size(), bytes.size());
      close(packagePeer);
    });
    const auto start = Clock::now();
    const int32_t status =
        b.host
            .Call("StreamReceiveFile", {Value::Longint(ref), Value::Text(path), Value::Longint(0),
                                        Value::Longint(0), Value::Longint(0)})
            .result.longint;
    const auto middle = Clock::now();
    feed.join();

    int rawPeer = -1;
    const int raw = b.ConnectRaw(&rawPeer);
    std::thread rawFeed([&] {
      SendAll(rawPeer, bytes.data(), bytes.size(), bytes.size());
      close(rawPeer);
    });
    const auto rawStart = Clock::now();
    const int file = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    char piece[kChunk];
    for (ssize_t n; (n = recv(raw, piece, sizeof piece, 0)) > 0;) {
      if (write(file, piece, size_t(n)) != n) break;
    }
    close(file);
    close(raw);
    plain.time += Clock::now() - rawStart;
    rawFeed.join();
    package.time += middle - start;
    if (status != 0) state.SkipWithError("StreamReceiveFile failed");
    package.bytes += kFileSize;
    plain.bytes += kFileSize;
  }
  Report(state, package, plain);
  std::remove(path.c_str());
}
BENCHMARK(BM_ReceiveFileAgainstReceiveAndWrite)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SendPictureAgainstSendFromMemory(benchmark::State& state) {
  Bench b;
  const std::string gif = "GIF89a" + Bytes(kPictureSize - 6);
  int packagePeer = -1, rawPeer = -1;
  const int32_t ref = b.Connect(&packagePeer);
  const int raw = b.ConnectRaw(&rawPeer);
  Tally package, plain;
  for (auto _ : state) {
    std::thread drain([&] { Drain(packagePeer, kPictureSize); });
    const auto start = Clock::now();
    const int32_t status = b.host
                               .Call("StreamSendPicture", {Value::Longint(ref), Value::Block(gif),
                                                           Value::Longint(0), Value::Longint(0)})
                               .result.longint;
    drain.join();
    const auto middle = Clock::now();
    std::thread rawDrain([&] { Drain(rawPeer, kPictureSize); });
    SendAll(raw, gif.data(), gif.size(), kLargestSend);
    rawDrain.join();
    plain.time += Clock::now() - middle;
    package.time += middle - start;
    if (status != 0) state.SkipWithError("StreamSendPicture failed");
    package.bytes += kPictureSize;
    plain.bytes += kPictureSize;
  }
  Report(state, package, plain);
  b.host.Call("StreamRelease", {Value::Longint(ref), Value::Longint(0)});
  close(packagePeer);
  close(raw);
  close(rawPeer);
}
BENCHMARK(BM_SendPictureAgainstSendFromMemory)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BlocksToFilesAndBackAgainstWriteAndRead(benchmark::State& state) {
  Bench b;
  const std::string bytes = Bytes(kFileSize);
  const std::string path = ScratchPath("blob");
  // The block and the name made once, called raw: no marshalling in the package's time.
  Handle block = NewHandle(Size(bytes.size()));
  BlockMove(bytes.data(), *block, Size(bytes.size()));
  FourDText name{int16_t(path.size()), NewHandle(Size(path.size()))};
  BlockMove(path.data(), *name.handle, Size(path.size()));
  void* toFile[] = {&block, &name};
  void* toBlob[] = {&name};
  Tally package, plain;
  for (auto _ : state) {
    const auto start = Clock::now();
    FourDResult stored{}, loaded{};
    b.host.CallRaw(kSelectorBlobToFile, toFile, &stored);
    b.host.CallRaw(kSelectorFileToBlob, toBlob, &loaded);
    const auto middle = Clock::now();
    int file = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    const bool written = write(file, bytes.data(), bytes.size()) == ssize_t(bytes.size());
    close(file);
    std::string back(bytes.size(), '\0');
    file = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const bool readBack = read(file, back.data(), back.size()) == ssize_t(back.size());
    close(file);
    plain.time += Clock::now() - middle;
    package.time += middle - start;
    const bool roundTrip = stored.longint == 0 && loaded.block != nullptr &&
                           GetHandleSize(loaded.block) == Size(bytes.size());
    if (loaded.block != nullptr) DisposeHandle(loaded.block);
    if (!roundTrip || !written || !readBack) {
      state.SkipWithError("a block did not make the round trip");
    }
    package.bytes += 2 * kFileSize;
    plain.bytes += 2 * kFileSize;
  }
  Report(state, package, plain);
  DisposeHandle(block);
  DisposeHandle(name.handle);
  std::remove(path.c_str());
}
BENCHMARK(BM_BlocksToFilesAndBackAgainstWriteAndRead)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
