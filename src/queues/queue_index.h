// The queue index: finds a key's entry in the queue table, and the table's lowest free entry,
// without scanning the table.
//
// It is derived from the table and kept in its own relocatable block: a hash of the keys in
// use (open addressing, linear probing, at most half full) to their entry, and a min-heap of
// the free entries. The table stays the record of the queues: whenever the index cannot be
// had (no block for it, or none to grow it into) it is dropped, the operations scan the table
// as they would without it, and the next operation that can allocate rebuilds it from the
// table.
//
// Block layout: a header of four int32 (hash capacity, keys, free entries, heap capacity),
// then `capacity` slots of {key, entry} (entry -1 when the slot is empty), then the heap.
// Nothing keeps a pointer into the block across an allocation.
#pragma once

#include <cstdint>

#include "host/toolbox.h"

namespace nimbus {

// Builds an index of every entry of the table, with room for `extraKeys` more keys and
// `extraEntries` more entries. Null when no block can be had.
Handle BuildQueueIndex(Handle table, int32_t extraKeys, int32_t extraEntries);

// Makes room for one more key, and for `entries` free entries (the table's entry count once
// the caller has grown it), so that the next IndexKey and every AddFreeEntry up to then need
// no allocation. Answers the index, moved to a bigger block if it had to grow, or null when
// there was no block to grow into (the old index is then disposed of).
Handle ReserveQueueIndex(Handle index, int32_t entries);

// The entry of a key in use, or kNoEntry.
int32_t IndexedEntry(Handle index, int32_t key);

// Records that `entry` now holds `key` (room must have been reserved).
void IndexKey(Handle index, int32_t key, int32_t entry);
// Forgets a key (its entry is being freed).
void UnindexKey(Handle index, int32_t key);

// The lowest free entry, taken out of the index, or kNoEntry when none is free.
int32_t TakeLowestFreeEntry(Handle index);
// Records a freed entry (the heap always has room for every entry of the table).
void AddFreeEntry(Handle index, int32_t entry);

// Keys indexed and free entries recorded (for tests).
int32_t IndexedKeyCount(Handle index);
int32_t IndexedFreeCount(Handle index);

}  // namespace nimbus
