// The tests' own peer sockets on 127.0.0.1, written on each system's own sockets
// (peer_sockets_posix.cpp, peer_sockets_win32.cpp).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace nettest {

constexpr uint32_t kLoopback = 0x7F000001;  // 127.0.0.1, host byte order

// A socket of the test's own, closed when it goes. Reads give up after 5 seconds.
class PeerSocket {
 public:
  using Handle = intptr_t;
  static constexpr Handle kNone = -1;

  explicit PeerSocket(Handle socket = kNone);
  PeerSocket(PeerSocket&& other) noexcept : socket_(other.socket_) { other.socket_ = kNone; }
  PeerSocket& operator=(PeerSocket&& other) noexcept;
  ~PeerSocket() { Close(); }

  Handle handle() const { return socket_; }
  bool valid() const { return socket_ != kNone; }
  void Close();
  void Reset();  // closes with an RST instead of a FIN
  void SendAll(const std::string& bytes);
  void SendUrgent(char byte);  // one byte of out-of-band data
  // Up to n bytes: fewer when the other end closed or nothing came in time.
  std::string Read(size_t n);
  // True when the other end has closed after sending *rest; false when it stays open.
  bool ReadToEnd(std::string* rest);
  // Nothing is waiting to be read right now.
  bool Quiet();

 private:
  Handle socket_;
};

// A listening socket on 127.0.0.1 with a port the system chose.
class PeerListener {
 public:
  explicit PeerListener(int backlog = 16);
  uint16_t port() const { return port_; }
  PeerSocket Accept();  // invalid when no connection comes in time

 private:
  PeerSocket socket_;
  uint16_t port_ = 0;
};

// A UDP socket bound to 127.0.0.1 with a port the system chose.
class PeerDatagram {
 public:
  PeerDatagram();
  uint16_t port() const { return port_; }
  bool SendTo(uint16_t port, const std::string& bytes);
  std::string Receive();  // one datagram, or "(nothing)" when none comes in time

 private:
  PeerSocket socket_;
  uint16_t port_ = 0;
};

PeerSocket ConnectTo(uint16_t port);  // blocking; invalid when refused
uint16_t UnusedPort();                // nothing listens there at the moment of the call
// The descriptors (handles on Windows) this process has open; -1 where the system cannot
// tell (Wine answers GetProcessHandleCount with 0), so checks on it are left out there.
int OpenDescriptors();
// How many TCP connections with this local port are in TIME_WAIT; -1 where the test cannot
// see it (on Windows it is not looked up).
int TimeWaitCount(uint16_t port);

}  // namespace nettest
