#include "net/session.h"

#include "net/listen_queue.h"
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

}  // namespace nimbus
