// UDP datagrams both ways through the entry point, with a peer socket on 127.0.0.1.
#include <chrono>
#include <thread>

#include "net/net_support.h"

namespace nettest {
namespace {

class DatagramTest : public NetTest {
 protected:
  void SetUp() override {
    NetTest::SetUp();
    peerPort = peer.port();
    port = UnusedPort();
    ASSERT_EQ(DatagramOpen(port, int32_t(kLoopback)), 1);
  }
  void PeerSends(const std::string& bytes) { ASSERT_TRUE(peer.SendTo(port, bytes)); }
  std::string PeerReceives() { return peer.Receive(); }  // one datagram
  int32_t Send(const std::string& bytes, int32_t toPort, int32_t ref = 1) {
    return Longint("DatagramSend",
                   {Value::Longint(ref), Value::Text(bytes), Value::Longint(int32_t(kLoopback)),
                    Value::Longint(toPort), Value::Longint(0)});
  }
  standin::CallResult Receive(const std::string& textBefore, int32_t ref = 1) {
    return host.Call("DatagramReceive",
                     {Value::Longint(ref), Value::Text(textBefore), Value::Longint(0),
                      Value::Longint(0), Value::Longint(0), Value::Longint(0)});
  }

  PeerDatagram peer;
  uint16_t peerPort = 0, port = 0;
};

TEST_F(DatagramTest, DatagramsBothWaysZeroLengthIncluded) {
  PeerSends("hello");
  standin::CallResult got = Receive("");
  EXPECT_EQ(got.result.longint, 0);
  EXPECT_EQ(got.params[1].bytes, "hello");
  EXPECT_EQ(got.params[2].longint, int32_t(kLoopback));  // the sender
  EXPECT_EQ(got.params[3].longint, peerPort);
  PeerSends("");
  got = Receive("old");
  EXPECT_EQ(got.result.longint, 0);
  EXPECT_EQ(got.params[1].bytes, "");

  EXPECT_EQ(Send("reply", peerPort), 0);
  EXPECT_EQ(PeerReceives(), "reply");
  EXPECT_EQ(Send("", peerPort), 0);
  EXPECT_EQ(PeerReceives(), "");
  EXPECT_EQ(Send("wrapped", 65536 + peerPort), 0);  // the port's low 16 bits
  EXPECT_EQ(PeerReceives(), "wrapped");
}

TEST_F(DatagramTest, NothingWaitingOrOversizedLeavesTheTextAlone) {
  standin::CallResult got = Receive("keep");
  EXPECT_EQ(got.result.longint, -1);
  EXPECT_EQ(got.params[1].bytes, "keep");

  PeerSends(std::string(3000, 'x'));  // longer than 2048 bytes
  PeerSends(std::string(2048, 'y'));  // the largest that fits
  got = Receive("keep");
  EXPECT_EQ(got.result.longint, -1);
  EXPECT_EQ(got.params[1].bytes, "keep");
  EXPECT_EQ(got.params[2].longint, 0);  // no sender reported for a failed receive
  got = Receive("keep");
  EXPECT_EQ(got.result.longint, 0);
  EXPECT_EQ(got.params[1].bytes, std::string(2048, 'y'));
}

TEST_F(DatagramTest, OnATcpStreamItTakesTheStreamsBytesAsRecvfromDoes) {
  PeerListener listener;
  PeerSocket tcpPeer;
  const int32_t stream = Connected(listener, &tcpPeer);
  std::string bytes;
  for (int i = 0; i < 3000; ++i) bytes += char('A' + i % 53);
  tcpPeer.SendAll(bytes);
  for (int i = 0; i < 500 && Longint("StreamBytesAvailable", {Value::Longint(stream)}) < 3000;
       ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  const standin::CallResult got = Receive("old", stream);
  EXPECT_EQ(got.result.longint, 0);
  EXPECT_TRUE(got.params[1].bytes == bytes.substr(0, 2048)) << "the stream's first bytes";
  EXPECT_EQ(got.params[2].longint, 0);  // no sender for a stream's bytes
  EXPECT_EQ(got.params[3].longint, 0);
  std::string rest;
  EXPECT_EQ(NetTest::Receive(stream, &rest), 3000 - 2048);
  EXPECT_TRUE(rest == bytes.substr(2048)) << "nothing lost, in order";
}

// 0.0.0.0 is no peer: Winsock refuses the send (WSAEADDRNOTAVAIL) where Linux and Wine would
// deliver it to this host, and every build answers as Windows does.
TEST_F(DatagramTest, SendToTheUnspecifiedAddressFailsAsOnWindows) {
  EXPECT_EQ(Longint("DatagramSend", {Value::Longint(1), Value::Text("astray"), Value::Longint(0),
                                     Value::Longint(peerPort), Value::Longint(0)}),
            -1);
  EXPECT_EQ(Send("next", peerPort), 0);
  EXPECT_EQ(PeerReceives(), "next");  // the first datagram the peer sees
}

TEST_F(DatagramTest, BindConflictAnswersZeroAndReferencesBehave) {
  EXPECT_EQ(DatagramOpen(port), 0);  // the port is the endpoint's already
  EXPECT_EQ(OpenCount(), 1);
  EXPECT_EQ(State(1), -1);  // no state machine
  EXPECT_EQ(Longint("DatagramClose", {Value::Longint(1)}), 0);
  EXPECT_EQ(OpenCount(), 0);
  for (int32_t bad : {0, 1, 1024}) {
    EXPECT_EQ(Longint("DatagramClose", {Value::Longint(bad)}), -1);
    EXPECT_EQ(Send("x", peerPort, bad), -1);
    EXPECT_EQ(Receive("", bad).result.longint, -1);
  }
}

TEST_F(DatagramTest, ClosingAWaitingStreamAsADatagramKeepsItsQueueAndCountsNothing) {
  const uint16_t tcpPort = UnusedPort();
  ASSERT_EQ(Listen(tcpPort), 2);
  ASSERT_EQ(Listen(tcpPort), 3);
  int32_t before[14] = {};
  for (int32_t counter = 1; counter <= 13; ++counter) before[counter] = Counter(counter);
  EXPECT_EQ(Longint("DatagramClose", {Value::Longint(2)}), 0);
  EXPECT_EQ(OpenCount(), 2);  // the endpoint and stream 3
  // DatagramClose counts nothing, whatever kind of record it is handed.
  for (int32_t counter = 1; counter <= 13; ++counter) {
    EXPECT_EQ(Counter(counter), before[counter]) << "counter " << counter;
  }
  PeerSocket client = ConnectTo(tcpPort);
  ASSERT_TRUE(client.valid());
  EXPECT_EQ(State(3), 8);
}

}  // namespace
}  // namespace nettest
