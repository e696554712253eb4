// StreamWaitState: targets, time-outs, and a wait that ends because another process
// released the stream.
#include <chrono>

#include "net/net_support.h"

namespace nettest {
namespace {

using StreamWaitTest = NetTest;
using Clock = std::chrono::steady_clock;

TEST_F(StreamWaitTest, TimeOutAnswersTheStateReachedSoFar) {
  // A listener whose accept queue is full drops further connection attempts: they stay
  // under way.
  PeerListener listener(0);
  PeerSocket filler = ConnectTo(listener.port());
  const int32_t ref = Open(listener.port());
  ASSERT_NE(ref, 0);
  const auto start = Clock::now();
  EXPECT_EQ(Wait(ref, 0, 1), 6);
  const standin::CallResult ends = Addresses(ref);
  EXPECT_EQ(ends.params[1].longint, 0);  // no remote end while connecting
  EXPECT_EQ(ends.params[2].longint, 0);
  const auto waited = Clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(900));
  EXPECT_LT(waited, std::chrono::seconds(10));
}

TEST_F(StreamWaitTest, StateAlreadyPastTheTargetAnswersAtOnce) {
  PeerListener listener;
  PeerSocket peer;
  const int32_t ref = Connected(listener, &peer);
  ASSERT_EQ(Close(ref), 0);
  EXPECT_EQ(Wait(ref, 8, 0), 14);
  EXPECT_EQ(Wait(ref, 14, 0), 14);
}

TEST_F(StreamWaitTest, DatagramEndpointAnswersMinusOne) {
  EXPECT_EQ(Wait(DatagramOpen(), 8, 0), -1);
}

TEST_F(StreamWaitTest, WaitWithoutTimeOutEndsWhenAnotherProcessReleasesTheStream) {
  PeerListener listener;
  PeerSocket peer;
  const int32_t ref = Connected(listener, &peer);
  int32_t waited = 0;
  int32_t released = 0;
  host.StartProcess("waiter", [&] { waited = Wait(ref, -1, 0); });
  host.StartProcess("releaser", [&] { released = Release(ref); });
  host.RunProcesses();
  EXPECT_EQ(released, 0);
  EXPECT_EQ(waited, -1);
  EXPECT_EQ(OpenCount(), 0);
}

}  // namespace
}  // namespace nettest
