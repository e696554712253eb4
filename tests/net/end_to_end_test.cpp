// One request, end to end: a 4D method fetches a document from a server on 127.0.0.1,
// sending Mac Roman text with CR line ends as ISO-8859-1 with CR LF (mode 5) and reading the
// reply back the other way (mode 10).
#include <chrono>
#include <thread>

#include "net/net_support.h"

namespace nettest {
namespace {

using EndToEndTest = NetTest;

TEST_F(EndToEndTest, FetchDocumentWithConversionModes5And10) {
  // "é" is 0x8E in Mac Roman and 0xE9 in ISO-8859-1; "à" is 0x88 and 0xE0.
  const std::string request = "GET /caf\x8E HTTP/1.0\rHost: localhost\r\r";
  const std::string requestOnWire = "GET /caf\xE9 HTTP/1.0\r\nHost: localhost\r\n\r\n";
  const std::string reply = "HTTP/1.0 200 OK\r\n\r\nd\xE9j\xE0 vu\r\n";
  const std::string replyForMac = "HTTP/1.0 200 OK\r\rd\x8Ej\x88 vu\r";

  PeerListener listener;
  std::string received;
  std::thread server([&] {
    PeerSocket connection = listener.Accept();
    received = connection.Read(requestOnWire.size());
    connection.SendAll(reply);
  });

  const int32_t ref =
      Longint("StreamOpen", {Value::String("localhost"), Value::Integer(int16_t(listener.port())),
                             Value::Longint(0), Value::Longint(0), Value::Longint(0),
                             Value::Integer(0), Value::Longint(0)});
  ASSERT_EQ(ref, 1);
  ASSERT_EQ(Wait(ref, 8, 30), 8);
  EXPECT_EQ(Send(ref, request, 0, 5), 0);

  std::string document, chunk;
  int32_t answer = -1;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (answer != 0 && std::chrono::steady_clock::now() < deadline) {
    answer = Receive(ref, &chunk, 0, 10);
    if (answer > 0) document += chunk;
    if (answer < 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  server.join();
  EXPECT_EQ(answer, 0);
  EXPECT_EQ(received, requestOnWire);
  EXPECT_EQ(document, replyForMac);
  EXPECT_EQ(State(ref), 14);
  EXPECT_EQ(Counter(1), 1);
  EXPECT_EQ(Counter(2), 1);
  EXPECT_EQ(Counter(6), int32_t(reply.size()));
  EXPECT_EQ(Counter(7), int32_t(requestOnWire.size()));

  EXPECT_EQ(Close(ref), 0);
  EXPECT_EQ(Release(ref), 0);
  EXPECT_EQ(OpenCount(), 0);
}

}  // namespace
}  // namespace nettest
