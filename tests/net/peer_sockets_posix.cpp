// The tests' own peer sockets on POSIX.
#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>

#include "net/peer_sockets.h"

namespace nettest {
namespace {

constexpr int kPatienceMs = 5000;

sockaddr_in LoopbackAddress(uint16_t port) {
  return sockaddr_in{AF_INET, htons(port), {htonl(kLoopback)}, {}};
}

int Fd(PeerSocket::Handle handle) {
  return int(handle);
}

bool Readable(int fd) {
  pollfd entry{fd, POLLIN, 0};
  return poll(&entry, 1, kPatienceMs) > 0;
}

// Binds to 127.0.0.1 with a port the system chooses; answers that port, or 0.
uint16_t BindLoopback(int fd) {
  sockaddr_in address = LoopbackAddress(0);
  socklen_t length = sizeof address;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0) return 0;
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
  return ntohs(address.sin_port);
}

}  // namespace

PeerSocket::PeerSocket(Handle socket) : socket_(socket) {
  timeval patience{kPatienceMs / 1000, 0};
  if (valid()) setsockopt(Fd(socket_), SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
}

PeerSocket& PeerSocket::operator=(PeerSocket&& other) noexcept {
  if (this != &other) {
    Close();
    socket_ = other.socket_;
    other.socket_ = kNone;
  }
  return *this;
}

void PeerSocket::Close() {
  if (valid()) close(Fd(socket_));
  socket_ = kNone;
}

void PeerSocket::Reset() {
  linger abort{1, 0};
  setsockopt(Fd(socket_), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
  Close();
}

void PeerSocket::SendAll(const std::string& bytes) {
  for (size_t done = 0; done < bytes.size();) {
    const ssize_t n = send(Fd(socket_), bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    ASSERT_GT(n, 0) << "peer send failed";
    done += size_t(n);
  }
}

void PeerSocket::SendUrgent(char byte) {
  ASSERT_EQ(send(Fd(socket_), &byte, 1, MSG_OOB), 1);
}

std::string PeerSocket::Read(size_t n) {
  std::string bytes(n, '\0');
  size_t got = 0;
  while (got < n) {
    const ssize_t r = recv(Fd(socket_), bytes.data() + got, n - got, 0);
    if (r <= 0) break;
    got += size_t(r);
  }
  bytes.resize(got);
  return bytes;
}

bool PeerSocket::ReadToEnd(std::string* rest) {
  char buffer[4096];
  for (;;) {
    const ssize_t n = recv(Fd(socket_), buffer, sizeof buffer, 0);
    if (n <= 0) return n == 0;
    rest->append(buffer, size_t(n));
  }
}

bool PeerSocket::Quiet() {
  char byte;
  return recv(Fd(socket_), &byte, 1, MSG_DONTWAIT | MSG_PEEK) < 0;
}

PeerListener::PeerListener(int backlog) : socket_(socket(AF_INET, SOCK_STREAM, 0)) {
  port_ = BindLoopback(Fd(socket_.handle()));
  EXPECT_TRUE(port_ != 0 && listen(Fd(socket_.handle()), backlog) == 0) << "peer listener failed";
}

PeerSocket PeerListener::Accept() {
  if (!Readable(Fd(socket_.handle()))) return PeerSocket();
  return PeerSocket(accept(Fd(socket_.handle()), nullptr, nullptr));
}

PeerDatagram::PeerDatagram() : socket_(socket(AF_INET, SOCK_DGRAM, 0)) {
  port_ = BindLoopback(Fd(socket_.handle()));
  EXPECT_NE(port_, 0) << "peer datagram socket failed";
}

bool PeerDatagram::SendTo(uint16_t port, const std::string& bytes) {
  const sockaddr_in to = LoopbackAddress(port);
  return sendto(Fd(socket_.handle()), bytes.data(), bytes.size(), 0,
                reinterpret_cast<const sockaddr*>(&to), sizeof to) == ssize_t(bytes.size());
}

std::string PeerDatagram::Receive() {
  char buffer[4096];
  const ssize_t n = recv(Fd(socket_.handle()), buffer, sizeof buffer, 0);
  return n < 0 ? "(nothing)" : std::string(buffer, size_t(n));
}

PeerSocket ConnectTo(uint16_t port) {
  PeerSocket peer(socket(AF_INET, SOCK_STREAM, 0));
  const sockaddr_in address = LoopbackAddress(port);
  if (connect(Fd(peer.handle()), reinterpret_cast<const sockaddr*>(&address), sizeof address) !=
      0) {
    return PeerSocket();
  }
  return peer;
}

uint16_t UnusedPort() {
  return PeerListener().port();
}

int OpenDescriptors() {
  int count = 0;
  if (DIR* dir = opendir("/proc/self/fd")) {
    while (readdir(dir) != nullptr) ++count;
    closedir(dir);
  }
  return count;
}

// Read from the kernel's table of IPv4 TCP sockets: each row has "local-hex-address:port"
// in its second field and the state (06 = TIME_WAIT) in its fourth.
int TimeWaitCount(uint16_t port) {
  std::FILE* table = std::fopen("/proc/net/tcp", "r");
  if (table == nullptr) return -1;
  int count = 0;
  char line[512];
  while (std::fgets(line, sizeof line, table) != nullptr) {
    unsigned address = 0, localPort = 0, state = 0;
    if (std::sscanf(line, " %*u: %8x:%4x %*8x:%*4x %2x", &address, &localPort, &state) == 3 &&
        localPort == port && state == 0x06) {
      ++count;
    }
  }
  std::fclose(table);
  return count;
}

}  // namespace nettest
