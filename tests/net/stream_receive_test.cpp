// StreamReceiveText and StreamBytesAvailable: partial receives, a peer that closes, resets
// or sends out-of-band data, and receives capped for their conversion.
#include <thread>

#include "net/net_support.h"

namespace nettest {
namespace {

class StreamReceiveTest : public NetTest {
 protected:
  void SetUp() override {
    NetTest::SetUp();
    ref = Connected(listener, &peer);
  }
  int32_t Available() { return Longint("StreamBytesAvailable", {Value::Longint(ref)}); }
  // Waits until the package's socket holds n bytes (loopback delivers almost at once).
  void AwaitAvailable(int32_t n) {
    for (int i = 0; i < 500 && Available() < n; ++i) std::this_thread::yield();
    ASSERT_GE(Available(), n);
  }

  PeerListener listener;
  PeerSocket peer;
  int32_t ref = 0;
};

TEST_F(StreamReceiveTest, NothingArrivedAnswersMinusOneWithAnEmptyText) {
  std::string text = "stale";
  EXPECT_EQ(Receive(ref, &text), -1);
  EXPECT_EQ(text, "");
  EXPECT_EQ(State(ref), 8);
}

TEST_F(StreamReceiveTest, LargestCountLeavesTheRestWaiting) {
  const std::string data = Repeat("0123456789", 10);
  peer.SendAll(data);
  AwaitAvailable(100);
  std::string text;
  EXPECT_EQ(Receive(ref, &text, 10), 10);
  EXPECT_EQ(text, data.substr(0, 10));
  EXPECT_EQ(Available(), 90);
  EXPECT_EQ(Receive(ref, &text, 50000), 90);  // low 16 bits negative: no limit
  EXPECT_EQ(text, data.substr(10));
  EXPECT_EQ(Counter(6), 100);  // BytesReceived
  EXPECT_EQ(Query(ref, 14), 90);
}

TEST_F(StreamReceiveTest, PeerThatClosesEndsTheStream) {
  peer.SendAll("bye");
  peer.Close();
  std::string text;
  EXPECT_EQ(Receive(ref, &text), 3);
  EXPECT_EQ(text, "bye");
  EXPECT_EQ(Receive(ref, &text), 0);
  EXPECT_EQ(text, "");
  EXPECT_EQ(State(ref), 14);
  EXPECT_EQ(Release(ref), 0);
  EXPECT_EQ(Counter(5), 0);  // ended by the peer: the release closes nothing more
}

TEST_F(StreamReceiveTest, PeerThatResetsClosesTheStream) {
  peer.Reset();
  std::string text;
  int32_t answer = -1;
  for (int i = 0; i < 100 && State(ref) == 8; ++i) answer = Receive(ref, &text);
  EXPECT_EQ(answer, -1);
  EXPECT_EQ(State(ref), 14);
}

TEST_F(StreamReceiveTest, OutOfBandDataBreaksTheStream) {
  peer.SendUrgent('!');
  int32_t state = 8;
  for (int i = 0; i < 500 && state == 8; ++i) state = State(ref);
  EXPECT_EQ(state, 20);
}

TEST_F(StreamReceiveTest, ConvertedReceiveIsCappedToWhatFitsAfterConversion) {
  // A stream with the largest socket buffers, so that all 20000 bytes wait at once.
  const int32_t big =
      Longint("StreamOpen", {Value::String("127.0.0.1"), Value::Integer(int16_t(listener.port())),
                             Value::Longint(32767), Value::Longint(0), Value::Longint(0),
                             Value::Integer(0), Value::Longint(0)});
  PeerSocket bigPeer = listener.Accept();
  ASSERT_EQ(Wait(big, 8, 5), 8);
  ref = big;
  bigPeer.SendAll(std::string(20000, '\r'));
  AwaitAvailable(20000);
  std::string text;
  EXPECT_EQ(Receive(big, &text, 0, 4), 16383);  // 32767 / 2 for CR to CR LF
  EXPECT_TRUE(text == Repeat("\r\n", 16383));
  EXPECT_EQ(Receive(big, &text, 0, 4), 20000 - 16383);
  EXPECT_EQ(text.size(), 2u * (20000 - 16383));
}

}  // namespace
}  // namespace nettest
