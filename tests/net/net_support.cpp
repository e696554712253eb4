#include "net/net_support.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace nettest {
namespace {

sockaddr_in LoopbackAddress(uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(kLoopback);
  return address;
}

bool Readable(int fd, int timeoutMs) {
  pollfd entry{fd, POLLIN, 0};
  return poll(&entry, 1, timeoutMs) > 0;
}

}  // namespace

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
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    ASSERT_GT(n, 0) << "peer send failed";
    done += size_t(n);
  }
}

void PeerSocket::SendUrgent(char byte) {
  ASSERT_EQ(send(fd_, &byte, 1, MSG_OOB), 1);
}

std::string PeerSocket::Read(size_t n, int timeoutMs) {
  std::string bytes;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  char buffer[65536];
  while (bytes.size() < n) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    if (left.count() <= 0 || !Readable(fd_, int(left.count()))) break;
    const ssize_t got = recv(fd_, buffer, std::min(sizeof buffer, n - bytes.size()), 0);
    if (got <= 0) break;
    bytes.append(buffer, size_t(got));
  }
  return bytes;
}

bool PeerSocket::ReadToEnd(std::string* bytes, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  char buffer[65536];
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    if (left.count() <= 0 || !Readable(fd_, int(left.count()))) return false;
    const ssize_t got = recv(fd_, buffer, sizeof buffer, 0);
    if (got == 0) return true;
    if (got < 0) return false;
    bytes->append(buffer, size_t(got));
  }
}

PeerListener::PeerListener(int backlog) : socket_(socket(AF_INET, SOCK_STREAM, 0)) {
  sockaddr_in address = LoopbackAddress(0);
  socklen_t length = sizeof address;
  if (bind(socket_.fd(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(socket_.fd(), backlog) != 0 ||
      getsockname(socket_.fd(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ADD_FAILURE() << "peer listener failed";
    return;
  }
  port_ = ntohs(address.sin_port);
}

PeerSocket PeerListener::Accept(int timeoutMs) {
  if (!Readable(socket_.fd(), timeoutMs)) return PeerSocket();
  return PeerSocket(accept(socket_.fd(), nullptr, nullptr));
}

PeerSocket ConnectTo(uint16_t port) {
  PeerSocket peer(socket(AF_INET, SOCK_STREAM, 0));
  sockaddr_in address = LoopbackAddress(port);
  if (connect(peer.fd(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    return PeerSocket();
  }
  return peer;
}

uint16_t UnusedPort() {
  PeerListener probe;
  return probe.port();
}

int OpenDescriptors() {
  int count = 0;
  if (DIR* dir = opendir("/proc/self/fd")) {
    while (readdir(dir) != nullptr) ++count;
    closedir(dir);
  }
  return count;
}

std::string Repeat(const std::string& piece, size_t times) {
  std::string result;
  for (size_t i = 0; i < times; ++i) result += piece;
  return result;
}

void NetTest::SetUp() {
  ASSERT_TRUE(host.Load(NIMBUS_PACKAGE_PATH)) << host.lastError();
}

void NetTest::TearDown() {
  host.Unload();
}

int32_t NetTest::Open(uint16_t port, int32_t reuse, int16_t localPort) {
  return Longint("StreamOpen", {Value::String("127.0.0.1"), Value::Integer(int16_t(port)),
                                Value::Longint(0), Value::Longint(0), Value::Longint(reuse),
                                Value::Integer(localPort), Value::Longint(0)});
}

int32_t NetTest::Listen(uint16_t port, int32_t reuse) {
  return Longint("StreamListen",
                 {Value::Longint(0), Value::Integer(0), Value::Integer(int16_t(port)),
                  Value::Longint(0), Value::Longint(0), Value::Longint(reuse), Value::Longint(0)});
}

int32_t NetTest::Query(int32_t ref, int32_t type) {
  return Longint("StreamState", {Value::Longint(ref), Value::Longint(type)});
}

int32_t NetTest::Wait(int32_t ref, int32_t target, int32_t seconds) {
  return Longint("StreamWaitState",
                 {Value::Longint(ref), Value::Longint(target), Value::Longint(seconds)});
}

int32_t NetTest::Send(int32_t ref, const std::string& text, int16_t flag, int32_t mode) {
  return Longint("StreamSendText", {Value::Longint(ref), Value::Text(text), Value::Integer(flag),
                                    Value::Longint(mode)});
}

int32_t NetTest::Receive(int32_t ref, std::string* text, int32_t largest, int32_t mode) {
  const standin::CallResult call = host.Call(
      "StreamReceiveText",
      {Value::Longint(ref), Value::Text(""), Value::Longint(largest), Value::Longint(mode)});
  *text = call.params[1].bytes;
  return call.result.longint;
}

uint16_t NetTest::LocalPort(int32_t ref) {
  const standin::CallResult call =
      host.Call("StreamAddresses", {Value::Longint(ref), Value::Longint(0), Value::Integer(0),
                                    Value::Integer(0), Value::Longint(0), Value::Longint(0)});
  return uint16_t(call.params[3].longint);
}

int32_t NetTest::Connected(PeerListener& listener, PeerSocket* peer) {
  const int32_t ref = Open(listener.port());
  *peer = listener.Accept();
  EXPECT_TRUE(peer->valid());
  EXPECT_EQ(Wait(ref, 8, 5), 8);
  return ref;
}

}  // namespace nettest
