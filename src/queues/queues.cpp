// Keyed text queues: push, pop, count, clear, and disposal of the whole table.
#include "queues/queues.h"

#include <algorithm>

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

// The entry of a key, made from a free entry or by growing the table; kNoEntry when the
// table cannot grow (the table is then unchanged).
int32_t EntryForPush(Handle table, int32_t key) {
  int32_t index = FindEntry(table, key);
  if (index != kNoEntry) return index;
  index = FindFreeEntry(table);
  if (index == kNoEntry) {
    const int32_t count = EntryCount(table);
    SetHandleSize(table, TableSize(count + 1));
    if (MemError() != noErr) return kNoEntry;
    SetEntryCount(table, count + 1);
    index = count;
  }
  WriteEntry(table, index, QueueEntry{key, 0, nullptr, nullptr});
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

int32_t QueueCount(Handle queueTable, int32_t key) {
  if (queueTable == nullptr) return 0;
  const int32_t index = FindEntry(queueTable, key);
  return index == kNoEntry ? 0 : ReadEntry(queueTable, index).messageCount;
}

void QueuePush(Handle* queueTable, int32_t key, Handle text, int32_t length) {
  // Every allocation comes before the first change to the queues, so running out of memory
  // at any step leaves them as they were.
  Handle copy = CopyText(text, length);
  if (copy == nullptr) return;
  Handle node = NewHandle(Size(sizeof(MessageNode)));
  if (node == nullptr) {
    DisposeHandle(copy);
    return;
  }
  if (*queueTable == nullptr) {
    Handle table = NewHandleClear(TableSize(0));
    if (table == nullptr) {
      DisposeHandle(node);
      DisposeHandle(copy);
      return;
    }
    *queueTable = table;
  }
  Handle table = *queueTable;
  const int32_t index = EntryForPush(table, key);
  if (index == kNoEntry) {
    DisposeHandle(node);
    DisposeHandle(copy);
    return;
  }

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

Handle QueuePop(Handle queueTable, int32_t key, int16_t* length) {
  *length = 0;
  if (queueTable == nullptr) return nullptr;
  const int32_t index = FindEntry(queueTable, key);
  if (index == kNoEntry) return nullptr;
  QueueEntry entry = ReadEntry(queueTable, index);
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
  WriteEntry(queueTable, index, entry);
  DisposeHandle(node);

  // Copies never pass kMaxTextLength, so the size fits the Text's 16-bit length.
  *length = int16_t(GetHandleSize(contents.text));
  return contents.text;
}

void QueueClear(Handle queueTable, int32_t key) {
  if (queueTable == nullptr) return;
  const int32_t index = FindEntry(queueTable, key);
  if (index == kNoEntry) return;
  // The entry is copied out, so disposing of the messages holds no pointer into the table.
  DisposeMessages(ReadEntry(queueTable, index).firstMessage);
  WriteEntry(queueTable, index, QueueEntry{0, kFreeEntry, nullptr, nullptr});
}

void DisposeQueueTable(Handle* queueTable) {
  Handle table = *queueTable;
  if (table == nullptr) return;
  const int32_t count = EntryCount(table);
  for (int32_t i = 0; i < count; ++i) {
    const QueueEntry entry = ReadEntry(table, i);
    if (entry.messageCount >= 0) DisposeMessages(entry.firstMessage);
  }
  DisposeHandle(table);
  *queueTable = nullptr;
}

}  // namespace nimbus
