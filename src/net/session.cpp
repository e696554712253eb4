#include "net/session.h"

#include "net/statistics.h"

namespace nimbus {
namespace {

constexpr uint16_t kWinsockVersion = 0x0101;

using platform::Calls;
using platform::Socket;

struct Session {
  void* eventWindow = nullptr;
  uint32_t cachedLocalAddress = 0;
  ListenEntry listenTable[kListenTableSize];
};

Session gSession;

// Finds 4D's frame window: the parent of a temporary host window's native handle.
void* FindEventWindow() {
  Rect bounds;
  SetRect(&bounds, 0, 0, 0, 0);
  const unsigned char emptyTitle[1] = {0};
  HostWindow* window = NewHostWindow(&bounds, emptyTitle);
  void* parent = nullptr;
  if (window != nullptr) parent = Calls().getParent(HostWindowNative(window));
  if (parent == nullptr) ShowMessage(kNoParentWindowMessage);
  if (window != nullptr) DisposeHostWindow(window);
  return parent;
}

}  // namespace

ListenEntry* ListenTable() {
  return gSession.listenTable;
}
void* EventWindow() {
  return gSession.eventWindow;
}
uint32_t CachedLocalAddress() {
  return gSession.cachedLocalAddress;
}
void SetCachedLocalAddress(uint32_t address) {
  gSession.cachedLocalAddress = address;
}

int32_t StartWinsockSession() {
  for (ListenEntry& entry : gSession.listenTable) entry.listeningSocket = 0;
  int32_t status = 0;
  if (Calls().startup(kWinsockVersion) != 0) status = kSessionStartFailed;
  SetMessageFilter(SocketMessageFilter);
  gSession.eventWindow = FindEventWindow();
  ResetStatistics();
  return status;
}

void EndWinsockSession() {
  // The filter goes first: the package may be unmapped right after this returns.
  SetMessageFilter(nullptr);
  for (ListenEntry& entry : gSession.listenTable) {
    if (entry.listeningSocket == 0) continue;
    Calls().asyncSelect(entry.listeningSocket, gSession.eventWindow, 0, 0);
    const int32_t on = 1;
    Calls().setsockopt(entry.listeningSocket, platform::kSolSocket, platform::kSoReuseAddr, &on,
                       sizeof on);
    Calls().closesocket(entry.listeningSocket);
    // Forget the socket: a later load starts from a clean table.
    entry = ListenEntry{};
  }
  Calls().cleanup();
}

int32_t SocketMessageFilter(void* window, HostMessage* message) {
  if (gSession.eventWindow == nullptr || message == nullptr || window != gSession.eventWindow ||
      message->message != kSocketNotification) {
    return 1;
  }
  AcceptPending();
  return 0;
}

void HandConnection(StreamRecord* record, Socket accepted) {
  record->socket = accepted;
  record->state = StateEstablished;
  record->bytesSent = 0;
  record->lastReceiveSize = 0;
  record->nextWaiting = nullptr;
  AddToCounter(ConnectionsAccepted, 1);
}

void FreeListenEntry(ListenEntry& entry) {
  if (gSession.eventWindow != nullptr) {
    Calls().asyncSelect(entry.listeningSocket, gSession.eventWindow, 0, 0);
  }
  Calls().closesocket(entry.listeningSocket);
  entry.listeningSocket = 0;
  entry.waitingCount = 0;
  entry.localPort = 0;
  entry.firstWaiting = nullptr;
  entry.lastWaiting = nullptr;
}

void AcceptPending() {
  for (ListenEntry& entry : gSession.listenTable) {
    while (entry.listeningSocket != 0 && entry.firstWaiting != nullptr) {
      const Socket accepted = Calls().accept(entry.listeningSocket);
      if (accepted == platform::kInvalidSocket) break;  // backlog empty
      StreamRecord* record = entry.firstWaiting;
      entry.firstWaiting = record->nextWaiting;
      if (entry.firstWaiting == nullptr) entry.lastWaiting = nullptr;
      HandConnection(record, accepted);
      entry.waitingCount -= 1;
      if (entry.waitingCount <= 0) FreeListenEntry(entry);
    }
  }
}

}  // namespace nimbus
