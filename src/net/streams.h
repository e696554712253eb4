// TCP stream records: creation, opens, polling, close, release, queries.
#pragma once

#include <cstdint>

#include "net/stream_record.h"

namespace nimbus {

// A slot is the address of a variable holding a StreamRecord pointer or null: normally an
// entry of the stream slot table, for internal calls a local variable.
using Slot = StreamRecord**;

// Closes the record's socket unless it is already closed, unlinks it from a listen queue,
// disposes of its pending output and the record, and empties the slot. 0, or -1 when the
// close failed; an empty slot answers 0.
int16_t ReleaseStream(Slot slot);

}  // namespace nimbus
