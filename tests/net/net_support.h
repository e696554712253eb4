// What the network tests share: the package loaded through the stand-in host with short
// calls for the stream routines; the peers on 127.0.0.1 are in peer_sockets.h.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/host.h"
#include "net/peer_sockets.h"

namespace nettest {

using standin::Value;

constexpr int32_t kUntouched = 0x5A5A5A5A;

// The package loaded through the stand-in host, unloaded after each test.
class NetTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(host.Load(NIMBUS_PACKAGE_PATH)) << host.lastError(); }
  void TearDown() override { host.Unload(); }

  int32_t Longint(const std::string& routine, const std::vector<Value>& params) {
    return host.Call(routine, params, kUntouched).result.longint;
  }
  int32_t Open(uint16_t port, int32_t reuse = 0, int16_t localPort = 0, int32_t buffer = 0);
  int32_t Listen(uint16_t port, int32_t reuse = 0, uint32_t address = 0);
  int32_t Query(int32_t ref, int32_t type) {
    return Longint("StreamState", {Value::Longint(ref), Value::Longint(type)});
  }
  int32_t State(int32_t ref) { return Query(ref, 0); }
  int32_t Counter(int32_t number) { return Query(-5 - number, 0); }
  int32_t Wait(int32_t ref, int32_t target, int32_t seconds) {
    return Longint("StreamWaitState",
                   {Value::Longint(ref), Value::Longint(target), Value::Longint(seconds)});
  }
  int32_t Send(int32_t ref, const std::string& text, int16_t flag = 0, int32_t mode = 0);
  // StreamReceiveText: the answer, and the Text's bytes in *text.
  int32_t Receive(int32_t ref, std::string* text, int32_t largest = 0, int32_t mode = 0);
  int32_t Close(int32_t ref) { return Longint("StreamClose", {Value::Longint(ref)}); }
  int32_t Release(int32_t ref) {
    return Longint("StreamRelease", {Value::Longint(ref), Value::Longint(0)});
  }
  int32_t OpenCount() { return Longint("StreamList", {Value::Longint(0)}); }
  int32_t DatagramOpen(int32_t localPort = 0, int32_t localAddress = 0) {
    return Longint("DatagramOpen",
                   {Value::Longint(localPort), Value::Longint(localAddress), Value::Longint(0)});
  }
  // StreamAddresses: its out-parameters after the call (remote address at index 1).
  standin::CallResult Addresses(int32_t ref);
  // An established stream to a peer: the package's reference and the peer's socket.
  int32_t Connected(PeerListener& listener, PeerSocket* peer, int32_t buffer = 0);

  standin::Host host;
};

}  // namespace nettest
