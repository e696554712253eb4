// What the network tests share: the package loaded through the stand-in host with short
// calls for the stream routines, and peers written with plain POSIX sockets on 127.0.0.1.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/host.h"

namespace nettest {

using standin::Value;

constexpr uint32_t kLoopback = 0x7F000001;  // 127.0.0.1, host byte order
constexpr int32_t kUntouched = 0x5A5A5A5A;

// A connected or listening socket of the test's own, closed when it goes.
class PeerSocket {
 public:
  explicit PeerSocket(int fd = -1) : fd_(fd) {}
  PeerSocket(PeerSocket&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  PeerSocket& operator=(PeerSocket&& other) noexcept;
  ~PeerSocket() { Close(); }

  int fd() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  void Close();
  // Closes with an RST instead of a FIN.
  void Reset();

  void SendAll(const std::string& bytes);
  void SendUrgent(char byte);
  // Reads exactly n bytes, or what came before the peer closed or timeoutMs passed.
  std::string Read(size_t n, int timeoutMs = 5000);
  // Reads until the package closes its side (or timeoutMs pass); true when it closed.
  bool ReadToEnd(std::string* bytes, int timeoutMs = 5000);

 private:
  int fd_;
};

// A listening socket on 127.0.0.1 with a port the system chose.
class PeerListener {
 public:
  explicit PeerListener(int backlog = 16);
  uint16_t port() const { return port_; }
  // The next incoming connection; invalid when none comes within timeoutMs.
  PeerSocket Accept(int timeoutMs = 5000);

 private:
  PeerSocket socket_;
  uint16_t port_ = 0;
};

// A blocking connect to 127.0.0.1:port.
PeerSocket ConnectTo(uint16_t port);
// A port nothing listens on at the moment of the call.
uint16_t UnusedPort();
// The descriptors this process has open.
int OpenDescriptors();
std::string Repeat(const std::string& piece, size_t times);

// The package loaded through the stand-in host, unloaded after each test.
class NetTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  int32_t Longint(const std::string& routine, const std::vector<Value>& params) {
    return host.Call(routine, params, kUntouched).result.longint;
  }
  int32_t Open(uint16_t port, int32_t reuse = 0, int16_t localPort = 0);
  int32_t Listen(uint16_t port, int32_t reuse = 0);
  int32_t State(int32_t ref) { return Query(ref, 0); }
  int32_t Query(int32_t ref, int32_t type);
  int32_t Counter(int32_t number) { return Query(-5 - number, 0); }
  int32_t Wait(int32_t ref, int32_t target, int32_t seconds);
  int32_t Send(int32_t ref, const std::string& text, int16_t flag = 0, int32_t mode = 0);
  // StreamReceiveText: the answer, and the Text's bytes in *text.
  int32_t Receive(int32_t ref, std::string* text, int32_t largest = 0, int32_t mode = 0);
  int32_t Close(int32_t ref) { return Longint("StreamClose", {Value::Longint(ref)}); }
  int32_t Release(int32_t ref) {
    return Longint("StreamRelease", {Value::Longint(ref), Value::Longint(0)});
  }
  int32_t OpenCount() { return Longint("StreamList", {Value::Longint(0)}); }
  // The local port StreamAddresses reports, as the unsigned port.
  uint16_t LocalPort(int32_t ref);
  // An established stream to a peer: the package's reference and the peer's socket.
  int32_t Connected(PeerListener& listener, PeerSocket* peer);

  standin::Host host;
};

}  // namespace nettest
