// BufferedSend against a model of its rules, over a loopback pair, for every combination of
// pending length, text length and buffering flag around the thresholds (4096, 32000, 32767):
// the answer, the pending output left, and the exact bytes the peer receives, in order.
// Pending lengths above 4096 cannot outlive a StreamSendText, so the grid sets them in the
// record directly. The far end is drained during yields, as another process would read it,
// and a watchdog ends the run, naming the combination, should a call never return.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include "net/streams.h"
#include "net/transfer.h"
#include "toolbox/host_services.h"

namespace nimbus {
namespace {

using platform::Calls;

constexpr uint32_t kLoopback = 0x7F000001;

// The rules, step by step. A negative flag sends at once, as flag 0 does (buffering it
// only behind pending output would drop a text sent with nothing pending).
struct Outcome {
  int32_t answer;
  std::string pendingAfter;
  std::string wire;  // what the peer receives, in order
};

Outcome Model(const std::string& pending, const std::string& text, int32_t flag) {
  Outcome out{0, pending, ""};
  std::string unbuffered = text;
  if (text.empty() || flag < 0) flag = 0;
  if (!text.empty() && (flag > 0 || !pending.empty())) {
    if (out.pendingAfter.size() + text.size() > 32000) {  // flush first, once
      out.wire += out.pendingAfter;
      out.pendingAfter.clear();
    }
    out.pendingAfter += text;
    unbuffered.clear();
  }
  const int32_t held = int32_t(out.pendingAfter.size());
  if (flag != 0 && ((flag > 255 && held >= flag) || held > 4096)) flag = 0;
  if (flag != 0) {
    out.answer = held;
    return out;
  }
  out.wire += out.pendingAfter + unbuffered;
  out.pendingAfter.clear();
  return out;
}

StreamRecord* gPeer = nullptr;  // the accepted end
std::string gReceived;
int gYields = 0;

void DrainPeer() {
  char buffer[8192];
  for (;;) {
    const int32_t n = Calls().recv(gPeer->socket, buffer, sizeof buffer, 0);
    if (n <= 0) return;
    gReceived.append(buffer, size_t(n));
  }
}

// The socket buffers hold a whole combination's bytes, so the peer needs draining only now
// and then while a call runs (each socket call costs much more under Wine).
constexpr int kYieldsPerDrain = 8;
constexpr int32_t kRoomyBuffer = 256 * 1024;

void DrainNowAndThen() {
  if (++gYields % kYieldsPerDrain == 0) DrainPeer();
}

// Bytes whose value follows their place, so that a byte out of order shows.
std::string Pattern(size_t size, int seed) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = char((i * 7 + size_t(seed) * 101 + i / 251) % 256);
  return bytes;
}

// Ends the test program, naming the combination under way, when the grid is not done in
// time: a send that never returns must fail the run, not stall it.
class Watchdog {
 public:
  explicit Watchdog(std::chrono::seconds limit)
      : thread_([this, limit] {
          std::unique_lock lock(mutex_);
          if (!done_.wait_for(lock, limit, [this] { return finished_; })) {
            std::fprintf(stderr, "BufferedSend did not return: %s\n", current_.c_str());
            std::_Exit(3);
          }
        }) {}
  ~Watchdog() {
    {
      std::lock_guard lock(mutex_);
      finished_ = true;
    }
    done_.notify_all();
    thread_.join();
  }
  void Note(std::string what) {
    std::lock_guard lock(mutex_);
    current_ = std::move(what);
  }

 private:
  std::mutex mutex_;
  std::condition_variable done_;
  bool finished_ = false;
  std::string current_ = "before the first combination";
  std::thread thread_;
};

class BufferedSendModelTest : public testing::Test {
 protected:
  void SetUp() override {
    Calls().startup(0x0101);
    listener = OpenPassive(0, 0, kLoopback);
    ASSERT_NE(listener, nullptr);
    StreamEndpoints ends{};
    GetStreamAddresses(&listener, &ends);
    stream = OpenActive("127.0.0.1", ends.localPort, 0, 0, 0);
    ASSERT_NE(stream, nullptr);
    for (int i = 0; i < 100000 && PollStream(stream, 0) == StateConnecting; ++i) {
    }
    ASSERT_EQ(PollStream(stream, 0), StateEstablished);
    ASSERT_EQ(PollStream(listener, 0), StateEstablished);
    Calls().setsockopt(stream->socket, platform::kSolSocket, platform::kSoSndBuf, &kRoomyBuffer,
                       sizeof kRoomyBuffer);
    Calls().setsockopt(listener->socket, platform::kSolSocket, platform::kSoRcvBuf, &kRoomyBuffer,
                       sizeof kRoomyBuffer);
    gPeer = listener;
    TBHost_SetYieldHandler(DrainNowAndThen);
  }
  void TearDown() override {
    TBHost_SetYieldHandler(nullptr);
    ReleaseStream(&stream);
    ReleaseStream(&listener);
    Calls().cleanup();
  }

  // Puts exactly these bytes in the stream's pending output.
  void SetPending(const std::string& bytes) {
    FourDText& pending = stream->pendingOutput;
    if (pending.handle == nullptr) pending.handle = NewHandle(0);
    SetHandleSize(pending.handle, int32_t(bytes.size()));
    ASSERT_EQ(GetHandleSize(pending.handle), int32_t(bytes.size()));
    if (!bytes.empty()) BlockMove(bytes.data(), *pending.handle, int32_t(bytes.size()));
    pending.length = int16_t(bytes.size());
  }
  std::string Pending() const {
    const FourDText& pending = stream->pendingOutput;
    if (pending.handle == nullptr || pending.length <= 0) return "";
    return std::string(*pending.handle, size_t(pending.length));
  }
  // What the peer has received once `expected` bytes came or a second passed, and then
  // whatever else is already there.
  std::string Received(size_t expected) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    DrainPeer();
    while (gReceived.size() < expected && std::chrono::steady_clock::now() < deadline) {
      DrainPeer();
    }
    DrainPeer();
    std::string got;
    got.swap(gReceived);
    return got;
  }

  StreamRecord* listener = nullptr;
  StreamRecord* stream = nullptr;
};

TEST_F(BufferedSendModelTest, EveryPendingTextAndFlagCombinationFollowsTheRules) {
  const size_t pendingLengths[] = {0, 1, 4095, 4096, 4097, 31999, 32000};
  const size_t textLengths[] = {0, 1, 1024, 4096, 4097, 31999, 32000, 32001, 32767};
  const int16_t flags[] = {-1, 0, 1, 255, 256, 1000, 4096, 32767};
  Watchdog watchdog(std::chrono::seconds(180));
  int seed = 0;
  for (const size_t pendingLength : pendingLengths) {
    for (const size_t textLength : textLengths) {
      for (const int16_t flag : flags) {
        const std::string pending = Pattern(pendingLength, ++seed);
        const std::string text = Pattern(textLength, ++seed);
        const Outcome expected = Model(pending, text, flag);
        SetPending(pending);
        FourDText record{int16_t(textLength), NewHandle(int32_t(textLength))};
        if (textLength > 0) BlockMove(text.data(), *record.handle, int32_t(textLength));

        watchdog.Note("pending " + std::to_string(pendingLength) + ", text " +
                      std::to_string(textLength) + ", flag " + std::to_string(flag));
        const int16_t answer = BufferedSend(&stream, &record, flag);
        const std::string wire = Received(expected.wire.size());
        const std::string left = Pending();
        DisposeHandle(record.handle);

        SCOPED_TRACE(testing::Message() << "pending " << pendingLength << ", text " << textLength
                                        << ", flag " << flag);
        EXPECT_EQ(answer, expected.answer);
        EXPECT_EQ(left.size(), expected.pendingAfter.size());
        EXPECT_TRUE(left == expected.pendingAfter) << "pending bytes differ";
        EXPECT_EQ(wire.size(), expected.wire.size());
        EXPECT_TRUE(wire == expected.wire) << "the peer's bytes differ";
        if (HasFailure()) return;  // one combination's report is enough to read
        SetPending("");
      }
    }
  }
}

}  // namespace
}  // namespace nimbus
