// Opens, states, counters, addresses, close and release of TCP streams, through FourDPack.
#include <thread>

#include "net/net_support.h"

namespace nettest {
namespace {

using StreamLifecycleTest = NetTest;

TEST_F(StreamLifecycleTest, ActiveOpenConnectsCountsAndReportsBothEnds) {
  PeerListener listener;
  const int32_t ref = Open(listener.port());
  ASSERT_EQ(ref, 1);
  EXPECT_EQ(Counter(1), 1);  // OpensStarted
  PeerSocket peer = listener.Accept();
  ASSERT_EQ(Wait(ref, 0, 5), 8);
  EXPECT_EQ(State(ref), 8);
  EXPECT_EQ(Counter(2), 1);  // ConnectsCompleted, once however often it is polled

  const standin::CallResult call = Addresses(ref);
  EXPECT_EQ(call.params[1].longint, int32_t(kLoopback));
  // Ports travel as 16-bit integers: ports above 32767 read negative.
  EXPECT_EQ(call.params[2].longint, int16_t(listener.port()));
  EXPECT_NE(call.params[3].longint, 0);
  EXPECT_EQ(call.params[4].longint, -1);
  EXPECT_EQ(call.params[5].longint, int32_t(kLoopback));
  EXPECT_EQ(call.result.longint, int32_t(kLoopback));
}

TEST_F(StreamLifecycleTest, OpenThatFailsAtOnceAnswersZeroAndReleasesItsSocket) {
  PeerListener listener;
  const int before = OpenDescriptors();
  // Binding to a port something listens on fails before any connect.
  EXPECT_EQ(Open(UnusedPort(), 0, int16_t(listener.port())), 0);
  EXPECT_EQ(Counter(1), 1);  // OpensStarted
  EXPECT_EQ(Counter(5), 1);  // ReleasesClosing
  EXPECT_EQ(OpenCount(), 0);
  if (before >= 0) {
    EXPECT_EQ(OpenDescriptors(), before);
  }
}

// 0.0.0.0 is no peer: Winsock refuses the connect (WSAEADDRNOTAVAIL) where Linux and Wine
// would reach this host, and every build answers as Windows does.
TEST_F(StreamLifecycleTest, OpenToTheUnspecifiedAddressFailsAtOnceAsOnWindows) {
  PeerListener listener;
  EXPECT_EQ(
      Longint("StreamOpen", {Value::String("0.0.0.0"), Value::Integer(int16_t(listener.port())),
                             Value::Longint(0), Value::Longint(0), Value::Longint(0),
                             Value::Integer(0), Value::Longint(0)}),
      0);
  EXPECT_EQ(Counter(1), 1);  // OpensStarted
  EXPECT_EQ(Counter(5), 1);  // ReleasesClosing
  EXPECT_EQ(OpenCount(), 0);
  // The first connection the listener sees is the next open's: nothing reached it before.
  const int32_t ref = Open(listener.port());
  PeerSocket peer = listener.Accept();
  ASSERT_TRUE(peer.valid());
  ASSERT_EQ(Wait(ref, 8, 5), 8);
  EXPECT_EQ(Send(ref, "ours"), 0);
  EXPECT_EQ(peer.Read(4), "ours");
}

TEST_F(StreamLifecycleTest, RefusedConnectShowsAsBrokenAtThePoll) {
  const int32_t ref = Open(UnusedPort());
  ASSERT_NE(ref, 0);
  EXPECT_EQ(Wait(ref, 8, 5), 20);
  EXPECT_EQ(Counter(2), 0);
  EXPECT_EQ(Close(ref), 0);
  EXPECT_EQ(State(ref), 20);  // states never go down
  // Its release counts as one that closes (the state is not 14), without closing again.
  const int32_t releasesClosing = Counter(5);
  EXPECT_EQ(Release(ref), 0);
  EXPECT_EQ(Counter(5), releasesClosing + 1);
  EXPECT_EQ(OpenCount(), 0);
}

TEST_F(StreamLifecycleTest, CloseSendsPendingOutputAndClosesOnce) {
  PeerListener listener;
  PeerSocket peer;
  const int32_t ref = Connected(listener, &peer);
  EXPECT_EQ(Send(ref, "pending", 1), 7);  // buffered
  EXPECT_EQ(Close(ref), 0);
  std::string received;
  EXPECT_TRUE(peer.ReadToEnd(&received));
  EXPECT_EQ(received, "pending");
  EXPECT_EQ(State(ref), 14);
  EXPECT_EQ(Counter(4), 1);   // ClosesRequested
  EXPECT_EQ(OpenCount(), 1);  // the reference stays valid

  EXPECT_EQ(Close(ref), -1);  // no socket left to close
  EXPECT_EQ(Release(ref), 0);
  EXPECT_EQ(Counter(5), 0);  // a closed stream is not closed again by its release
  EXPECT_EQ(OpenCount(), 0);
  EXPECT_EQ(State(ref), -1);
  EXPECT_EQ(Release(ref), kUntouched);
  EXPECT_EQ(Close(1024), -1);
}

TEST_F(StreamLifecycleTest, ReuseReferenceTakesTheSlotAndReleasesItsStream) {
  PeerListener listener;
  ASSERT_EQ(Open(listener.port()), 1);
  ASSERT_EQ(Open(listener.port()), 2);
  PeerSocket first = listener.Accept();
  EXPECT_EQ(Open(listener.port(), 1), 1);
  std::string rest;
  EXPECT_TRUE(first.ReadToEnd(&rest));  // the stream that held slot 1 is gone
  EXPECT_EQ(Counter(5), 1);
  EXPECT_EQ(OpenCount(), 2);

  // A failed open empties the slot it was to reuse.
  EXPECT_EQ(Open(UnusedPort(), 2, int16_t(listener.port())), 0);
  EXPECT_EQ(OpenCount(), 1);
  EXPECT_EQ(State(2), -1);
  EXPECT_EQ(Open(listener.port()), 2);  // the lowest free reference again
}

TEST_F(StreamLifecycleTest, QueriesAnswerSixteenBitCounts) {
  PeerListener listener;
  PeerSocket peer;
  const int32_t ref = Connected(listener, &peer);
  std::string drained;
  std::thread drain([&] { drained = peer.Read(40000); });
  EXPECT_EQ(Send(ref, std::string(20000, 'a')), 0);
  EXPECT_EQ(Send(ref, std::string(20000, 'b')), 0);
  drain.join();
  EXPECT_EQ(drained.size(), 40000u);
  EXPECT_EQ(Query(ref, 17), -25536);  // 40000 bytes sent, as a 16-bit value
  EXPECT_EQ(Counter(7), 40000);       // BytesSent is a longint
  EXPECT_EQ(Query(ref, 5), -1);
  peer.SendAll("hello");
  std::string text;
  EXPECT_EQ(Receive(ref, &text), 5);
  EXPECT_EQ(Query(ref, 14), 5);
}

}  // namespace
}  // namespace nettest
