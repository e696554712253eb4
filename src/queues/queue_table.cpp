#include "queues/queue_table.h"

namespace nimbus {

namespace {
Size EntryOffset(int32_t index) {
  return kEntriesOffset + Size(sizeof(QueueEntry)) * index;
}
}  // namespace

int32_t EntryCount(Handle table) {
  int32_t count = 0;
  BlockMove(*table, &count, sizeof count);
  return count;
}

void SetEntryCount(Handle table, int32_t count) {
  BlockMove(&count, *table, sizeof count);
}

QueueEntry ReadEntry(Handle table, int32_t index) {
  QueueEntry entry{};
  BlockMove(*table + EntryOffset(index), &entry, sizeof entry);
  return entry;
}

void WriteEntry(Handle table, int32_t index, const QueueEntry& entry) {
  BlockMove(&entry, *table + EntryOffset(index), sizeof entry);
}

int32_t FindEntry(Handle table, int32_t key) {
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
  BlockMove(*node, &contents, sizeof contents);
  return contents;
}

void WriteNode(Handle node, const MessageNode& contents) {
  BlockMove(&contents, *node, sizeof contents);
}

}  // namespace nimbus
