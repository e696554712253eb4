// The Winsock session: started at load, ended at unload. It owns the event window to which
// socket notifications are posted, the message filter that receives them, the listen table
// through which passive opens on one local port share a listening socket, the accept pass,
// and the cached local address.
#pragma once

#include <cstdint>

#include "host/toolbox.h"
#include "net/stream_record.h"
#include "platform/sockets.h"

namespace nimbus {

constexpr int32_t kSessionStartFailed = -5550;
constexpr uint32_t kSocketNotification = 14566;  // 0x38E6, for every listening socket
constexpr int32_t kListenTableSize = 1024;
constexpr int32_t kListenBacklog = 100;
constexpr char kNoParentWindowMessage[] =
    "Nimbus error: Couldn't get parent window for Winsock events !";

// One listening socket and the streams queued on it, first to last in the order of their
// passive opens. Free when listeningSocket is 0; waitingCount is the queue's length.
struct ListenEntry {
  platform::Socket listeningSocket;
  int32_t waitingCount;
  uint32_t localAddress;  // host byte order, as the passive open gave it (0 = any)
  int32_t localPort;      // the 16-bit port, sign-extended; for port 0 the one chosen
  StreamRecord* firstWaiting;
  StreamRecord* lastWaiting;
};

// 0, or kSessionStartFailed when WSAStartup fails (the start goes on regardless).
int32_t StartWinsockSession();
// Closes every listening socket, unregisters the filter and calls WSACleanup.
void EndWinsockSession();
// The package's window-message filter: runs the accept pass for a socket notification
// addressed to the event window and answers 0; answers 1 for everything else.
int32_t SocketMessageFilter(void* window, HostMessage* message);

ListenEntry* ListenTable();  // kListenTableSize entries
void* EventWindow();         // null when none was found
// Set once from the first active open found connected; read when the local host does not
// resolve. Host byte order.
uint32_t CachedLocalAddress();
void SetCachedLocalAddress(uint32_t address);

}  // namespace nimbus
