// The layout of the queue table block and of its message nodes.
//
// Table block: an entry count (int32), then that many entries. The entries start at the first
// offset aligned for them: 4 in the 32-bit package, where an entry is 16 bytes, so the block is
// 4 + 16 x count bytes there; handles are pointer-sized, so elsewhere both grow. Entries are
// copied in and out, never used in place, so no pointer into the block outlives
// an allocation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "host/toolbox.h"

namespace nimbus {

struct QueueEntry {
  int32_t key;
  int32_t messageCount;  // negative (kFreeEntry) for an entry no key uses
  Handle firstMessage;   // oldest node; null when the queue is empty
  Handle lastMessage;    // youngest node; null when the queue is empty
};

// A message node block: the younger neighbour (null for the last) and the text's block.
struct MessageNode {
  Handle next;
  Handle text;
};

constexpr int32_t kFreeEntry = -1;
constexpr int32_t kNoEntry = -1;  // look-up result when no entry has the key

constexpr Size kEntriesOffset =
    Size((sizeof(int32_t) + alignof(QueueEntry) - 1) / alignof(QueueEntry) * alignof(QueueEntry));

// The documented sizes of the 32-bit package.
static_assert(sizeof(Handle) != 4 || (sizeof(QueueEntry) == 16 && kEntriesOffset == 4));
static_assert(sizeof(Handle) != 4 || sizeof(MessageNode) == 8);

constexpr Size TableSize(int32_t entryCount) {
  return kEntriesOffset + Size(sizeof(QueueEntry)) * entryCount;
}

// The accessors are inline: a push or pop makes a few of them.
inline int32_t EntryCount(Handle table) {
  int32_t count = 0;
  std::memcpy(&count, *table, sizeof count);
  return count;
}
inline void SetEntryCount(Handle table, int32_t count) {
  std::memcpy(*table, &count, sizeof count);
}
// Field by field, so that an entry changed between a read and a write stays in registers
// (copied whole, its bytes would go through memory and be reloaded in wider pieces than were
// stored, which stalls).
inline QueueEntry ReadEntry(Handle table, int32_t index) {
  const char* at = *table + kEntriesOffset + Size(sizeof(QueueEntry)) * index;
  QueueEntry entry{};
  std::memcpy(&entry.key, at + offsetof(QueueEntry, key), sizeof entry.key);
  std::memcpy(&entry.messageCount, at + offsetof(QueueEntry, messageCount),
              sizeof entry.messageCount);
  std::memcpy(&entry.firstMessage, at + offsetof(QueueEntry, firstMessage),
              sizeof entry.firstMessage);
  std::memcpy(&entry.lastMessage, at + offsetof(QueueEntry, lastMessage), sizeof entry.lastMessage);
  return entry;
}
inline void WriteEntry(Handle table, int32_t index, const QueueEntry& entry) {
  char* at = *table + kEntriesOffset + Size(sizeof(QueueEntry)) * index;
  std::memcpy(at + offsetof(QueueEntry, key), &entry.key, sizeof entry.key);
  std::memcpy(at + offsetof(QueueEntry, messageCount), &entry.messageCount,
              sizeof entry.messageCount);
  std::memcpy(at + offsetof(QueueEntry, firstMessage), &entry.firstMessage,
              sizeof entry.firstMessage);
  std::memcpy(at + offsetof(QueueEntry, lastMessage), &entry.lastMessage, sizeof entry.lastMessage);
}

// Index of the first entry in use with this key, or kNoEntry. A linear scan.
int32_t FindEntry(Handle table, int32_t key);
// Index of the first free entry, or kNoEntry.
int32_t FindFreeEntry(Handle table);

inline MessageNode ReadNode(Handle node) {
  MessageNode contents{};
  std::memcpy(&contents.next, *node + offsetof(MessageNode, next), sizeof contents.next);
  std::memcpy(&contents.text, *node + offsetof(MessageNode, text), sizeof contents.text);
  return contents;
}
inline void WriteNode(Handle node, const MessageNode& contents) {
  std::memcpy(*node + offsetof(MessageNode, next), &contents.next, sizeof contents.next);
  std::memcpy(*node + offsetof(MessageNode, text), &contents.text, sizeof contents.text);
}

}  // namespace nimbus
