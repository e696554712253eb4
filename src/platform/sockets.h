// The socket seam. The package's network code is written once against Winsock 1.1: these
// are Winsock's calls with Winsock's constants and WSA error codes, on both systems. The
// POSIX implementation gives Winsock's behaviour where POSIX differs.
//
// Every call goes through one table of function pointers (SocketCalls), which tests may
// override to make a call fail with a chosen code.
#pragma once

#include <cstdint>

namespace nimbus::platform {

using Socket = uintptr_t;  // SOCKET: pointer-sized on both systems
constexpr Socket kInvalidSocket = ~Socket(0);
constexpr int32_t kSocketError = -1;

// Address families, types, protocols.
constexpr int32_t kAfInet = 2;
constexpr int32_t kSockStream = 1;
constexpr int32_t kSockDgram = 2;
constexpr int32_t kIpProtoTcp = 6;
constexpr int32_t kIpProtoUdp = 17;

// setsockopt levels and options, Winsock numbering.
constexpr int32_t kSolSocket = 0xFFFF;
constexpr int32_t kSoReuseAddr = 4;
constexpr int32_t kSoDontLinger = ~0x80;  // -129: graceful close that returns at once
constexpr int32_t kSoSndBuf = 0x1001;
constexpr int32_t kSoRcvBuf = 0x1002;

// ioctlsocket commands.
constexpr uint32_t kFionbio = 0x8004667E;
constexpr uint32_t kFionread = 0x4004667F;

// WSAAsyncSelect events.
constexpr int32_t kFdRead = 1;
constexpr int32_t kFdWrite = 2;
constexpr int32_t kFdOob = 4;
constexpr int32_t kFdAccept = 8;
constexpr int32_t kFdConnect = 16;
constexpr int32_t kFdClose = 32;

// WSA error codes (WSAGetLastError), the same on both systems.
constexpr int32_t kWsaEIntr = 10004;
constexpr int32_t kWsaEBadF = 10009;
constexpr int32_t kWsaEAcces = 10013;
constexpr int32_t kWsaEFault = 10014;
constexpr int32_t kWsaEInval = 10022;
constexpr int32_t kWsaEMFile = 10024;
constexpr int32_t kWsaEWouldBlock = 10035;
constexpr int32_t kWsaEInProgress = 10036;
constexpr int32_t kWsaEAlready = 10037;
constexpr int32_t kWsaENotSock = 10038;
constexpr int32_t kWsaEDestAddrReq = 10039;
constexpr int32_t kWsaEMsgSize = 10040;
constexpr int32_t kWsaEProtoType = 10041;
constexpr int32_t kWsaENoProtoOpt = 10042;
constexpr int32_t kWsaEProtoNoSupport = 10043;
constexpr int32_t kWsaEOpNotSupp = 10045;
constexpr int32_t kWsaEAfNoSupport = 10047;
constexpr int32_t kWsaEAddrInUse = 10048;
constexpr int32_t kWsaEAddrNotAvail = 10049;
constexpr int32_t kWsaENetDown = 10050;
constexpr int32_t kWsaENetUnreach = 10051;
constexpr int32_t kWsaENetReset = 10052;
constexpr int32_t kWsaEConnAborted = 10053;
constexpr int32_t kWsaEConnReset = 10054;
constexpr int32_t kWsaENoBufs = 10055;
constexpr int32_t kWsaEIsConn = 10056;
constexpr int32_t kWsaENotConn = 10057;
constexpr int32_t kWsaEShutdown = 10058;
constexpr int32_t kWsaETimedOut = 10060;
constexpr int32_t kWsaEConnRefused = 10061;
constexpr int32_t kWsaEHostUnreach = 10065;
constexpr int32_t kWsaSysNotReady = 10091;
constexpr int32_t kWsaVerNotSupported = 10092;
constexpr int32_t kWsaNotInitialised = 10093;
constexpr int32_t kWsaHostNotFound = 11001;

// The 16-byte internet socket address; port and address in network byte order.
struct SockAddrIn {
  uint16_t family;
  uint16_t port;
  uint32_t address;
  uint8_t zero[8];
};
static_assert(sizeof(SockAddrIn) == 16);

// The internet socket address of an address and port given in host byte order.
SockAddrIn InternetAddress(uint32_t address, uint16_t port);

// Which set a zero-time-out select over one socket examines.
enum class SelectSet { kRead, kWrite, kException };

// Byte order.
uint32_t HostToNet32(uint32_t value);
uint16_t HostToNet16(uint16_t value);
inline uint32_t NetToHost32(uint32_t value) {
  return HostToNet32(value);
}
inline uint16_t NetToHost16(uint16_t value) {
  return HostToNet16(value);
}

// The calls. Each answers as its Winsock namesake: 0 or a count on success, kSocketError
// (or kInvalidSocket) on failure with the code left for lastError.
struct SocketCalls {
  int32_t (*startup)(uint16_t version);  // WSAStartup: 0 or an error code
  int32_t (*cleanup)();
  int32_t (*lastError)();  // WSAGetLastError
  Socket (*socket)(int32_t family, int32_t type, int32_t protocol);
  int32_t (*setsockopt)(Socket s, int32_t level, int32_t name, const void* value, int32_t len);
  int32_t (*ioctlsocket)(Socket s, uint32_t command, uint32_t* argument);
  int32_t (*bind)(Socket s, const SockAddrIn* address);
  int32_t (*listen)(Socket s, int32_t backlog);
  Socket (*accept)(Socket s);  // no peer address asked for; the new socket is non-blocking
                               // when the listening one is
  int32_t (*connect)(Socket s, const SockAddrIn* address);
  // select with a zero time-out over one socket and one set: 1, 0 or kSocketError.
  int32_t (*selectOne)(Socket s, SelectSet set);
  int32_t (*send)(Socket s, const void* data, int32_t length, int32_t flags);
  int32_t (*recv)(Socket s, void* data, int32_t length, int32_t flags);
  int32_t (*sendto)(Socket s, const void* data, int32_t length, int32_t flags,
                    const SockAddrIn* to);
  int32_t (*recvfrom)(Socket s, void* data, int32_t length, int32_t flags, SockAddrIn* from);
  int32_t (*closesocket)(Socket s);
  int32_t (*getsockname)(Socket s, SockAddrIn* address);
  int32_t (*getpeername)(Socket s, SockAddrIn* address);
  int32_t (*gethostname)(char* name, int32_t length);
  // gethostbyname: the first address (network order) in *address; 0, or kSocketError.
  int32_t (*gethostbyname)(const char* name, uint32_t* address);
  // gethostbyaddr: the official name, zero-terminated, cut to length - 1; 0 or kSocketError.
  int32_t (*gethostbyaddr)(uint32_t address, char* name, int32_t length);
  uint32_t (*inetAddr)(const char* text);  // network order; 0xFFFFFFFF when not dotted
  // inet_ntoa into a buffer of at least 16 bytes.
  void (*inetNtoa)(uint32_t address, char* text);
  // WSAAsyncSelect(s, window, message, events); events 0 cancels.
  int32_t (*asyncSelect)(Socket s, void* window, uint32_t message, int32_t events);
  // USER32 GetParent.
  void* (*getParent)(void* window);
};

// The system's own calls (what ResetSocketCalls restores).
SocketCalls SystemSocketCalls();

// The table in force. Tests may change entries and restore them with ResetSocketCalls.
SocketCalls& Calls();
void ResetSocketCalls();
// The system's own calls (posix/ or win32/), for a test that wraps one of them.
SocketCalls SystemSocketCalls();

}  // namespace nimbus::platform
