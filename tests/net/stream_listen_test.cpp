// The server side: passive opens sharing one listening socket, connections handed out by
// the accept pass (driven by the host's message pump during a yield) and by polling, and
// the listen queue kept consistent when waiting streams are closed or released.
#include <chrono>
#include <thread>

#include "net/net_support.h"
#include "toolbox/host_services.h"

namespace nettest {
namespace {

class StreamListenTest : public NetTest {
 protected:
  // Lets the host pump its messages once without polling any listening stream: a wait on
  // a datagram endpoint polls nothing and answers after one yield. The notification is
  // posted by another thread (as Winsock posts it), so it is waited for first.
  void YieldOnce() {
    TBHost_WaitMessages(5000);
    const int32_t endpoint = DatagramOpen();
    EXPECT_EQ(Wait(endpoint, 8, 1), -1);
    EXPECT_EQ(Longint("DatagramClose", {Value::Longint(endpoint)}), 0);
  }
  void ExpectPeerHearsFrom(int32_t ref, PeerSocket& peer, const std::string& text) {
    EXPECT_EQ(Send(ref, text), 0);
    EXPECT_EQ(peer.Read(text.size()), text);
  }
};

TEST_F(StreamListenTest, AcceptPassServesQueuedStreamsInTurnAndClosesWithTheLast) {
  const uint16_t port = UnusedPort();
  ASSERT_EQ(Listen(port), 1);
  ASSERT_EQ(Listen(port), 2);
  ASSERT_EQ(Listen(port), 3);
  PeerSocket first = ConnectTo(port);
  PeerSocket second = ConnectTo(port);
  ASSERT_TRUE(first.valid() && second.valid());

  YieldOnce();               // one notification, one pass: both connections, in queue order
  EXPECT_EQ(Counter(3), 2);  // ConnectionsAccepted
  EXPECT_EQ(State(1), 8);
  EXPECT_EQ(State(2), 8);
  EXPECT_EQ(State(3), 2);
  ExpectPeerHearsFrom(1, first, "to the first");
  ExpectPeerHearsFrom(2, second, "to the second");

  PeerSocket third = ConnectTo(port);
  ASSERT_TRUE(third.valid());
  EXPECT_EQ(Wait(3, 8, 5), 8);
  ExpectPeerHearsFrom(3, third, "to the third");
  // The last waiting stream has its connection: nothing listens on the port any more.
  EXPECT_FALSE(ConnectTo(port).valid());
}

TEST_F(StreamListenTest, PolledStreamTakesTheConnectionWhateverItsPlace) {
  const uint16_t port = UnusedPort();
  ASSERT_EQ(Listen(port), 1);
  ASSERT_EQ(Listen(port), 2);
  PeerSocket peer = ConnectTo(port);
  ASSERT_TRUE(peer.valid());
  EXPECT_EQ(State(2), 8);
  EXPECT_EQ(State(1), 2);
  ExpectPeerHearsFrom(2, peer, "polled");
  // Releasing the last waiting stream closes the listening socket.
  EXPECT_EQ(Release(1), 0);
  EXPECT_FALSE(ConnectTo(port).valid());
}

TEST_F(StreamListenTest, ClosingOrReleasingAWaitingStreamKeepsTheQueueWorking) {
  const uint16_t port = UnusedPort();
  ASSERT_EQ(Listen(port), 1);
  ASSERT_EQ(Listen(port), 2);
  ASSERT_EQ(Listen(port), 3);
  ASSERT_EQ(Listen(port), 4);
  EXPECT_EQ(Close(2), 0);  // in the middle
  EXPECT_EQ(State(2), 14);
  EXPECT_EQ(Release(1), 0);  // the first
  EXPECT_EQ(Release(4), 0);  // the last
  EXPECT_EQ(Close(2), -1);   // closed before: the shared socket is not touched again

  PeerSocket peer = ConnectTo(port);  // still listening for stream 3
  ASSERT_TRUE(peer.valid());
  YieldOnce();
  EXPECT_EQ(State(3), 8);
  ExpectPeerHearsFrom(3, peer, "only one left");
  EXPECT_FALSE(ConnectTo(port).valid());
  // A new passive open on the port starts a fresh listening socket.
  ASSERT_EQ(Listen(port), 1);
  EXPECT_TRUE(ConnectTo(port).valid());
  EXPECT_EQ(State(1), 8);
}

TEST_F(StreamListenTest, PortZeroListensWhereTheSystemChoosesAndAddressesShowIt) {
  const int32_t ref = Listen(0);
  ASSERT_EQ(ref, 1);
  const standin::CallResult call =
      host.Call("StreamAddresses", {Value::Longint(ref), Value::Longint(7), Value::Integer(7),
                                    Value::Integer(0), Value::Longint(0), Value::Longint(7)});
  EXPECT_EQ(call.params[1].longint, 0);  // no remote end yet
  EXPECT_EQ(call.params[2].longint, 0);
  EXPECT_EQ(call.params[4].longint, -1);
  const uint16_t port = uint16_t(call.params[3].longint);
  ASSERT_NE(port, 0);
  PeerSocket peer = ConnectTo(port);
  ASSERT_TRUE(peer.valid());
  EXPECT_EQ(Wait(ref, 8, 5), 8);
}

TEST_F(StreamListenTest, ListensOnPortZeroEachGetAPortOfTheirOwn) {
  auto localPort = [&](int32_t ref) { return uint16_t(Addresses(ref).params[3].longint); };
  const int32_t first = Listen(0), second = Listen(0);
  ASSERT_NE(first, 0);
  ASSERT_NE(second, 0);
  const uint16_t firstPort = localPort(first), secondPort = localPort(second);
  EXPECT_NE(firstPort, 0);
  EXPECT_NE(secondPort, firstPort);
  PeerSocket toSecond = ConnectTo(secondPort);
  ASSERT_TRUE(toSecond.valid());
  EXPECT_EQ(Wait(second, 8, 5), 8);
  EXPECT_EQ(State(first), 2) << "a connection meant for the second went to the first";
  ExpectPeerHearsFrom(second, toSecond, "second");

  // A later listen on the port the system chose for the first joins its socket, behind it.
  const int32_t third = Listen(firstPort);
  ASSERT_NE(third, 0);
  EXPECT_EQ(localPort(third), firstPort);
  PeerSocket a = ConnectTo(firstPort);
  ASSERT_TRUE(a.valid());
  YieldOnce();  // the accept pass serves the queue in order
  EXPECT_EQ(State(first), 8);
  EXPECT_EQ(State(third), 2);
  PeerSocket b = ConnectTo(firstPort);
  ASSERT_TRUE(b.valid());
  EXPECT_EQ(Wait(third, 8, 5), 8);
  ExpectPeerHearsFrom(first, a, "first");
  ExpectPeerHearsFrom(third, b, "third");
}

// Another program's server on the port: the bind is refused on every system, and the other
// server keeps its port (a passive open asking for SO_REUSEADDR would share it on Windows).
TEST_F(StreamListenTest, ListenOnAPortAnotherSocketListensOnAnswersZero) {
  PeerListener other;
  EXPECT_EQ(Listen(other.port(), 0, kLoopback), 0);
  EXPECT_EQ(OpenCount(), 0);
  EXPECT_EQ(Counter(5), 1);  // ReleasesClosing: the refused stream is released
  PeerSocket client = ConnectTo(other.port());
  ASSERT_TRUE(client.valid());
  EXPECT_TRUE(other.Accept().valid());
}

// A server as examples/serve.4dm runs it: a stream listens, takes a connection (the listening
// socket closes with it) and the next stream listens on the same port, while the earlier
// connections are still open, and again once the server has closed them (TIME_WAIT).
TEST_F(StreamListenTest, ListeningAgainWorksWhileEarlierConnectionsAreOpenOrInTimeWait) {
  const uint16_t port = UnusedPort();
  ASSERT_EQ(Listen(port), 1);
  PeerSocket a = ConnectTo(port);
  ASSERT_TRUE(a.valid());
  ASSERT_EQ(Wait(1, 8, 5), 8);
  ASSERT_EQ(Listen(port), 2);  // the first connection is open
  PeerSocket b = ConnectTo(port);
  ASSERT_TRUE(b.valid());
  ASSERT_EQ(Wait(2, 8, 5), 8);
  ExpectPeerHearsFrom(1, a, "first");
  ExpectPeerHearsFrom(2, b, "second");

  // The server closes first, so its ends are the ones left in TIME_WAIT.
  std::string rest;
  EXPECT_EQ(Close(1), 0);
  EXPECT_TRUE(a.ReadToEnd(&rest));
  a.Close();
  EXPECT_EQ(Close(2), 0);
  EXPECT_TRUE(b.ReadToEnd(&rest));
  b.Close();
  int lingering = TimeWaitCount(port);
  for (int i = 0; i < 200 && lingering >= 0 && lingering < 2; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    lingering = TimeWaitCount(port);
  }
  if (lingering >= 0) {
    ASSERT_GE(lingering, 2);  // both served connections linger on the port
  }
  ASSERT_EQ(Listen(port), 3);
  PeerSocket c = ConnectTo(port);
  ASSERT_TRUE(c.valid());
  ASSERT_EQ(Wait(3, 8, 5), 8);
  ExpectPeerHearsFrom(3, c, "third");
}

TEST_F(StreamListenTest, UnloadClosesListeningSockets) {
  const uint16_t port = UnusedPort();
  ASSERT_EQ(Listen(port), 1);
  ASSERT_EQ(Listen(port), 2);
  const int before = OpenDescriptors();
  host.Unload();
  EXPECT_FALSE(ConnectTo(port).valid());
  if (before >= 0) {
    EXPECT_EQ(OpenDescriptors(), before - 1);  // the one shared socket
  }
}

}  // namespace
}  // namespace nettest
