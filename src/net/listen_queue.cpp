#include "net/listen_queue.h"

#include "net/statistics.h"

namespace nimbus {
namespace {

using platform::Calls;
using platform::kInvalidSocket;
using platform::Socket;

ListenEntry* EntryOfSocket(Socket listening) {
  if (listening == 0 || listening == kInvalidSocket) return nullptr;
  ListenEntry* table = ListenTable();
  for (int32_t i = 0; i < kListenTableSize; ++i) {
    if (table[i].listeningSocket == listening) return &table[i];
  }
  return nullptr;
}

ListenEntry* EntryFor(uint16_t localPort, uint32_t localAddress) {
  // Ports compare as the sign-extended 16-bit values the entries keep.
  const int32_t port = int16_t(localPort);
  ListenEntry* table = ListenTable();
  for (int32_t i = 0; i < kListenTableSize; ++i) {
    ListenEntry& entry = table[i];
    if (entry.listeningSocket != 0 && entry.localPort == port &&
        entry.localAddress == localAddress) {
      return &entry;
    }
  }
  return nullptr;
}

ListenEntry* FreeEntry() {
  ListenEntry* table = ListenTable();
  for (int32_t i = 0; i < kListenTableSize; ++i) {
    if (table[i].listeningSocket == 0) return &table[i];
  }
  return nullptr;
}

bool IsQueued(const ListenEntry& entry, const StreamRecord* record) {
  for (const StreamRecord* s = entry.firstWaiting; s != nullptr; s = s->nextWaiting) {
    if (s == record) return true;
  }
  return false;
}

// Unlinks record from the entry's queue, keeping first and last right. False when it is
// not in this queue.
bool Unlink(ListenEntry& entry, StreamRecord* record) {
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
    return true;
  }
  return false;
}

// One stream fewer waits on the entry; the last one takes the listening socket with it.
void CountOneLess(ListenEntry& entry) {
  entry.waitingCount -= 1;
  if (entry.waitingCount <= 0) FreeListenEntry(entry);
}

// Gives a waiting stream its accepted connection: state established, counts 0.
void HandConnection(StreamRecord* record, Socket accepted) {
  record->socket = accepted;
  if (record->state < StateEstablished) record->state = StateEstablished;
  record->bytesSent = 0;
  record->lastReceiveSize = 0;
  record->nextWaiting = nullptr;
  AddToCounter(ConnectionsAccepted, 1);
}

void Append(ListenEntry& entry, StreamRecord* record) {
  record->nextWaiting = nullptr;
  if (entry.lastWaiting != nullptr) {
    entry.lastWaiting->nextWaiting = record;
  } else {
    entry.firstWaiting = record;
  }
  entry.lastWaiting = record;
}

// The port the system gave a listening socket bound to port 0; 0 when it cannot tell.
uint16_t ChosenPort(Socket listening) {
  platform::SockAddrIn bound{};
  if (Calls().getsockname(listening, &bound) != 0) return 0;
  return platform::NetToHost16(bound.port);
}

}  // namespace

bool QueueOnListener(StreamRecord* record, uint16_t localPort, uint32_t localAddress) {
  // Port 0 asks for a port of the system's choosing, a new one each time: such an open never
  // joins another's socket. Its entry is known afterwards by the port the system chose.
  ListenEntry* shared = localPort != 0 ? EntryFor(localPort, localAddress) : nullptr;
  if (shared != nullptr) {
    // The shared socket keeps the options of the stream that created it.
    Calls().closesocket(record->socket);
    record->socket = shared->listeningSocket;
    shared->waitingCount += 1;
    Append(*shared, record);
    return true;
  }
  ListenEntry* entry = FreeEntry();
  if (entry == nullptr) return true;  // table full: the stream waits for nothing
  platform::SockAddrIn local{};
  local.family = uint16_t(platform::kAfInet);
  local.port = platform::HostToNet16(localPort);
  local.address = platform::HostToNet32(localAddress);
  if (Calls().bind(record->socket, &local) != 0) return false;
  if (Calls().listen(record->socket, kListenBacklog) != 0) return false;
  const uint16_t port = localPort != 0 ? localPort : ChosenPort(record->socket);
  *entry = ListenEntry{record->socket, 1, localAddress, int16_t(port), nullptr, nullptr};
  if (EventWindow() != nullptr) {
    Calls().asyncSelect(record->socket, EventWindow(), kSocketNotification, platform::kFdAccept);
  }
  Append(*entry, record);
  return true;
}

void LeaveListenQueue(StreamRecord* record) {
  ListenEntry* entry = EntryOfSocket(record->socket);
  if (entry == nullptr || !Unlink(*entry, record)) return;
  // The shared socket stays with the entry (or goes with it); the record owns none now.
  record->socket = kInvalidSocket;
  CountOneLess(*entry);
}

void TakeWaitingConnection(StreamRecord* record) {
  ListenEntry* entry = EntryOfSocket(record->socket);
  if (entry == nullptr || !IsQueued(*entry, record)) return;
  const Socket accepted = Calls().accept(entry->listeningSocket);
  if (accepted == kInvalidSocket) return;
  Unlink(*entry, record);
  HandConnection(record, accepted);
  CountOneLess(*entry);
}

void AcceptPending() {
  ListenEntry* table = ListenTable();
  for (int32_t i = 0; i < kListenTableSize; ++i) {
    ListenEntry& entry = table[i];
    while (entry.listeningSocket != 0 && entry.firstWaiting != nullptr) {
      const Socket accepted = Calls().accept(entry.listeningSocket);
      if (accepted == kInvalidSocket) break;  // backlog empty
      StreamRecord* record = entry.firstWaiting;
      Unlink(entry, record);
      HandConnection(record, accepted);
      CountOneLess(entry);
    }
  }
}

void FreeListenEntry(ListenEntry& entry) {
  if (EventWindow() != nullptr) Calls().asyncSelect(entry.listeningSocket, EventWindow(), 0, 0);
  Calls().closesocket(entry.listeningSocket);
  entry = ListenEntry{};
}

}  // namespace nimbus
