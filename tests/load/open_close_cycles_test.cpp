// 100 000 open-send-close cycles, one after another: descriptors and the package's blocks and
// records stay where they were after the first cycles, every text arrives whole, and the
// statistics count every open, connect, close and byte.
#include <cstdio>
#include <string>
#include <vector>

#include "net/net_support.h"
#include "toolbox/toolbox_testing.h"

namespace nettest {
namespace {

constexpr int32_t kCycles = 100000;
constexpr int32_t kWarmUp = 1000;  // the first cycles may settle caches for good
constexpr int32_t kCheckEvery = 10000;
constexpr size_t kListeners = 4;  // more address pairs for the closed connections
constexpr size_t kTextLength = 64;

std::string TextOf(int32_t cycle) {
  char text[kTextLength + 1];
  std::snprintf(text, sizeof text, "cycle %-56d\r\n", cycle);
  return std::string(text, kTextLength);
}

class OpenCloseCyclesTest : public NetTest {
 protected:
  // One cycle: open, wait for the connection, send; the peer reads the text and closes
  // first, so that the connections left waiting out their close hold the listener's port
  // rather than one of the ephemeral ports every other program needs; then the package sees
  // the end, closes and releases.
  void Cycle(int32_t cycle, PeerListener& listener) {
    const int32_t ref = Open(listener.port());
    ASSERT_EQ(ref, 1) << "cycle " << cycle;
    PeerSocket peer = listener.Accept();
    ASSERT_TRUE(peer.valid()) << "cycle " << cycle;
    ASSERT_EQ(Wait(ref, 8, 5), 8) << "cycle " << cycle;
    ASSERT_EQ(Send(ref, TextOf(cycle)), 0) << "cycle " << cycle;
    ASSERT_EQ(peer.Read(kTextLength), TextOf(cycle));
    peer.Close();
    std::string text;
    int32_t answer = -1;
    for (int attempt = 0; attempt < 1000 && answer == -1; ++attempt) answer = Receive(ref, &text);
    ASSERT_EQ(answer, 0) << "cycle " << cycle;
    ASSERT_EQ(Close(ref), 0) << "cycle " << cycle;
    ASSERT_EQ(Release(ref), 0) << "cycle " << cycle;
  }
};

TEST_F(OpenCloseCyclesTest, NothingGrowsAndEveryCycleIsCounted) {
  std::vector<PeerListener> listeners(kListeners);
  int descriptors = 0;
  int32_t blocks = 0;
  int32_t records = 0;
  for (int32_t cycle = 0; cycle < kCycles; ++cycle) {
    if (cycle == kWarmUp) {
      descriptors = OpenDescriptors();
      blocks = TBTest_LiveHandles();
      records = TBTest_LivePointers();
    }
    ASSERT_NO_FATAL_FAILURE(Cycle(cycle, listeners[size_t(cycle) % kListeners]));
    if (cycle > kWarmUp && cycle % kCheckEvery == 0) {
      ASSERT_EQ(OpenDescriptors(), descriptors) << "after " << cycle << " cycles";
      ASSERT_EQ(TBTest_LiveHandles(), blocks) << "after " << cycle << " cycles";
      ASSERT_EQ(TBTest_LivePointers(), records) << "after " << cycle << " cycles";
    }
  }
  EXPECT_EQ(OpenDescriptors(), descriptors);
  EXPECT_EQ(TBTest_LiveHandles(), blocks);
  EXPECT_EQ(TBTest_LivePointers(), records);
  EXPECT_EQ(OpenCount(), 0);

  EXPECT_EQ(Counter(1), kCycles);  // OpensStarted
  EXPECT_EQ(Counter(2), kCycles);  // ConnectsCompleted
  EXPECT_EQ(Counter(3), 0);        // ConnectionsAccepted: no passive opens here
  EXPECT_EQ(Counter(4), kCycles);  // ClosesRequested
  EXPECT_EQ(Counter(5), 0);        // ReleasesClosing: every stream was closed before
  EXPECT_EQ(Counter(6), 0);        // BytesReceived
  EXPECT_EQ(Counter(7), int32_t(kCycles * kTextLength));  // BytesSent
}

}  // namespace
}  // namespace nettest
