// Keyed text queues: push, pop, count, clear, and disposal of the whole table.
#include "queues/queues.h"

#include <algorithm>

#include "queues/queue_index.h"
#include "queues/queue_table.h"

namespace nimbus {

namespace {

constexpr int32_t kMaxTextLength = 32767;  // a 4D Text never holds more

// A new block holding the first `length` bytes of `text`, or null when memory runs out.
Handle CopyText(Handle text, int32_t length) {
  int32_t n = 0;
  if (text != nullptr && *text != nullptr && length > 0) {
    n = std::min({length, int32_t(GetHandleSize(text)), kMaxTextLength});
  }
  Handle copy = NewHandle(n);
  if (copy == nullptr) return nullptr;
  // Read *text only now: the allocation may have moved the caller's block.
  if (n > 0) BlockMove(*text, *copy, n);
  return copy;
}

// Rebuilds a dropped index when there is a table and a block for it. Answers whether the
// queues have an index now; without one, look-ups scan the table.
bool EnsureIndex(QueueStore& queues) {
  if (queues.index == nullptr && queues.table != nullptr)
    queues.index = BuildQueueIndex(queues.table, 1, 1);
  return queues.index != nullptr;
}

void DisposeIndex(QueueStore& queues) {
  if (queues.index != nullptr) DisposeHandle(queues.index);
  queues.index = nullptr;
}

// The entry in use with this key, or kNoEntry.
int32_t LookUp(QueueStore& queues, int32_t key) {
  if (queues.table == nullptr) return kNoEntry;
  return EnsureIndex(queues) ? IndexedEntry(queues.index, key) : FindEntry(queues.table, key);
}

// The entry of a key, made from the lowest free entry or by growing the table; kNoEntry when
// the table cannot grow (the table is then unchanged).
int32_t EntryForPush(QueueStore& queues, int32_t key) {
  int32_t index = LookUp(queues, key);
  if (index != kNoEntry) return index;
  Handle table = queues.table;
  const int32_t count = EntryCount(table);
  // Room for the key and for the entry the table may grow by; an index that cannot grow
  // is dropped, and the table is scanned instead.
  if (queues.index != nullptr) queues.index = ReserveQueueIndex(queues.index, count + 1);
  index = queues.index != nullptr ? TakeLowestFreeEntry(queues.index) : FindFreeEntry(table);
  if (index == kNoEntry) {
    SetHandleSize(table, TableSize(count + 1));
    if (MemError() != noErr) return kNoEntry;
    SetEntryCount(table, count + 1);
    index = count;
  }
  WriteEntry(table, index, QueueEntry{key, 0, nullptr, nullptr});
  if (queues.index != nullptr) IndexKey(queues.index, key, index);
  return index;
}

void DisposeMessages(Handle firstNode) {
  Handle node = firstNode;
  while (node != nullptr) {
    const MessageNode contents = ReadNode(node);
    if (contents.text != nullptr) DisposeHandle(contents.text);
    DisposeHandle(node);
    node = contents.next;
  }
}

}  // namespace

int32_t QueueCount(QueueStore& queues, int32_t key) {
  const int32_t index = LookUp(queues, key);
  return index == kNoEntry ? 0 : ReadEntry(queues.table, index).messageCount;
}

void QueuePush(QueueStore& queues, int32_t key, Handle text, int32_t length) {
  // Every allocation comes before the first change to the queues, so running out of memory
  // at any step leaves them as they were.
  Handle copy = CopyText(text, length);
  if (copy == nullptr) return;
  Handle node = NewHandle(Size(sizeof(MessageNode)));
  if (node == nullptr) {
    DisposeHandle(copy);
    return;
  }
  const bool newTable = queues.table == nullptr;
  if (newTable) {
    queues.table = NewHandleClear(TableSize(0));
    if (queues.table == nullptr) {
      DisposeHandle(node);
      DisposeHandle(copy);
      return;
    }
  }
  const int32_t index = EntryForPush(queues, key);
  if (index == kNoEntry) {
    DisposeHandle(node);
    DisposeHandle(copy);
    if (newTable) {  // back to no table at all
      DisposeIndex(queues);
      DisposeHandle(queues.table);
      queues.table = nullptr;
    }
    return;
  }

  Handle table = queues.table;
  WriteNode(node, MessageNode{nullptr, copy});
  QueueEntry entry = ReadEntry(table, index);
  if (entry.lastMessage != nullptr) {
    MessageNode last = ReadNode(entry.lastMessage);
    last.next = node;
    WriteNode(entry.lastMessage, last);
  }
  entry.lastMessage = node;
  if (entry.firstMessage == nullptr) entry.firstMessage = node;
  entry.messageCount += 1;
  WriteEntry(table, index, entry);
}

Handle QueuePop(QueueStore& queues, int32_t key, int16_t* length) {
  *length = 0;
  const int32_t index = LookUp(queues, key);
  if (index == kNoEntry) return nullptr;
  Handle table = queues.table;
  QueueEntry entry = ReadEntry(table, index);
  if (entry.messageCount <= 0 || entry.firstMessage == nullptr) return nullptr;

  Handle node = entry.firstMessage;
  const MessageNode contents = ReadNode(node);
  entry.firstMessage = contents.next;
  entry.messageCount -= 1;
  if (entry.messageCount == 0 || entry.firstMessage == nullptr) {
    entry.firstMessage = nullptr;
    entry.lastMessage = nullptr;
    entry.messageCount = 0;
  }
  WriteEntry(table, index, entry);
  DisposeHandle(node);

  // Copies never pass kMaxTextLength, so the size fits the Text's 16-bit length.
  *length = int16_t(GetHandleSize(contents.text));
  return contents.text;
}

void QueueClear(QueueStore& queues, int32_t key) {
  const int32_t index = LookUp(queues, key);
  if (index == kNoEntry) return;
  // The entry is copied out, so disposing of the messages holds no pointer into the table.
  DisposeMessages(ReadEntry(queues.table, index).firstMessage);
  WriteEntry(queues.table, index, QueueEntry{0, kFreeEntry, nullptr, nullptr});
  if (queues.index != nullptr) {
    UnindexKey(queues.index, key);
    AddFreeEntry(queues.index, index);
  }
}

void DisposeQueueTable(QueueStore& queues) {
  DisposeIndex(queues);
  Handle table = queues.table;
  if (table == nullptr) return;
  const int32_t count = EntryCount(table);
  for (int32_t i = 0; i < count; ++i) {
    const QueueEntry entry = ReadEntry(table, i);
    if (entry.messageCount >= 0) DisposeMessages(entry.firstMessage);
  }
  DisposeHandle(table);
  queues.table = nullptr;
}

}  // namespace nimbus
