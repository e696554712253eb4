#include "queues/queue_table.h"

#include <cstring>

namespace nimbus {

namespace {
Size EntryOffset(int32_t index) {
  return kEntriesOffset + Size(sizeof(QueueEntry)) * index;
}
}  // namespace

int32_t EntryCount(Handle table) {
  int32_t count = 0;
  std::memcpy(&count, *table, sizeof count);
  return count;
}

void SetEntryCount(Handle table, int32_t count) {
  std::memcpy(*table, &count, sizeof count);
}

QueueEntry ReadEntry(Handle table, int32_t index) {
  QueueEntry entry{};
  std::memcpy(&entry, *table + EntryOffset(index), sizeof entry);
  return entry;
}

void WriteEntry(Handle table, int32_t index, const QueueEntry& entry) {
  std::memcpy(*table + EntryOffset(index), &entry, sizeof entry);
}

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

MessageNode ReadNode(Handle node) {
  MessageNode contents{};
  std::memcpy(&contents, *node, sizeof contents);
  return contents;
}

void WriteNode(Handle node, const MessageNode& contents) {
  std::memcpy(*node, &contents, sizeof contents);
}

}  // namespace nimbus
