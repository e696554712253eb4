// Recognising a stream across yields. During a yield another 4D process may release the
// stream in a slot, and a new stream may take the slot again, its record even at the same
// address; a routine that yields checks it still works on the stream it started with.
#pragma once

#include <cstdint>

#include "net/streams.h"

namespace nimbus {

struct StreamIdentity {
  const StreamRecord* record;
  uint32_t mark;
};

// The identity of the stream in the slot (which must hold one), marking its record first
// when no routine has marked it yet.
StreamIdentity IdentifyStream(Slot slot);

// True while the slot holds the stream identified.
bool IsSameStream(Slot slot, const StreamIdentity& identity);

}  // namespace nimbus
