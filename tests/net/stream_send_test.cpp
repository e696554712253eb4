// StreamSendText: direct sends, the buffering thresholds of the pending output, and
// conversions that cannot be done.
#include <thread>

#include "net/net_support.h"

namespace nettest {
namespace {

class StreamSendTest : public NetTest {
 protected:
  void SetUp() override {
    NetTest::SetUp();
    ref = Connected(listener, &peer);
  }
  // Nothing reached the peer (yet).
  bool PeerGotNothing() { return peer.Read(1, 50).empty(); }

  PeerListener listener;
  PeerSocket peer;
  int32_t ref = 0;
};

TEST_F(StreamSendTest, FlagZeroSendsAtOnce) {
  EXPECT_EQ(Send(ref, "now"), 0);
  EXPECT_EQ(peer.Read(3), "now");
  EXPECT_EQ(Counter(7), 3);
}

TEST_F(StreamSendTest, SmallFlagsBufferUntilMoreThan4096BytesArePending) {
  const std::string a(2000, 'a'), b(2000, 'b'), c(2000, 'c');
  EXPECT_EQ(Send(ref, a, 1), 2000);
  EXPECT_EQ(Send(ref, b, 1), 4000);
  EXPECT_TRUE(PeerGotNothing());
  EXPECT_EQ(Send(ref, c, 1), 0);
  EXPECT_EQ(peer.Read(6000), a + b + c);
}

TEST_F(StreamSendTest, LargeFlagIsAByteThreshold) {
  const std::string first(600, '1'), second(600, '2');
  EXPECT_EQ(Send(ref, first, 1000), 600);
  EXPECT_TRUE(PeerGotNothing());
  EXPECT_EQ(Send(ref, second, 1000), 0);
  EXPECT_EQ(peer.Read(1200), first + second);
}

TEST_F(StreamSendTest, PendingLeavesFirstWhenATextWouldPass32000) {
  const std::string pending(3000, 'p'), big = Repeat("0123456789", 3000);
  std::string received;
  std::thread reader([&] { received = peer.Read(33000); });
  EXPECT_EQ(Send(ref, pending, 1), 3000);
  EXPECT_EQ(Send(ref, big, 1), 0);
  reader.join();
  EXPECT_EQ(received, pending + big);
}

TEST_F(StreamSendTest, EmptyTextFlushesWhatIsPending) {
  EXPECT_EQ(Send(ref, "", 1), 0);  // nothing pending: nothing to do
  EXPECT_EQ(Send(ref, "kept", 1), 4);
  EXPECT_EQ(Send(ref, "", 1), 0);
  EXPECT_EQ(peer.Read(4), "kept");
}

TEST_F(StreamSendTest, NegativeFlagSendsRatherThanDropsTheText) {
  EXPECT_EQ(Send(ref, "first", -1), 0);
  EXPECT_EQ(Send(ref, "held", 1), 4);
  EXPECT_EQ(Send(ref, "second", -5), 0);
  EXPECT_EQ(peer.Read(15), "firstheldsecond");
}

TEST_F(StreamSendTest, ConversionPast32767SendsNothingAndKeepsTheText) {
  const std::string lines(20000, '\r');  // CR to CR LF would make 40000 bytes
  const standin::CallResult call =
      host.Call("StreamSendText",
                {Value::Longint(ref), Value::Text(lines), Value::Integer(0), Value::Longint(4)});
  EXPECT_EQ(call.result.longint, -1);
  EXPECT_EQ(call.params[1].bytes, lines);
  EXPECT_TRUE(PeerGotNothing());
}

TEST_F(StreamSendTest, ConversionChangesTheCallersText) {
  const standin::CallResult call =
      host.Call("StreamSendText",
                {Value::Longint(ref), Value::Text("a\rb\r"), Value::Integer(0), Value::Longint(4)});
  EXPECT_EQ(call.result.longint, 0);
  EXPECT_EQ(call.params[1].bytes, "a\r\nb\r\n");
  EXPECT_EQ(peer.Read(6), "a\r\nb\r\n");
}

}  // namespace
}  // namespace nettest
