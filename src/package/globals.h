// PackageGlobals: the package's one global record, kept in a zero-filled block that load
// locks for good, so addresses inside it (the slots above all) stay valid across yields.
#pragma once

#include <cstdint>

#include "host/toolbox.h"
#include "net/stream_record.h"
#include "queues/queues.h"

namespace nimbus {

constexpr int32_t kSlotCount = 1024;  // slot 0 is never used; references are 1..1023
constexpr int32_t kFirstReference = 1;
constexpr int32_t kLastReference = kSlotCount - 1;

struct PackageGlobals {
  StreamRecord* slots[kSlotCount];
  int16_t openStreamCount;
  QueueStore queues;           // owned by the queues; the table is null until the first push
  int32_t sessionStartStatus;  // 0, or kSessionStartFailed
};

}  // namespace nimbus
