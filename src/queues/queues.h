// Keyed first-in first-out text queues, shared by every 4D process through the queue table
// whose handle lives in the package's global record. A queue comes into being at its first
// push; its entry turns free at QueueClear and is reused by a later push of any key.
//
// Every operation takes the queues' blocks and never keeps a pointer into a block across an
// allocation, so blocks may move freely between and during calls.
#pragma once

#include <cstdint>

#include "host/toolbox.h"

namespace nimbus {

// The queues' blocks as the global record keeps them: the queue table (null until the first
// push) and its index (see queue_index.h), which finds a key's entry without a scan. The
// index is derived from the table; it is null when it could not be had, and then rebuilt.
struct QueueStore {
  Handle table;
  Handle index;
};

// Messages waiting under a key; 0 when no queue has that key (or there is no table).
int32_t QueueCount(QueueStore& queues, int32_t key);

// Appends a copy of the first `length` bytes of `text` (a null block or a length of 0 or less
// queues an empty message). Creates the table at the first push. When memory runs out the
// queues stay exactly as they were and nothing leaks; the caller's block is never queued
// itself.
void QueuePush(QueueStore& queues, int32_t key, Handle text, int32_t length);

// Removes the oldest message of a key and hands its block to the caller, who owns it from then
// on; *length gets the block's size. Null (and *length 0) when the queue is empty or unknown.
Handle QueuePop(QueueStore& queues, int32_t key, int16_t* length);

// Disposes of every message of a key and frees its entry; nothing happens for an unknown key.
void QueueClear(QueueStore& queues, int32_t key);

// Disposes of every queue, every message, the table and the index, and sets both handles to
// null. Called when the package is unloaded.
void DisposeQueueTable(QueueStore& queues);

}  // namespace nimbus
