// The stream slot table: the reference check, registration of new streams and the
// release of slots. The open-stream count always equals the number of occupied slots.
#pragma once

#include <cstdint>

#include "package/globals.h"

namespace nimbus {

// The address of slot r when 1 <= r <= 1023 (occupied or not); null otherwise.
StreamRecord** SlotAddress(PackageGlobals* globals, int32_t reference);

// The slot of r when r is a valid reference (in range and occupied); null otherwise.
StreamRecord** CheckReference(PackageGlobals* globals, int32_t reference);

// Stores a freshly opened record in the lowest free slot and answers its number. With no
// free slot the record is released (its socket closed) and the answer is 0.
int32_t RegisterStream(PackageGlobals* globals, StreamRecord* record);

// Empties a slot after its record has been released or closed; lowers the count when the
// slot was occupied.
void ForgetSlot(PackageGlobals* globals, StreamRecord** slot);

// Handles the reuse reference of StreamOpen and StreamListen (1..1023 only): the opened
// record takes that slot, releasing whatever it held; a failed open empties it. Answers the
// reference, or 0 after a failed open.
int32_t ReuseSlot(PackageGlobals* globals, int32_t reference, StreamRecord* record);

}  // namespace nimbus
