#include "package/slots.h"

#include "net/streams.h"

namespace nimbus {

StreamRecord** SlotAddress(PackageGlobals* globals, int32_t reference) {
  if (globals == nullptr || reference < kFirstReference || reference > kLastReference) {
    return nullptr;
  }
  return &globals->slots[reference];
}

StreamRecord** CheckReference(PackageGlobals* globals, int32_t reference) {
  StreamRecord** slot = SlotAddress(globals, reference);
  return (slot != nullptr && *slot != nullptr) ? slot : nullptr;
}

int32_t RegisterStream(PackageGlobals* globals, StreamRecord* record) {
  if (record == nullptr) return 0;
  if (globals != nullptr) {
    for (int32_t reference = kFirstReference; reference <= kLastReference; ++reference) {
      if (globals->slots[reference] != nullptr) continue;
      globals->slots[reference] = record;
      globals->openStreamCount += 1;
      return reference;
    }
  }
  // No free slot: the stream just opened would be unreachable, so it goes at once.
  ReleaseStream(&record);
  return 0;
}

int16_t ReleaseSlot(PackageGlobals* globals, StreamRecord** slot) {
  if (globals == nullptr || slot == nullptr || *slot == nullptr) return 0;
  const int16_t status = ReleaseStream(slot);
  globals->openStreamCount -= 1;
  return status;
}

int32_t ReuseSlot(PackageGlobals* globals, int32_t reference, StreamRecord* record) {
  StreamRecord** slot = SlotAddress(globals, reference);
  if (slot == nullptr) return RegisterStream(globals, record);
  ReleaseSlot(globals, slot);
  if (record == nullptr) return 0;
  *slot = record;
  globals->openStreamCount += 1;
  return reference;
}

}  // namespace nimbus
