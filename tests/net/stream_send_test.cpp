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
  standin::CallResult SendConverted(const std::string& text, int32_t mode) {
    return host.Call("StreamSendText", {Value::Longint(ref), Value::Text(text), Value::Integer(0),
                                        Value::Longint(mode)});
  }

  PeerListener listener;
  PeerSocket peer;
  int32_t ref = 0;
};

TEST_F(StreamSendTest, SmallFlagsBufferUntilMoreThan4096BytesArePending) {
  const std::string a(2000, 'a'), b(2000, 'b'), c(2000, 'c');
  EXPECT_EQ(Send(ref, a, 1), 2000);
  EXPECT_EQ(Send(ref, b, 1), 4000);
  EXPECT_TRUE(peer.Quiet());
  EXPECT_EQ(Send(ref, c, 1), 0);
  EXPECT_EQ(peer.Read(6000), a + b + c);
  EXPECT_EQ(Send(ref, "now", 0), 0);  // flag 0, nothing pending: straight out
  EXPECT_EQ(peer.Read(3), "now");
  EXPECT_EQ(Counter(7), 6003);
}

TEST_F(StreamSendTest, LargeFlagIsAByteThreshold) {
  const std::string first(600, '1'), second(600, '2');
  EXPECT_EQ(Send(ref, first, 1000), 600);
  EXPECT_TRUE(peer.Quiet());
  EXPECT_EQ(Send(ref, second, 1000), 0);
  EXPECT_EQ(peer.Read(1200), first + second);
}

TEST_F(StreamSendTest, PendingLeavesFirstWhenATextWouldPass32000) {
  const std::string pending(3000, 'p'), big(30000, 'b');
  std::string received;
  std::thread reader([&] { received = peer.Read(33000); });
  EXPECT_EQ(Send(ref, pending, 1), 3000);
  EXPECT_EQ(Send(ref, big, 1), 0);
  reader.join();
  EXPECT_TRUE(received == pending + big);
}

TEST_F(StreamSendTest, TextsNear32767AfterAPendingBlockLeaveWholeAndInOrder) {
  // Once anything was buffered, a text of 32001 to 32767 bytes makes pending plus text pass
  // 32000 even with nothing left pending; the flush before it happens once.
  const std::string header = "HTTP/1.0 200 OK";
  for (const size_t size : {size_t(32100), size_t(32001), size_t(32767)}) {
    const std::string body(size, char('a' + size % 26));
    std::string received;
    std::thread reader([&] { received = peer.Read(header.size() + size); });
    EXPECT_EQ(Send(ref, header, 1), int32_t(header.size()));
    EXPECT_EQ(Send(ref, body, 0), 0) << size;
    reader.join();
    EXPECT_TRUE(received == header + body) << size;
    // With a flag the text is buffered alone, and being past 4096 bytes leaves at once.
    std::thread second([&] { received = peer.Read(size); });
    EXPECT_EQ(Send(ref, body, 1), 0) << size;
    second.join();
    EXPECT_TRUE(received == body) << size;
  }
  EXPECT_TRUE(peer.Quiet());
}

TEST_F(StreamSendTest, EmptyTextFlushesAndNegativeFlagsSend) {
  EXPECT_EQ(Send(ref, "", 1), 0);  // nothing pending: nothing to do
  EXPECT_EQ(Send(ref, "kept", 1), 4);
  EXPECT_EQ(Send(ref, "", 1), 0);
  EXPECT_EQ(peer.Read(4), "kept");
  // A negative flag sends at once, with or without output pending.
  EXPECT_EQ(Send(ref, "first", -1), 0);
  EXPECT_EQ(Send(ref, "held", 1), 4);
  EXPECT_EQ(Send(ref, "second", -5), 0);
  EXPECT_EQ(peer.Read(15), "firstheldsecond");
}

TEST_F(StreamSendTest, ConversionChangesTheCallersTextUnlessItWouldPass32767) {
  standin::CallResult call = SendConverted("a\rb\r", 4);
  EXPECT_EQ(call.result.longint, 0);
  EXPECT_EQ(call.params[1].bytes, "a\r\nb\r\n");
  EXPECT_EQ(peer.Read(6), "a\r\nb\r\n");

  const std::string lines(20000, '\r');  // CR to CR LF would make 40000 bytes
  call = SendConverted(lines, 4);
  EXPECT_EQ(call.result.longint, -1);
  EXPECT_TRUE(call.params[1].bytes == lines);
  EXPECT_TRUE(peer.Quiet());
}

}  // namespace
}  // namespace nettest
