// Winsock behaviour over POSIX sockets.
//
//   Error codes        errno mapped to WSA codes, kept per thread like WSAGetLastError.
//   Descriptors        every socket this layer made is known; closing forgets it, so a number
//                      the system hands out again is never closed on behalf of an old socket.
//   Connect            a failed non-blocking connect shows in the exception set (Linux
//                      reports it as writable with SO_ERROR set).
//   Accept             inherits the listening socket's non-blocking mode (accept4).
//   Send               never raises SIGPIPE (MSG_NOSIGNAL).
//   Select             over one socket with poll(): descriptors pass FD_SETSIZE.
//   Options            Winsock levels and names mapped; SO_DONTLINGER = SO_LINGER off.
//   Binding            a TCP socket binds by Winsock's default rules (see OpenSocket).
//   Notifications      WSAAsyncSelect and GetParent come from the host's window surface.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "platform/posix/window_surface.h"
#include "platform/sockets.h"

namespace nimbus::platform {
namespace {

thread_local int32_t tLastError = 0;

int32_t WsaCodeOf(int error) {
  switch (error) {
    case EINTR:
      return kWsaEIntr;
    case EBADF:
      return kWsaENotSock;
    case EACCES:
      return kWsaEAcces;
    case EFAULT:
      return kWsaEFault;
    case EINVAL:
      return kWsaEInval;
    case EMFILE:
    case ENFILE:
      return kWsaEMFile;
    case EAGAIN:
      return kWsaEWouldBlock;
    case EINPROGRESS:
      return kWsaEWouldBlock;  // Winsock's answer to a non-blocking connect
    case EALREADY:
      return kWsaEAlready;
    case ENOTSOCK:
      return kWsaENotSock;
    case EDESTADDRREQ:
      return kWsaEDestAddrReq;
    case EMSGSIZE:
      return kWsaEMsgSize;
    case EPROTOTYPE:
      return kWsaEProtoType;
    case ENOPROTOOPT:
      return kWsaENoProtoOpt;
    case EPROTONOSUPPORT:
      return kWsaEProtoNoSupport;
    case EOPNOTSUPP:
      return kWsaEOpNotSupp;
    case EAFNOSUPPORT:
      return kWsaEAfNoSupport;
    case EADDRINUSE:
      return kWsaEAddrInUse;
    case EADDRNOTAVAIL:
      return kWsaEAddrNotAvail;
    case ENETDOWN:
      return kWsaENetDown;
    case ENETUNREACH:
      return kWsaENetUnreach;
    case ENETRESET:
      return kWsaENetReset;
    case ECONNABORTED:
      return kWsaEConnAborted;
    case ECONNRESET:
      return kWsaEConnReset;
    case EPIPE:
      return kWsaEConnReset;
    case ENOBUFS:
    case ENOMEM:
      return kWsaENoBufs;
    case EISCONN:
      return kWsaEIsConn;
    case ENOTCONN:
      return kWsaENotConn;
    case ESHUTDOWN:
      return kWsaEShutdown;
    case ETIMEDOUT:
      return kWsaETimedOut;
    case ECONNREFUSED:
      return kWsaEConnRefused;
    case EHOSTUNREACH:
      return kWsaEHostUnreach;
    default:
      return kWsaEInval;
  }
}

int32_t Fail(int32_t code) {
  tLastError = code;
  return kSocketError;
}
int32_t FailErrno() {
  return Fail(WsaCodeOf(errno));
}

// What the layer remembers of each socket it made.
struct SocketInfo {
  bool datagram = false;       // a UDP socket: each receive takes one whole datagram
  bool connecting = false;     // a non-blocking connect is under way
  bool connectFailed = false;  // ... and has failed: the exception set reports it
};

std::mutex gSocketsMutex;
std::unordered_map<int, SocketInfo> gSockets;

void Remember(int fd, bool datagram = false) {
  std::lock_guard lock(gSocketsMutex);
  gSockets[fd] = SocketInfo{};
  gSockets[fd].datagram = datagram;
}

bool Known(int fd) {
  std::lock_guard lock(gSocketsMutex);
  return gSockets.count(fd) != 0;
}

bool IsDatagram(int fd) {
  std::lock_guard lock(gSocketsMutex);
  auto it = gSockets.find(fd);
  return it != gSockets.end() && it->second.datagram;
}

template <class F>
void WithInfo(int fd, F&& change) {
  std::lock_guard lock(gSocketsMutex);
  auto it = gSockets.find(fd);
  if (it != gSockets.end()) change(it->second);
}

int Fd(Socket s) {
  return s > Socket(INT32_MAX) ? -1 : int(s);
}

// Keeps sockets off descriptors 0 to 2, which a host without standard streams may have free:
// a socket numbered 0 would read as a free listen-table entry.
int AboveStandardStreams(int fd) {
  if (fd < 0 || fd > 2) return fd;
  const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
  close(fd);
  return moved;
}

sockaddr_in ToSockaddr(const SockAddrIn* address) {
  sockaddr_in result{};
  result.sin_family = AF_INET;
  result.sin_port = address->port;
  result.sin_addr.s_addr = address->address;
  return result;
}

void FromSockaddr(const sockaddr_in& from, SockAddrIn* to) {
  *to = SockAddrIn{};
  to->family = uint16_t(kAfInet);
  to->port = from.sin_port;
  to->address = from.sin_addr.s_addr;
}

int32_t Startup(uint16_t) {
  return 0;
}
int32_t Cleanup() {
  return 0;
}
int32_t LastError() {
  return tLastError;
}

Socket OpenSocket(int32_t family, int32_t type, int32_t protocol) {
  if (family != kAfInet) {
    Fail(kWsaEAfNoSupport);
    return kInvalidSocket;
  }
  const int posixType = type == kSockStream ? SOCK_STREAM : type == kSockDgram ? SOCK_DGRAM : -1;
  if (posixType < 0) {
    Fail(kWsaEProtoType);
    return kInvalidSocket;
  }
  int fd = AboveStandardStreams(socket(AF_INET, posixType | SOCK_CLOEXEC, protocol));
  if (fd < 0) {
    FailErrno();
    return kInvalidSocket;
  }
  if (posixType == SOCK_STREAM) {
    // Winsock's default bind (Windows 2000 and later) takes a port whose earlier connections
    // are still open or in TIME_WAIT once nothing listens there, and refuses a port that a
    // socket listens on. Linux binds over such connections only when they and the new socket
    // both have SO_REUSEADDR (accepted sockets inherit it from their listener), and even then
    // never over a listener: so every TCP socket has it from the start.
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  }
  Remember(fd, posixType == SOCK_DGRAM);
  return Socket(fd);
}

int32_t SetSockOpt(Socket s, int32_t level, int32_t name, const void* value, int32_t length) {
  const int fd = Fd(s);
  if (!Known(fd)) return Fail(kWsaENotSock);
  if (value == nullptr || length < int32_t(sizeof(int32_t))) return Fail(kWsaEFault);
  if (level != kSolSocket) return Fail(kWsaENoProtoOpt);
  int32_t number;
  std::memcpy(&number, value, sizeof number);
  int option;
  switch (name) {
    case kSoReuseAddr:
      // A TCP socket keeps Linux's SO_REUSEADDR, which its default rules need (OpenSocket).
      // Winsock's option would also let it share a port with a listener; Linux shares one
      // only when every socket on it asks for SO_REUSEPORT, which this layer never sets.
      if (!IsDatagram(fd)) return 0;
      option = SO_REUSEADDR;
      break;
    case kSoSndBuf:
      option = SO_SNDBUF;
      break;
    case kSoRcvBuf:
      option = SO_RCVBUF;
      break;
    case kSoDontLinger: {
      // A graceful close that returns at once: lingering off.
      linger off{};
      off.l_onoff = number != 0 ? 0 : 1;
      return setsockopt(fd, SOL_SOCKET, SO_LINGER, &off, sizeof off) == 0 ? 0 : FailErrno();
    }
    default:
      return Fail(kWsaENoProtoOpt);
  }
  int posixValue = number;
  return setsockopt(fd, SOL_SOCKET, option, &posixValue, sizeof posixValue) == 0 ? 0 : FailErrno();
}

int32_t IoctlSocket(Socket s, uint32_t command, uint32_t* argument) {
  const int fd = Fd(s);
  if (!Known(fd)) return Fail(kWsaENotSock);
  if (argument == nullptr) return Fail(kWsaEFault);
  if (command == kFionbio) {
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0) return FailErrno();
    const int wanted = *argument != 0 ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    return fcntl(fd, F_SETFL, wanted) == 0 ? 0 : FailErrno();
  }
  if (command == kFionread) {
    int count = 0;
    if (ioctl(fd, FIONREAD, &count) != 0) return FailErrno();
    *argument = uint32_t(count);
    return 0;
  }
  return Fail(kWsaEInval);
}

int32_t Bind(Socket s, const SockAddrIn* address) {
  const int fd = Fd(s);
  if (!Known(fd)) return Fail(kWsaENotSock);
  if (address == nullptr) return Fail(kWsaEFault);
  sockaddr_in local = ToSockaddr(address);
  return bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0 ? 0 : FailErrno();
}

int32_t Listen(Socket s, int32_t backlog) {
  const int fd = Fd(s);
  if (!Known(fd)) return Fail(kWsaENotSock);
  return listen(fd, backlog) == 0 ? 0 : FailErrno();
}

Socket Accept(Socket s) {
  const int fd = Fd(s);
  if (!Known(fd)) {
    Fail(kWsaENotSock);
    return kInvalidSocket;
  }
  const int flags = fcntl(fd, F_GETFL);
  const int inherit = (flags >= 0 && (flags & O_NONBLOCK)) ? SOCK_NONBLOCK : 0;
  int accepted = accept4(fd, nullptr, nullptr, inherit | SOCK_CLOEXEC);
  if (accepted < 0) {
    FailErrno();
    return kInvalidSocket;
  }
  accepted = AboveStandardStreams(accepted);
  if (accepted < 0) {
    FailErrno();
    return kInvalidSocket;
  }
  Remember(accepted);
  return Socket(accepted);
}

int32_t Connect(Socket s, const SockAddrIn* address) {
  const int fd = Fd(s);
  if (!Known(fd)) return Fail(kWsaENotSock);
  if (address == nullptr) return Fail(kWsaEFault);
  sockaddr_in remote = ToSockaddr(address);
  if (connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) == 0) return 0;
  const int error = errno;
  if (error == EINPROGRESS) {
    WithInfo(fd, [](SocketInfo& info) {
      info.connecting = true;
      info.connectFailed = false;
    });
  }
  return Fail(WsaCodeOf(error));
}

// Settles a connect under way: connected, failed, or still going.
void SettleConnect(int fd, short revents) {
  if (!(revents & (POLLOUT | POLLERR | POLLHUP))) return;
  int error = 0;
  socklen_t length = sizeof error;
  getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
  sockaddr_in peer{};
  socklen_t peerLength = sizeof peer;
  const bool connected =
      error == 0 && getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLength) == 0;
  WithInfo(fd, [&](SocketInfo& info) {
    info.connecting = false;
    info.connectFailed = !connected;
  });
}

int32_t SelectOne(Socket s, SelectSet set) {
  const int fd = Fd(s);
  if (!Known(fd)) return Fail(kWsaENotSock);
  pollfd entry{fd, short(POLLIN | POLLOUT | POLLPRI), 0};
  if (poll(&entry, 1, 0) < 0) return FailErrno();
  if (entry.revents & POLLNVAL) return Fail(kWsaENotSock);
  SocketInfo info;
  WithInfo(fd, [&](SocketInfo& known) { info = known; });
  if (info.connecting) {
    SettleConnect(fd, entry.revents);
    WithInfo(fd, [&](SocketInfo& known) { info = known; });
    if (info.connecting) return 0;  // still under way: in no set
  }
  switch (set) {
    case SelectSet::kRead:
      return (entry.revents & (POLLIN | POLLHUP | POLLERR)) ? 1 : 0;
    case SelectSet::kWrite:
      return (!info.connectFailed && (entry.revents & POLLOUT)) ? 1 : 0;
    case SelectSet::kException:
      return (info.connectFailed || (entry.revents & POLLPRI)) ? 1 : 0;
  }
  return 0;
}

int32_t Send(Socket s, const void* data, int32_t length, int32_t flags) {
  const int fd = Fd(s);
  if (!Known(fd)) return Fail(kWsaENotSock);
  if (length < 0) return Fail(kWsaEInval);
  const ssize_t sent = send(fd, data, size_t(length), flags | MSG_NOSIGNAL);
  return sent < 0 ? FailErrno() : int32_t(sent);
}

// A receive that takes at most length bytes. On a UDP socket a datagram longer than the
// buffer fails, as it does on Winsock (WSAEMSGSIZE): MSG_TRUNC makes Linux tell its whole
// length. Only there: on a TCP socket MSG_TRUNC would discard the bytes instead of copying
// them, and answer a count of bytes the buffer never received.
ssize_t ReceiveAtMost(int fd, void* data, int32_t length, int32_t flags, sockaddr_in* sender,
                      socklen_t* senderLength) {
  const bool datagram = IsDatagram(fd);
  const ssize_t received =
      recvfrom(fd, data, size_t(length), flags | (datagram ? MSG_TRUNC : 0),
               reinterpret_cast<sockaddr*>(sender), sender != nullptr ? senderLength : nullptr);
  if (received < 0) return FailErrno();
  if (received > length) return Fail(kWsaEMsgSize);
  return received;
}

int32_t Recv(Socket s, void* data, int32_t length, int32_t flags) {
  const int fd = Fd(s);
  if (!Known(fd)) return Fail(kWsaENotSock);
  if (length < 0) return Fail(kWsaEInval);
  return int32_t(ReceiveAtMost(fd, data, length, flags, nullptr, nullptr));
}

int32_t SendTo(Socket s, const void* data, int32_t length, int32_t flags, const SockAddrIn* to) {
  const int fd = Fd(s);
  if (!Known(fd)) return Fail(kWsaENotSock);
  if (length < 0 || to == nullptr) return Fail(kWsaEFault);
  sockaddr_in remote = ToSockaddr(to);
  const ssize_t sent = sendto(fd, data, size_t(length), flags | MSG_NOSIGNAL,
                              reinterpret_cast<sockaddr*>(&remote), sizeof remote);
  return sent < 0 ? FailErrno() : int32_t(sent);
}

int32_t RecvFrom(Socket s, void* data, int32_t length, int32_t flags, SockAddrIn* from) {
  const int fd = Fd(s);
  if (!Known(fd)) return Fail(kWsaENotSock);
  if (length < 0) return Fail(kWsaEInval);
  sockaddr_in sender{};
  socklen_t senderLength = sizeof sender;
  const ssize_t received = ReceiveAtMost(fd, data, length, flags, &sender, &senderLength);
  if (received < 0) return kSocketError;
  // On a connected TCP socket Winsock ignores the sender's address: from is left alone.
  if (from != nullptr && IsDatagram(fd)) FromSockaddr(sender, from);
  return int32_t(received);
}

int32_t CloseSocket(Socket s) {
  const int fd = Fd(s);
  {
    std::lock_guard lock(gSocketsMutex);
    if (gSockets.erase(fd) == 0) return Fail(kWsaENotSock);
  }
  return close(fd) == 0 ? 0 : FailErrno();
}

int32_t GetSockName(Socket s, SockAddrIn* address) {
  const int fd = Fd(s);
  if (!Known(fd)) return Fail(kWsaENotSock);
  sockaddr_in local{};
  socklen_t length = sizeof local;
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) return FailErrno();
  FromSockaddr(local, address);
  return 0;
}

int32_t GetPeerName(Socket s, SockAddrIn* address) {
  const int fd = Fd(s);
  if (!Known(fd)) return Fail(kWsaENotSock);
  sockaddr_in peer{};
  socklen_t length = sizeof peer;
  if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) != 0) return FailErrno();
  FromSockaddr(peer, address);
  return 0;
}

int32_t GetHostName(char* name, int32_t length) {
  if (name == nullptr || length <= 0) return Fail(kWsaEFault);
  char buffer[256];
  if (gethostname(buffer, sizeof buffer) != 0) return FailErrno();
  buffer[sizeof buffer - 1] = 0;
  const size_t needed = std::strlen(buffer) + 1;
  if (needed > size_t(length)) return Fail(kWsaEFault);  // Winsock: the buffer is too small
  std::memcpy(name, buffer, needed);
  return 0;
}

int32_t GetHostByName(const char* name, uint32_t* address) {
  if (name == nullptr || address == nullptr) return Fail(kWsaEFault);
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(name, nullptr, &hints, &found) != 0 || found == nullptr) {
    return Fail(kWsaHostNotFound);
  }
  *address = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
  freeaddrinfo(found);
  return 0;
}

int32_t GetHostByAddr(uint32_t address, char* name, int32_t length) {
  if (name == nullptr || length <= 0) return Fail(kWsaEFault);
  sockaddr_in host{};
  host.sin_family = AF_INET;
  host.sin_addr.s_addr = address;
  char buffer[NI_MAXHOST];
  if (getnameinfo(reinterpret_cast<sockaddr*>(&host), sizeof host, buffer, sizeof buffer, nullptr,
                  0, NI_NAMEREQD) != 0) {
    return Fail(kWsaHostNotFound);
  }
  const size_t copied = std::min(std::strlen(buffer), size_t(length) - 1);
  std::memcpy(name, buffer, copied);
  name[copied] = 0;
  return 0;
}

uint32_t InetAddr(const char* text) {
  return text == nullptr ? 0xFFFFFFFFu : inet_addr(text);
}

void InetNtoa(uint32_t address, char* text) {
  in_addr value{};
  value.s_addr = address;
  inet_ntop(AF_INET, &value, text, 16);
}

int32_t AsyncSelect(Socket s, void* window, uint32_t message, int32_t events) {
  const int fd = Fd(s);
  if (!Known(fd)) return Fail(kWsaENotSock);
  return SurfaceAsyncSelect(intptr_t(fd), window, message, events) == 0 ? 0 : Fail(kWsaEInval);
}

void* GetParentWindow(void* window) {
  return SurfaceGetParent(window);
}

}  // namespace

SocketCalls SystemSocketCalls() {
  return SocketCalls{Startup,       Cleanup,     LastError,   OpenSocket,  SetSockOpt,
                     IoctlSocket,   Bind,        Listen,      Accept,      Connect,
                     SelectOne,     Send,        Recv,        SendTo,      RecvFrom,
                     CloseSocket,   GetSockName, GetPeerName, GetHostName, GetHostByName,
                     GetHostByAddr, InetAddr,    InetNtoa,    AsyncSelect, GetParentWindow};
}

}  // namespace nimbus::platform
