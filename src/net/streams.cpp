#include "net/streams.h"

#include "host/toolbox.h"
#include "net/session.h"
#include "net/statistics.h"

namespace nimbus {
namespace {

using platform::Calls;
using platform::kInvalidSocket;

// Takes a stream that waits for a connection out of its listen queue. The listening socket
// is closed only when no stream waits on it any more.
void LeaveListenQueue(StreamRecord* record) {
  if (record->state != StateListening) return;
  ListenEntry* table = ListenTable();
  for (int32_t i = 0; i < kListenTableSize; ++i) {
    ListenEntry& entry = table[i];
    if (entry.listeningSocket == 0 || entry.listeningSocket != record->socket) continue;
    StreamRecord* previous = nullptr;
    for (StreamRecord* s = entry.firstWaiting; s != nullptr; previous = s, s = s->nextWaiting) {
      if (s != record) continue;
      if (previous == nullptr) {
        entry.firstWaiting = s->nextWaiting;
      } else {
        previous->nextWaiting = s->nextWaiting;
      }
      if (entry.lastWaiting == s) entry.lastWaiting = previous;
      record->nextWaiting = nullptr;
      // The shared socket stays with the entry; the record no longer owns one.
      record->socket = kInvalidSocket;
      entry.waitingCount -= 1;
      if (entry.waitingCount <= 0) FreeListenEntry(entry);
      return;
    }
  }
}

}  // namespace

int16_t ReleaseStream(Slot slot) {
  if (slot == nullptr || *slot == nullptr) return 0;
  StreamRecord* record = *slot;
  int16_t status = 0;
  // A stream that StreamClose already closed (even a broken one, whose state stayed 20) has
  // no socket left: it is neither closed again nor counted.
  if (record->state != StateClosed && record->socket != kInvalidSocket) {
    AddToCounter(ReleasesClosing, 1);
  }
  LeaveListenQueue(record);
  if (record->socket != kInvalidSocket) {
    if (Calls().closesocket(record->socket) != 0) status = -1;
    record->socket = kInvalidSocket;
  }
  if (record->pendingOutput.handle != nullptr) DisposeHandle(record->pendingOutput.handle);
  DisposePtr(reinterpret_cast<Ptr>(record));
  *slot = nullptr;
  return status;
}

}  // namespace nimbus
