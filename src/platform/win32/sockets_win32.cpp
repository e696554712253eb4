// The socket seam over Winsock 1.1 (WSOCK32) and USER32: the calls as they are.
#include <windows.h>
#include <winsock.h>

#include <algorithm>
#include <cstring>

#include "platform/sockets.h"

namespace nimbus::platform {
namespace {

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

SOCKET Native(Socket s) {
  return SOCKET(s);
}

int32_t Startup(uint16_t version) {
  WSADATA data;
  return WSAStartup(version, &data);
}
int32_t Cleanup() {
  return WSACleanup();
}
int32_t LastError() {
  return WSAGetLastError();
}

Socket OpenSocket(int32_t family, int32_t type, int32_t protocol) {
  const SOCKET s = socket(family, type, protocol);
  return s == INVALID_SOCKET ? kInvalidSocket : Socket(s);
}

int32_t SetSockOpt(Socket s, int32_t level, int32_t name, const void* value, int32_t length) {
  return setsockopt(Native(s), level, name, static_cast<const char*>(value), length);
}

int32_t IoctlSocket(Socket s, uint32_t command, uint32_t* argument) {
  u_long value = argument != nullptr ? *argument : 0;
  const int result = ioctlsocket(Native(s), long(command), &value);
  if (result == 0 && argument != nullptr) *argument = uint32_t(value);
  return result;
}

// A bind follows the options the socket was given. A passive open gives it no address-reuse
// option: SO_REUSEADDR would share a port that another socket listens on, SO_EXCLUSIVEADDRUSE
// would refuse a listen while the port's earlier connections are open (net/opens.cpp).
int32_t Bind(Socket s, const SockAddrIn* address) {
  sockaddr_in local = ToSockaddr(address);
  return bind(Native(s), reinterpret_cast<sockaddr*>(&local), sizeof local);
}

int32_t Listen(Socket s, int32_t backlog) {
  return listen(Native(s), backlog);
}

Socket Accept(Socket s) {
  const SOCKET accepted = accept(Native(s), nullptr, nullptr);
  return accepted == INVALID_SOCKET ? kInvalidSocket : Socket(accepted);
}

int32_t Connect(Socket s, const SockAddrIn* address) {
  sockaddr_in remote = ToSockaddr(address);
  return connect(Native(s), reinterpret_cast<sockaddr*>(&remote), sizeof remote);
}

int32_t SelectOne(Socket s, SelectSet set) {
  fd_set one;
  FD_ZERO(&one);
  FD_SET(Native(s), &one);
  timeval zero{0, 0};
  switch (set) {
    case SelectSet::kRead:
      return select(0, &one, nullptr, nullptr, &zero);
    case SelectSet::kWrite:
      return select(0, nullptr, &one, nullptr, &zero);
    case SelectSet::kException:
      return select(0, nullptr, nullptr, &one, &zero);
  }
  return 0;
}

int32_t Send(Socket s, const void* data, int32_t length, int32_t flags) {
  return send(Native(s), static_cast<const char*>(data), length, flags);
}

int32_t Recv(Socket s, void* data, int32_t length, int32_t flags) {
  return recv(Native(s), static_cast<char*>(data), length, flags);
}

int32_t SendTo(Socket s, const void* data, int32_t length, int32_t flags, const SockAddrIn* to) {
  sockaddr_in remote = ToSockaddr(to);
  return sendto(Native(s), static_cast<const char*>(data), length, flags,
                reinterpret_cast<sockaddr*>(&remote), sizeof remote);
}

int32_t RecvFrom(Socket s, void* data, int32_t length, int32_t flags, SockAddrIn* from) {
  sockaddr_in sender{};
  int senderLength = sizeof sender;
  const int received = recvfrom(Native(s), static_cast<char*>(data), length, flags,
                                reinterpret_cast<sockaddr*>(&sender), &senderLength);
  if (received >= 0 && from != nullptr) FromSockaddr(sender, from);
  return received;
}

int32_t CloseSocket(Socket s) {
  return closesocket(Native(s));
}

int32_t GetSockName(Socket s, SockAddrIn* address) {
  sockaddr_in local{};
  int length = sizeof local;
  const int result = getsockname(Native(s), reinterpret_cast<sockaddr*>(&local), &length);
  if (result == 0) FromSockaddr(local, address);
  return result;
}

int32_t GetPeerName(Socket s, SockAddrIn* address) {
  sockaddr_in peer{};
  int length = sizeof peer;
  const int result = getpeername(Native(s), reinterpret_cast<sockaddr*>(&peer), &length);
  if (result == 0) FromSockaddr(peer, address);
  return result;
}

int32_t GetHostName(char* name, int32_t length) {
  return gethostname(name, length);
}

int32_t GetHostByName(const char* name, uint32_t* address) {
  const hostent* host = gethostbyname(name);
  if (host == nullptr || host->h_addr_list == nullptr || host->h_addr_list[0] == nullptr) {
    return kSocketError;
  }
  std::memcpy(address, host->h_addr_list[0], sizeof *address);
  return 0;
}

int32_t GetHostByAddr(uint32_t address, char* name, int32_t length) {
  const hostent* host = gethostbyaddr(reinterpret_cast<const char*>(&address), 4, AF_INET);
  if (host == nullptr || host->h_name == nullptr || length <= 0) return kSocketError;
  const size_t copied = std::min(std::strlen(host->h_name), size_t(length) - 1);
  std::memcpy(name, host->h_name, copied);
  name[copied] = 0;
  return 0;
}

uint32_t InetAddr(const char* text) {
  return inet_addr(text);
}

void InetNtoa(uint32_t address, char* text) {
  in_addr value{};
  value.s_addr = address;
  const char* dotted = inet_ntoa(value);
  std::strncpy(text, dotted != nullptr ? dotted : "0.0.0.0", 16);
  text[15] = 0;
}

int32_t AsyncSelect(Socket s, void* window, uint32_t message, int32_t events) {
  return WSAAsyncSelect(Native(s), static_cast<HWND>(window), message, events);
}

void* GetParentWindow(void* window) {
  return GetParent(static_cast<HWND>(window));
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
