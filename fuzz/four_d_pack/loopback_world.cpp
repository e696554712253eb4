#include "four_d_pack/loopback_world.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <string_view>
#include <utility>

#include "platform/sockets.h"
#include "support/fuzz_support.h"

namespace nimbus::fuzz {
namespace {

using platform::SockAddrIn;
using platform::Socket;

constexpr uint32_t kLoopbackNet = 0x7F000001;  // 127.0.0.1, host order

platform::SocketCalls gSystem;
uint16_t gRefusingPort = 0;  // bound, never listening: connects there are refused
uint16_t gPeerListenerPort = 0;
uint16_t gPeerDatagramPort = 0;
// The package's listening sockets and datagram endpoints with the ports the system gave
// them; a socket leaves its list when it is closed, before the system can hand its port to
// another program.
std::vector<std::pair<Socket, uint16_t>> gPackageListening;
std::vector<std::pair<Socket, uint16_t>> gPackageDatagrams;
std::vector<uint16_t> gPorts;  // what the two accessors below answer

uint16_t PortOf(int fd) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    Fail("getsockname of a fuzzer socket");
  }
  return ntohs(address.sin_port);
}

uint16_t BoundPort(int type) {
  const int fd = socket(AF_INET, type, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(kLoopbackNet);
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    Fail("cannot bind a fuzzer socket on 127.0.0.1");
  }
  return PortOf(fd);  // the descriptor stays open for the life of the process
}

bool IsLoopback(uint32_t networkOrder) {
  return (platform::NetToHost32(networkOrder) >> 24) == 127;
}

SockAddrIn LoopbackAt(uint16_t port) {
  SockAddrIn to{};
  to.family = platform::kAfInet;
  to.port = platform::HostToNet16(port);
  to.address = platform::HostToNet32(kLoopbackNet);
  return to;
}

bool IsDatagramSocket(Socket s) {
  int type = 0;
  socklen_t length = sizeof type;
  return getsockopt(int(s), SOL_SOCKET, SO_TYPE, &type, &length) == 0 && type == SOCK_DGRAM;
}

void Remember(std::vector<std::pair<Socket, uint16_t>>& list, Socket s) {
  for (const auto& [known, port] : list) {
    if (known == s) return;
  }
  list.push_back({s, PortOf(int(s))});
}

void Forget(std::vector<std::pair<Socket, uint16_t>>& list, Socket s) {
  std::erase_if(list, [s](const auto& entry) { return entry.first == s; });
}

int32_t Bind(Socket s, const SockAddrIn* address) {
  (void)address;
  SockAddrIn local = LoopbackAt(0);
  const int32_t status = gSystem.bind(s, &local);
  if (status == 0 && IsDatagramSocket(s)) Remember(gPackageDatagrams, s);
  return status;
}

int32_t Listen(Socket s, int32_t backlog) {
  const int32_t status = gSystem.listen(s, backlog);
  if (status == 0) Remember(gPackageListening, s);
  return status;
}

int32_t CloseSocket(Socket s) {
  Forget(gPackageListening, s);
  Forget(gPackageDatagrams, s);
  return gSystem.closesocket(s);
}

uint16_t StreamTarget(const SockAddrIn* address) {
  if (!IsLoopback(address->address)) return gRefusingPort;
  const uint16_t asked = platform::NetToHost16(address->port);
  const size_t choices = 2 + gPackageListening.size();
  const size_t pick = asked % choices;
  if (pick == 0) return gPeerListenerPort;
  if (pick == 1) return gRefusingPort;
  return gPackageListening[pick - 2].second;
}

int32_t Connect(Socket s, const SockAddrIn* address) {
  const SockAddrIn to = LoopbackAt(StreamTarget(address));
  return gSystem.connect(s, &to);
}

int32_t SendTo(Socket s, const void* data, int32_t length, int32_t flags, const SockAddrIn* to) {
  uint16_t port = gPeerDatagramPort;
  if (IsLoopback(to->address)) {
    const size_t pick = platform::NetToHost16(to->port) % (1 + gPackageDatagrams.size());
    if (pick > 0) port = gPackageDatagrams[pick - 1].second;
  }
  const SockAddrIn target = LoopbackAt(port);
  const int32_t sent = gSystem.sendto(s, data, length, flags, &target);
  if (sent >= 0) Remember(gPackageDatagrams, s);  // it has a port now, bound or not
  return sent;
}

uint32_t NameHash(std::string_view name) {
  uint32_t hash = 2166136261u;
  for (unsigned char c : name) hash = (hash ^ c) * 16777619u;
  return hash;
}

int32_t GetHostName(char* name, int32_t length) {
  constexpr std::string_view kName = "fuzzhost";
  if (length <= int32_t(kName.size())) return platform::kSocketError;
  std::memcpy(name, kName.data(), kName.size() + 1);
  return 0;
}

// This host's names are 127.0.0.1; a third of other names are unknown; the rest somewhere
// in 127.0.0.0/8.
int32_t GetHostByName(const char* name, uint32_t* address) {
  const std::string_view text(name);
  if (text == "fuzzhost" || text == "localhost") {
    *address = platform::HostToNet32(kLoopbackNet);
    return 0;
  }
  const uint32_t hash = NameHash(text);
  if (hash % 3 == 0) return platform::kSocketError;
  *address = platform::HostToNet32((127u << 24) | (hash & 0x00FFFFFF));
  return 0;
}

int32_t GetHostByAddr(uint32_t address, char* name, int32_t length) {
  const uint32_t host = platform::NetToHost32(address);
  if (host % 2 == 1 || length < 2) return platform::kSocketError;
  // Names of every length up to the buffer's, to try the callers' copies.
  const int32_t size = int32_t(host % uint32_t(length));
  std::memset(name, 'n', size_t(size));
  name[size] = 0;
  return 0;
}

}  // namespace

void InstallLoopbackWorld() {
  static const bool installed = [] {
    gSystem = platform::SystemSocketCalls();
    gRefusingPort = BoundPort(SOCK_STREAM);
    platform::SocketCalls& calls = platform::Calls();
    calls.closesocket = CloseSocket;
    calls.bind = Bind;
    calls.listen = Listen;
    calls.connect = Connect;
    calls.sendto = SendTo;
    calls.gethostname = GetHostName;
    calls.gethostbyname = GetHostByName;
    calls.gethostbyaddr = GetHostByAddr;
    return true;
  }();
  (void)installed;
}

void SetPeerPorts(uint16_t listener, uint16_t datagram) {
  gPeerListenerPort = listener;
  gPeerDatagramPort = datagram;
}

uint16_t PeerListenerPort() {
  return gPeerListenerPort;
}
uint16_t PeerDatagramPort() {
  return gPeerDatagramPort;
}
namespace {
const std::vector<uint16_t>& PortsOf(const std::vector<std::pair<Socket, uint16_t>>& list) {
  gPorts.clear();
  for (const auto& entry : list) gPorts.push_back(entry.second);
  return gPorts;
}
}  // namespace

const std::vector<uint16_t>& PackageListeningPorts() {
  return PortsOf(gPackageListening);
}
const std::vector<uint16_t>& PackageDatagramPorts() {
  return PortsOf(gPackageDatagrams);
}

void ForgetPackagePorts() {
  gPackageListening.clear();
  gPackageDatagrams.clear();
}

}  // namespace nimbus::fuzz
