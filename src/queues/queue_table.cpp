#include "queues/queue_table.h"

#include <cstring>

namespace nimbus {

int32_t FindEntry(Handle table, int32_t key) {
  // Nothing allocates during the scan, so the block stays where *table says.
  const int32_t count = EntryCount(table);
  for (int32_t i = 0; i < count; ++i) {
    const QueueEntry entry = ReadEntry(table, i);
    if (entry.key == key && entry.messageCount >= 0) return i;
  }
  return kNoEntry;
}

int32_t FindFreeEntry(Handle table) {
  const int32_t count = EntryCount(table);
  for (int32_t i = 0; i < count; ++i) {
    if (ReadEntry(table, i).messageCount < 0) return i;
  }
  return kNoEntry;
}

}  // namespace nimbus
