#include "net/net_support.h"

namespace nettest {

int32_t NetTest::Open(uint16_t port, int32_t reuse, int16_t localPort, int32_t buffer) {
  return Longint("StreamOpen", {Value::String("127.0.0.1"), Value::Integer(int16_t(port)),
                                Value::Longint(buffer), Value::Longint(0), Value::Longint(reuse),
                                Value::Integer(localPort), Value::Longint(0)});
}

int32_t NetTest::Listen(uint16_t port, int32_t reuse, uint32_t address) {
  return Longint(
      "StreamListen",
      {Value::Longint(0), Value::Integer(0), Value::Integer(int16_t(port)), Value::Longint(0),
       Value::Longint(0), Value::Longint(reuse), Value::Longint(int32_t(address))});
}

int32_t NetTest::Send(int32_t ref, const std::string& text, int16_t flag, int32_t mode) {
  return Longint("StreamSendText", {Value::Longint(ref), Value::Text(text), Value::Integer(flag),
                                    Value::Longint(mode)});
}

int32_t NetTest::Receive(int32_t ref, std::string* text, int32_t largest, int32_t mode) {
  const standin::CallResult call = host.Call(
      "StreamReceiveText",
      {Value::Longint(ref), Value::Text("old"), Value::Longint(largest), Value::Longint(mode)});
  *text = call.params[1].bytes;
  return call.result.longint;
}

standin::CallResult NetTest::Addresses(int32_t ref) {
  return host.Call("StreamAddresses", {Value::Longint(ref), Value::Longint(7), Value::Integer(7),
                                       Value::Integer(7), Value::Longint(7), Value::Longint(7)});
}

int32_t NetTest::Connected(PeerListener& listener, PeerSocket* peer, int32_t buffer) {
  const int32_t ref = Open(listener.port(), 0, 0, buffer);
  *peer = listener.Accept();
  EXPECT_TRUE(peer->valid());
  EXPECT_EQ(Wait(ref, 8, 5), 8);
  return ref;
}

}  // namespace nettest
