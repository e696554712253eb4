#include "queues/queue_index.h"

#include <algorithm>
#include <cstring>

#include "queues/queue_table.h"

namespace nimbus {
namespace {

// Header words.
constexpr int32_t kCapacity = 0;
constexpr int32_t kKeys = 1;
constexpr int32_t kFreeCount = 2;
constexpr int32_t kHeapCapacity = 3;
constexpr int32_t kHeaderWords = 4;

constexpr int32_t kSlotWords = 2;   // key, entry
constexpr int32_t kEmptySlot = -1;  // in the entry word
static_assert(kEmptySlot == kNoEntry, "an empty slot's entry reads as no entry");
constexpr int32_t kMinimumCapacity = 16;
constexpr uint32_t kHashMultiplier = 0x9E3779B1u;  // 2^32 / golden ratio, odd

int32_t* Words(Handle index) {
  return reinterpret_cast<int32_t*>(*index);
}
int32_t* Slots(int32_t* w) {
  return w + kHeaderWords;
}
int32_t* Heap(int32_t* w) {
  return w + kHeaderWords + kSlotWords * w[kCapacity];
}

// Smallest power of two, at least kMinimumCapacity, that keeps `keys` at most half of it.
int32_t CapacityFor(int32_t keys) {
  int32_t capacity = kMinimumCapacity;
  while (capacity / 2 < keys) capacity *= 2;
  return capacity;
}

Size BlockSize(int32_t capacity, int32_t heapCapacity) {
  return Size(sizeof(int32_t)) * (kHeaderWords + kSlotWords * capacity + heapCapacity);
}

int32_t Home(int32_t key, int32_t capacity) {
  uint32_t h = uint32_t(key) * kHashMultiplier;
  h ^= h >> 16;
  return int32_t(h & uint32_t(capacity - 1));
}

// A new index block with empty slots and an empty heap, or null.
Handle NewIndex(int32_t capacity, int32_t heapCapacity) {
  Handle index = NewHandle(BlockSize(capacity, heapCapacity));
  if (index == nullptr) return nullptr;
  int32_t* w = Words(index);
  w[kCapacity] = capacity;
  w[kKeys] = 0;
  w[kFreeCount] = 0;
  w[kHeapCapacity] = heapCapacity;
  int32_t* slots = Slots(w);
  for (int32_t i = 0; i < capacity; ++i) {
    slots[kSlotWords * i] = 0;
    slots[kSlotWords * i + 1] = kEmptySlot;
  }
  return index;
}

// The slot holding the key, or the empty slot where its probe ends.
int32_t FindSlot(const int32_t* w, int32_t key) {
  const int32_t mask = w[kCapacity] - 1;
  const int32_t* slots = w + kHeaderWords;
  int32_t i = Home(key, w[kCapacity]);
  while (slots[kSlotWords * i + 1] != kEmptySlot && slots[kSlotWords * i] != key)
    i = (i + 1) & mask;
  return i;
}

void InsertKey(int32_t* w, int32_t key, int32_t entry) {
  const int32_t i = FindSlot(w, key);
  int32_t* slot = Slots(w) + kSlotWords * i;
  if (slot[1] == kEmptySlot) ++w[kKeys];
  slot[0] = key;
  slot[1] = entry;
}

void HeapPush(int32_t* w, int32_t entry) {
  int32_t* heap = Heap(w);
  int32_t i = w[kFreeCount]++;
  while (i > 0) {
    const int32_t parent = (i - 1) / 2;
    if (heap[parent] <= entry) break;
    heap[i] = heap[parent];
    i = parent;
  }
  heap[i] = entry;
}

int32_t HeapPop(int32_t* w) {
  int32_t* heap = Heap(w);
  const int32_t count = --w[kFreeCount];
  const int32_t lowest = heap[0];
  const int32_t last = heap[count];
  int32_t i = 0;
  for (;;) {
    int32_t child = 2 * i + 1;
    if (child >= count) break;
    if (child + 1 < count && heap[child + 1] < heap[child]) ++child;
    if (last <= heap[child]) break;
    heap[i] = heap[child];
    i = child;
  }
  heap[i] = last;
  return lowest;
}

}  // namespace

Handle BuildQueueIndex(Handle table, int32_t extraKeys, int32_t extraEntries) {
  const int32_t count = EntryCount(table);
  int32_t used = 0;
  for (int32_t i = 0; i < count; ++i) used += ReadEntry(table, i).messageCount >= 0 ? 1 : 0;
  Handle index =
      NewIndex(CapacityFor(used + extraKeys), std::max(kMinimumCapacity, count + extraEntries));
  if (index == nullptr) return nullptr;
  // No allocation from here on: the table and the index stay where they are.
  int32_t* w = Words(index);
  for (int32_t i = 0; i < count; ++i) {
    const QueueEntry entry = ReadEntry(table, i);
    if (entry.messageCount < 0) {
      HeapPush(w, i);
    } else if (Slots(w)[kSlotWords * FindSlot(w, entry.key) + 1] == kEmptySlot) {
      InsertKey(w, entry.key, i);  // the first entry of a key is the one look-ups find
    }
  }
  return index;
}

Handle ReserveQueueIndex(Handle index, int32_t entries) {
  const int32_t* w = Words(index);
  const int32_t keys = w[kKeys];
  if (keys + 1 <= w[kCapacity] / 2 && entries <= w[kHeapCapacity]) return index;

  const int32_t capacity = std::max(w[kCapacity], CapacityFor(keys + 1));
  const int32_t heapCapacity =
      entries <= w[kHeapCapacity] ? w[kHeapCapacity] : std::max(entries, 2 * w[kHeapCapacity]);
  Handle grown = NewIndex(capacity, heapCapacity);
  if (grown == nullptr) {
    DisposeHandle(index);
    return nullptr;
  }
  // The allocation may have moved the old block: both are read only from here.
  int32_t* from = Words(index);
  int32_t* to = Words(grown);
  const int32_t* slots = Slots(from);
  for (int32_t i = 0; i < from[kCapacity]; ++i)
    if (slots[kSlotWords * i + 1] != kEmptySlot)
      InsertKey(to, slots[kSlotWords * i], slots[kSlotWords * i + 1]);
  std::memcpy(Heap(to), Heap(from), sizeof(int32_t) * size_t(from[kFreeCount]));
  to[kFreeCount] = from[kFreeCount];
  DisposeHandle(index);
  return grown;
}

int32_t IndexedEntry(Handle index, int32_t key) {
  const int32_t* w = Words(index);
  return (w + kHeaderWords)[kSlotWords * FindSlot(w, key) + 1];  // kEmptySlot is kNoEntry
}

void IndexKey(Handle index, int32_t key, int32_t entry) {
  InsertKey(Words(index), key, entry);
}

void UnindexKey(Handle index, int32_t key) {
  int32_t* w = Words(index);
  int32_t* slots = Slots(w);
  const int32_t mask = w[kCapacity] - 1;
  int32_t hole = FindSlot(w, key);
  if (slots[kSlotWords * hole + 1] == kEmptySlot) return;
  // Backward-shift deletion: later slots of the same probe run move into the hole unless
  // their home lies cyclically after the hole, up to them.
  for (int32_t j = (hole + 1) & mask; slots[kSlotWords * j + 1] != kEmptySlot; j = (j + 1) & mask) {
    const int32_t home = Home(slots[kSlotWords * j], w[kCapacity]);
    const bool staysPut = ((j - home) & mask) < ((j - hole) & mask);
    if (staysPut) continue;
    slots[kSlotWords * hole] = slots[kSlotWords * j];
    slots[kSlotWords * hole + 1] = slots[kSlotWords * j + 1];
    hole = j;
  }
  slots[kSlotWords * hole + 1] = kEmptySlot;
  --w[kKeys];
}

int32_t TakeLowestFreeEntry(Handle index) {
  int32_t* w = Words(index);
  return w[kFreeCount] == 0 ? kNoEntry : HeapPop(w);
}

void AddFreeEntry(Handle index, int32_t entry) {
  HeapPush(Words(index), entry);
}

int32_t IndexedKeyCount(Handle index) {
  return Words(index)[kKeys];
}

int32_t IndexedFreeCount(Handle index) {
  return Words(index)[kFreeCount];
}

}  // namespace nimbus
