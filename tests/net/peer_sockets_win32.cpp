// The tests' own peer sockets on Windows (Winsock 2, blocking, with receive time-outs).
#include <winsock2.h>  // before any windows.h, which it includes itself

#include "net/peer_sockets.h"

namespace nettest {
namespace {

constexpr int kPatienceMs = 5000;

// Winsock is started once for the test program's own sockets.
struct WinsockStarted {
  WinsockStarted() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
};
const WinsockStarted gWinsock;

sockaddr_in LoopbackAddress(uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(kLoopback);
  return address;
}

SOCKET Native(PeerSocket::Handle handle) {
  return SOCKET(handle);
}

PeerSocket::Handle Wrap(SOCKET s) {
  return s == INVALID_SOCKET ? PeerSocket::kNone : PeerSocket::Handle(s);
}

bool Readable(SOCKET s) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(s, &set);
  timeval patience{kPatienceMs / 1000, 0};
  return select(0, &set, nullptr, nullptr, &patience) > 0;
}

uint16_t BindLoopback(SOCKET s) {
  sockaddr_in address = LoopbackAddress(0);
  int length = sizeof address;
  if (bind(s, reinterpret_cast<sockaddr*>(&address), length) != 0) return 0;
  if (getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
  return ntohs(address.sin_port);
}

}  // namespace

PeerSocket::PeerSocket(Handle socket) : socket_(socket) {
  const DWORD patience = kPatienceMs;
  if (valid()) {
    setsockopt(Native(socket_), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&patience),
               sizeof patience);
  }
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
  if (valid()) closesocket(Native(socket_));
  socket_ = kNone;
}

void PeerSocket::Reset() {
  linger abort{1, 0};
  setsockopt(Native(socket_), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort),
             sizeof abort);
  Close();
}

void PeerSocket::SendAll(const std::string& bytes) {
  for (size_t done = 0; done < bytes.size();) {
    const int n = send(Native(socket_), bytes.data() + done, int(bytes.size() - done), 0);
    ASSERT_GT(n, 0) << "peer send failed";
    done += size_t(n);
  }
}

void PeerSocket::SendUrgent(char byte) {
  ASSERT_EQ(send(Native(socket_), &byte, 1, MSG_OOB), 1);
}

std::string PeerSocket::Read(size_t n) {
  std::string bytes(n, '\0');
  size_t got = 0;
  while (got < n) {
    const int r = recv(Native(socket_), bytes.data() + got, int(n - got), 0);
    if (r <= 0) break;
    got += size_t(r);
  }
  bytes.resize(got);
  return bytes;
}

bool PeerSocket::ReadToEnd(std::string* rest) {
  char buffer[4096];
  for (;;) {
    const int n = recv(Native(socket_), buffer, sizeof buffer, 0);
    if (n <= 0) return n == 0;
    rest->append(buffer, size_t(n));
  }
}

bool PeerSocket::Quiet() {
  u_long waiting = 0;
  return ioctlsocket(Native(socket_), FIONREAD, &waiting) == 0 && waiting == 0;
}

PeerListener::PeerListener(int backlog) : socket_(Wrap(socket(AF_INET, SOCK_STREAM, 0))) {
  port_ = BindLoopback(Native(socket_.handle()));
  EXPECT_TRUE(port_ != 0 && listen(Native(socket_.handle()), backlog) == 0)
      << "peer listener failed";
}

PeerSocket PeerListener::Accept() {
  if (!Readable(Native(socket_.handle()))) return PeerSocket();
  return PeerSocket(Wrap(accept(Native(socket_.handle()), nullptr, nullptr)));
}

PeerDatagram::PeerDatagram() : socket_(Wrap(socket(AF_INET, SOCK_DGRAM, 0))) {
  port_ = BindLoopback(Native(socket_.handle()));
  EXPECT_NE(port_, 0) << "peer datagram socket failed";
}

bool PeerDatagram::SendTo(uint16_t port, const std::string& bytes) {
  const sockaddr_in to = LoopbackAddress(port);
  return sendto(Native(socket_.handle()), bytes.data(), int(bytes.size()), 0,
                reinterpret_cast<const sockaddr*>(&to), sizeof to) == int(bytes.size());
}

std::string PeerDatagram::Receive() {
  char buffer[4096];
  const int n = recv(Native(socket_.handle()), buffer, sizeof buffer, 0);
  return n < 0 ? "(nothing)" : std::string(buffer, size_t(n));
}

PeerSocket ConnectTo(uint16_t port) {
  PeerSocket peer(Wrap(socket(AF_INET, SOCK_STREAM, 0)));
  const sockaddr_in address = LoopbackAddress(port);
  if (connect(Native(peer.handle()), reinterpret_cast<const sockaddr*>(&address), sizeof address) !=
      0) {
    return PeerSocket();
  }
  return peer;
}

uint16_t UnusedPort() {
  return PeerListener().port();
}

int OpenDescriptors() {
  DWORD count = 0;
  if (!GetProcessHandleCount(GetCurrentProcess(), &count) || count == 0) return -1;
  return int(count);
}

int TimeWaitCount(uint16_t) {
  return -1;
}

}  // namespace nettest
