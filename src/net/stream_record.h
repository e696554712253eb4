// StreamRecord: the record behind a stream reference, for TCP streams and datagram
// endpoints alike. A fixed record from the toolbox, owned by its slot until released.
#pragma once

#include <cstdint>

#include "host/fourd_params.h"
#include "platform/sockets.h"

namespace nimbus {

// Connection states. The state never decreases.
enum StreamState : int32_t {
  StateNew = 0,
  StateListening = 2,
  StateConnecting = 6,
  StateEstablished = 8,
  StateClosed = 14,
  StateBroken = 20,
};

enum StreamKind : int16_t {
  kKindStream = 0,
  kKindDatagram = 1,
};

struct StreamRecord {
  platform::Socket socket;  // kInvalidSocket once closed: every socket is closed once
  int32_t state;
  int32_t bytesSent;        // on the current connection, by SendTextRecord
  int32_t lastReceiveSize;  // byte count of the latest successful receive
  int16_t kind;
  FourDText pendingOutput;    // text buffered by StreamSendText, not yet sent
  StreamRecord* nextWaiting;  // chains the streams queued on one listen-table entry
  // 0 until a routine that yields marks the record, so that after a yield it can tell its
  // stream from a new record that took the same slot at the same address.
  uint32_t identityMark;
};

}  // namespace nimbus
