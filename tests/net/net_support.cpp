#include "net/net_support.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace nettest {
namespace {

constexpr int kPatienceMs = 5000;

sockaddr_in LoopbackAddress(uint16_t port) {
  return sockaddr_in{AF_INET, htons(port), {htonl(kLoopback)}, {}};
}

bool Readable(int fd) {
  pollfd entry{fd, POLLIN, 0};
  return poll(&entry, 1, kPatienceMs) > 0;
}

}  // namespace

PeerSocket::PeerSocket(int fd) : fd_(fd) {
  timeval patience{kPatienceMs / 1000, 0};
  if (fd_ >= 0) setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
}

PeerSocket& PeerSocket::operator=(PeerSocket&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

void PeerSocket::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

void PeerSocket::Reset() {
  linger abort{1, 0};
  setsockopt(fd_, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
  Close();
}

void PeerSocket::SendAll(const std::string& bytes) {
  for (size_t done = 0; done < bytes.size();) {
    const ssize_t n = send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    ASSERT_GT(n, 0) << "peer send failed";
    done += size_t(n);
  }
}

std::string PeerSocket::Read(size_t n) {
  std::string bytes(n, '\0');
  size_t got = 0;
  while (got < n) {
    const ssize_t r = recv(fd_, bytes.data() + got, n - got, 0);
    if (r <= 0) break;
    got += size_t(r);
  }
  bytes.resize(got);
  return bytes;
}

bool PeerSocket::ReadToEnd(std::string* rest) {
  char buffer[4096];
  for (;;) {
    const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
    if (n <= 0) return n == 0;
    rest->append(buffer, size_t(n));
  }
}

bool PeerSocket::Quiet() {
  char byte;
  return recv(fd_, &byte, 1, MSG_DONTWAIT | MSG_PEEK) < 0;
}

PeerListener::PeerListener(int backlog) : socket_(socket(AF_INET, SOCK_STREAM, 0)) {
  sockaddr_in address = LoopbackAddress(0);
  socklen_t length = sizeof address;
  const bool ready = bind(socket_.fd(), reinterpret_cast<sockaddr*>(&address), length) == 0 &&
                     listen(socket_.fd(), backlog) == 0 &&
                     getsockname(socket_.fd(), reinterpret_cast<sockaddr*>(&address), &length) == 0;
  EXPECT_TRUE(ready) << "peer listener failed";
  port_ = ntohs(address.sin_port);
}

PeerSocket PeerListener::Accept() {
  if (!Readable(socket_.fd())) return PeerSocket();
  return PeerSocket(accept(socket_.fd(), nullptr, nullptr));
}

PeerSocket ConnectTo(uint16_t port) {
  PeerSocket peer(socket(AF_INET, SOCK_STREAM, 0));
  const sockaddr_in address = LoopbackAddress(port);
  if (connect(peer.fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
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

int32_t NetTest::Open(uint16_t port, int32_t reuse, int16_t localPort, int32_t buffer) {
  return Longint("StreamOpen", {Value::String("127.0.0.1"), Value::Integer(int16_t(port)),
                                Value::Longint(buffer), Value::Longint(0), Value::Longint(reuse),
                                Value::Integer(localPort), Value::Longint(0)});
}

int32_t NetTest::Listen(uint16_t port, int32_t reuse) {
  return Longint("StreamListen",
                 {Value::Longint(0), Value::Integer(0), Value::Integer(int16_t(port)),
                  Value::Longint(0), Value::Longint(0), Value::Longint(reuse), Value::Longint(0)});
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
