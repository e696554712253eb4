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

// Releases the record of an occupied slot (ReleaseStream), empties the slot and lowers the
// open-stream count. Answers ReleaseStream's status; an empty slot answers 0.
int16_t ReleaseSlot(PackageGlobals* globals, StreamRecord** slot);

// Handles the reuse reference of StreamOpen and StreamListen: the opened record takes slot
// `reference` (1..1023), releasing whatever it held; a failed open (null record) leaves it
// empty. Answers the reference, or 0 after a failed open. A reference outside 1..1023
// registers the record as a new stream.
int32_t ReuseSlot(PackageGlobals* globals, int32_t reference, StreamRecord* record);

}  // namespace nimbus
