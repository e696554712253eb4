#include "four_d_pack/peers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "four_d_pack/loopback_world.h"
#include "support/fuzz_support.h"

namespace nimbus::fuzz {
namespace {

constexpr size_t kMostConnections = 32;
constexpr int kReadsPerPump = 8;  // per connection: bounded, so a flood cannot pin the pump

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

int NonBlockingSocket(int type) {
  const int fd = socket(AF_INET, type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) Fail("no socket for a fuzzer peer");
  return fd;
}

uint16_t BindToLoopback(int fd) {
  sockaddr_in address = Loopback(0);
  socklen_t length = sizeof address;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    Fail("cannot bind a fuzzer peer on 127.0.0.1");
  }
  return ntohs(address.sin_port);
}

}  // namespace

Peers::Peers() {
  listener_ = NonBlockingSocket(SOCK_STREAM);
  const uint16_t listenerPort = BindToLoopback(listener_);
  if (listen(listener_, 64) != 0) Fail("fuzzer peer cannot listen");
  datagram_ = NonBlockingSocket(SOCK_DGRAM);
  const uint16_t datagramPort = BindToLoopback(datagram_);
  SetPeerPorts(listenerPort, datagramPort);
}

void Peers::Pump() {
  for (;;) {
    const int fd = accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) break;
    if (connections_.size() >= kMostConnections) {
      close(fd);
      continue;
    }
    connections_.push_back(fd);
  }
  char buffer[65536];
  for (size_t i = 0; i < connections_.size();) {
    bool ended = false;
    for (int n = 0; n < kReadsPerPump; ++n) {
      const ssize_t got = recv(connections_[i], buffer, sizeof buffer, MSG_DONTWAIT);
      if (got > 0) continue;
      ended = got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
      break;
    }
    if (ended) {
      Drop(connections_[i]);
    } else {
      ++i;
    }
  }
  for (int n = 0; n < kReadsPerPump; ++n) {
    if (recv(datagram_, buffer, sizeof buffer, MSG_DONTWAIT) < 0) break;
  }
}

int Peers::Pick(uint32_t pick) const {
  if (connections_.empty()) return -1;
  return connections_[pick % connections_.size()];
}

void Peers::Drop(int fd) {
  close(fd);
  std::erase(connections_, fd);
}

void Peers::ConnectToPackage(uint32_t pick) {
  const std::vector<uint16_t>& ports = PackageListeningPorts();
  if (ports.empty() || connections_.size() >= kMostConnections) return;
  const int fd = NonBlockingSocket(SOCK_STREAM);
  const sockaddr_in address = Loopback(ports[pick % ports.size()]);
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 &&
      errno != EINPROGRESS) {
    close(fd);
    return;
  }
  connections_.push_back(fd);
}

void Peers::Send(uint32_t pick, std::string_view bytes) {
  const int fd = Pick(pick);
  if (fd >= 0 && !bytes.empty()) send(fd, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
}

void Peers::SendUrgent(uint32_t pick) {
  const int fd = Pick(pick);
  if (fd >= 0) send(fd, "!", 1, MSG_OOB | MSG_DONTWAIT | MSG_NOSIGNAL);
}

void Peers::ShutDownSending(uint32_t pick) {
  const int fd = Pick(pick);
  if (fd >= 0) shutdown(fd, SHUT_WR);
}

void Peers::Close(uint32_t pick) {
  const int fd = Pick(pick);
  if (fd >= 0) Drop(fd);
}

void Peers::Reset(uint32_t pick) {
  const int fd = Pick(pick);
  if (fd < 0) return;
  const linger abort{1, 0};
  setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
  Drop(fd);
}

void Peers::SendDatagram(uint32_t pick, std::string_view bytes) {
  const std::vector<uint16_t>& ports = PackageDatagramPorts();
  if (ports.empty()) return;
  const sockaddr_in to = Loopback(ports[pick % ports.size()]);
  sendto(datagram_, bytes.data(), bytes.size(), MSG_DONTWAIT,
         reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

void Peers::CloseAll() {
  for (int fd : connections_) close(fd);
  connections_.clear();
}

}  // namespace nimbus::fuzz
