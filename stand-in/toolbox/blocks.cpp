// Relocatable blocks (handles) and fixed records, with the test-only moving mode and
// allocation budget.
//
// A handle points at the first field of a master record, so *h is the block's current
// address and the record beside it keeps the size, capacity and state byte. A call with an
// unknown handle or record does nothing instead of touching freed memory.
//
// Master records come from slabs that are never freed, so any address can be checked
// without reading memory that is not ours: a handle is live when it lies in a slab, on a
// record boundary, and the record there is marked live. A disposed record goes to the tail
// of a first-in first-out free list and is reused only once more than kRecordQuarantine
// others are free, so a stale handle keeps answering nilHandleErr for a long while; once its
// record is reused it names the new block, as a stale handle on a real heap does. Until then
// its master pointer is null, so following it fails at once.
//
// Block bytes up to kLargestPooledCapacity come from size classes (multiples of 16) with
// first-in first-out free lists, poisoned when freed; larger blocks come from malloc. Under
// AddressSanitizer every block comes from malloc, so that a use of freed bytes is reported,
// and a disposed record's data field is poisoned, so that *h on a disposed handle is too.
//
// Capacity: a block is allocated with room for max(size, 16) bytes rounded up to 16, and with
// a quarter more when it grows. A locked block never moves: it can grow only within its
// capacity, and answers memFullErr beyond it, as a locked block on a full heap does.
//
// The store takes no lock. Like the classic toolbox, it is called from the host's thread
// only: the 4D processes are fibers of that thread, and the library's own threads (the
// notification watcher, the window thread) never allocate. A host that ran its processes on
// threads of their own would hand control from one to the next, one at a time, and that
// hand-over orders their calls. An uncontended lock would still cost an atomic exchange per
// call, about a third of a small block's allocation.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <unordered_set>
#include <vector>

#include "block_store.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TOOLBOX_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define TOOLBOX_ASAN 1
#endif
#ifdef TOOLBOX_ASAN
#include <sanitizer/asan_interface.h>
#endif

namespace toolbox {
namespace {

constexpr int8_t kLockedBit = int8_t(0x80);
constexpr Size kMinimumCapacity = 16;
constexpr Size kLargestBlock = 0x7FFFFFF0;
constexpr unsigned char kPoison =
    0xDB;  // fills a pooled block's old bytes when it moves or is freed
constexpr int kMovesPerAllocation = 4;
constexpr int kScanPerMove = 4;  // candidates looked at per wanted move (locked ones are skipped)

constexpr uint8_t kLiveTag = 0xA5;
constexpr size_t kFirstSlabRecords = 4096;  // each new slab holds twice as many as the last
constexpr size_t kLargestSlabRecords = 65536;
constexpr size_t kRecordQuarantine = 1024;  // free records kept unused before any is reused

#ifdef TOOLBOX_ASAN
constexpr bool kPooledBytes = false;
#else
constexpr bool kPooledBytes = true;
#endif
constexpr Size kLargestPooledCapacity = 1024;
constexpr size_t kSizeClasses = size_t(kLargestPooledCapacity / 16);
constexpr size_t kBytesQuarantine = 16;  // per class: a moved block never lands back at once
constexpr size_t kArenaBytes = 64 * 1024;

struct BlockRecord {
  char* data;  // must stay first: a Handle is the address of this field
  Size size;
  Size capacity;
  int8_t state;
  uint8_t tag;            // kLiveTag while the handle is live, 0 while the record is free
  uint32_t slot;          // index in Store::blocks while live
  BlockRecord* nextFree;  // the next younger free record while free
};

// A slab of records, [begin, end).
struct Slab {
  uintptr_t begin;
  uintptr_t end;
};

// Freed byte blocks of one size class, oldest first, in a ring whose size is a power of two.
struct FreeRing {
  std::vector<char*> slots;
  size_t head = 0;
  size_t count = 0;
};

struct Store {
  std::vector<BlockRecord*> blocks;  // every live block, for the moving rotation
  std::vector<Slab> slabs;           // sorted by address
  BlockRecord* carve = nullptr;      // the newest slab's records not handed out yet
  BlockRecord* carveEnd = nullptr;
  size_t nextSlabRecords = kFirstSlabRecords;
  BlockRecord* freeOldest = nullptr;
  BlockRecord* freeYoungest = nullptr;
  size_t freeRecords = 0;
  FreeRing freeBytes[kSizeClasses];
  char* arena = nullptr;  // unused part of the newest arena, for the size classes
  size_t arenaLeft = 0;
  std::unordered_set<const void*>* pointers = nullptr;  // live records; made at the first one
  size_t rotation = 0;
  bool moving = false;
  int32_t budget = -1;  // allocations still allowed; -1 = unlimited
  int32_t unknownUses = 0;
};

// Constant-initialised, so that it is there before any static constructor calls in, and never
// destroyed, because blocks may be disposed of during exit.
union StoreHolder {
  Store store;
  constexpr StoreHolder() : store() {}
  ~StoreHolder() {}
};
constinit StoreHolder theStore;

Store& TheStore() {
  return theStore.store;
}

OSErr lastError = noErr;

// Records the answer of the next MemError and returns it.
OSErr Report(OSErr error) {
  lastError = error;
  return error;
}

Handle HandleOf(BlockRecord* r) {
  return &r->data;
}
bool IsLocked(const BlockRecord* r) {
  return (r->state & kLockedBit) != 0;
}

Size CapacityFor(Size size) {
  Size wanted = size < kMinimumCapacity ? kMinimumCapacity : size;
  return (wanted + 15) & ~Size(15);
}

// Room for a block that grows to `size`, with slack so that appending stays cheap.
Size GrowthCapacityFor(Size size) {
  int64_t wanted = int64_t(size) + size / 4;
  if (wanted > kLargestBlock) wanted = kLargestBlock;
  return CapacityFor(Size(wanted));
}

// Spends one allocation of the budget; false when it is used up.
bool TakeFromBudget(Store& s) {
  if (s.budget < 0) return true;
  if (s.budget == 0) return false;
  --s.budget;
  return true;
}

// ---- Master records ----

// The live record at h, or null for any other address. Reads memory only inside a slab.
// The slabs are few (each holds twice as many records as the last), so the search runs a
// fixed number of steps with no branch that depends on the address.
BlockRecord* LiveRecordAt(const Store& s, const void* h) {
  const uintptr_t at = reinterpret_cast<uintptr_t>(h);
  size_t n = s.slabs.size();
  if (n == 0) return nullptr;
  const Slab* slab = s.slabs.data();
  while (n > 1) {
    const size_t half = n / 2;
    slab = slab[half].begin <= at ? slab + half : slab;
    n -= half;
  }
  if (at - slab->begin >= slab->end - slab->begin || (at - slab->begin) % sizeof(BlockRecord) != 0)
    return nullptr;  // before the first slab, past a slab's end, or off a record boundary
  BlockRecord* r = reinterpret_cast<BlockRecord*>(at);
  return r->tag == kLiveTag ? r : nullptr;
}

// A new slab of zeroed (so not live) records; false when there is no memory for it.
bool AddSlab(Store& s) {
  const size_t count = s.nextSlabRecords;
  auto* records = static_cast<BlockRecord*>(std::calloc(count, sizeof(BlockRecord)));
  if (records == nullptr) return false;
  const Slab slab{reinterpret_cast<uintptr_t>(records),
                  reinterpret_cast<uintptr_t>(records + count)};
  try {
    s.slabs.insert(std::upper_bound(s.slabs.begin(), s.slabs.end(), slab,
                                    [](const Slab& a, const Slab& b) { return a.begin < b.begin; }),
                   slab);
  } catch (const std::bad_alloc&) {
    std::free(records);
    return false;
  }
  s.carve = records;
  s.carveEnd = records + count;
  s.nextSlabRecords = std::min(count * 2, kLargestSlabRecords);
  return true;
}

// A record that is not live (from the free list once enough are free, else a fresh one), or
// null when no slab can be had.
BlockRecord* TakeRecord(Store& s) {
  if (s.freeRecords > kRecordQuarantine) {
    BlockRecord* r = s.freeOldest;
    s.freeOldest = r->nextFree;
    if (s.freeOldest == nullptr) s.freeYoungest = nullptr;
    --s.freeRecords;
#ifdef TOOLBOX_ASAN
    ASAN_UNPOISON_MEMORY_REGION(&r->data, sizeof r->data);
#endif
    return r;
  }
  if (s.carve == s.carveEnd && !AddSlab(s)) return nullptr;
  return s.carve++;
}

// Marks a record free and queues it behind every other free one.
void ReleaseRecord(Store& s, BlockRecord* r) {
  r->tag = 0;
  r->data = nullptr;
  r->nextFree = nullptr;
  if (s.freeYoungest != nullptr) {
    s.freeYoungest->nextFree = r;
  } else {
    s.freeOldest = r;
  }
  s.freeYoungest = r;
  ++s.freeRecords;
#ifdef TOOLBOX_ASAN
  ASAN_POISON_MEMORY_REGION(&r->data, sizeof r->data);
#endif
}

// ---- Block bytes ----

bool IsPooled(Size capacity) {
  return kPooledBytes && capacity <= kLargestPooledCapacity;
}
FreeRing& RingFor(Store& s, Size capacity) {
  return s.freeBytes[size_t(capacity / 16) - 1];
}

// Room for `capacity` bytes (a multiple of 16), or null.
char* TakeBytes(Store& s, Size capacity) {
  if (!IsPooled(capacity)) return static_cast<char*>(std::malloc(size_t(capacity)));
  FreeRing& ring = RingFor(s, capacity);
  if (ring.count > kBytesQuarantine) {
    char* bytes = ring.slots[ring.head];
    ring.head = (ring.head + 1) & (ring.slots.size() - 1);
    --ring.count;
    return bytes;
  }
  if (s.arenaLeft < size_t(capacity)) {
    // What is left of the old arena stays unused: at most a small block's worth.
    char* arena = static_cast<char*>(std::malloc(kArenaBytes));
    if (arena == nullptr) return nullptr;
    s.arena = arena;
    s.arenaLeft = kArenaBytes;
  }
  char* bytes = s.arena;
  s.arena += capacity;
  s.arenaLeft -= size_t(capacity);
  return bytes;
}

// The poisoning fill, called through a pointer: the capacity is small and known to be, so the
// compiler would inline a `rep stos`, several times slower here than the C library's memset.
void* (*volatile poisonFill)(void*, int, size_t) = std::memset;

// Frees a block's bytes. Bytes kept for reuse are poisoned first, so stale readers see
// garbage rather than the old contents or a newer block's. Bytes handed back to malloc are
// not: a fill before free() is a dead store the compiler drops anyway, and under
// AddressSanitizer free() itself makes every later use a reported error.
void ReleaseBytes(Store& s, char* data, Size capacity) {
  if (!IsPooled(capacity)) {
    std::free(data);
    return;
  }
  poisonFill(data, kPoison, size_t(capacity));
  FreeRing& ring = RingFor(s, capacity);
  if (ring.count == ring.slots.size()) {
    // Full: lay the ring out again, oldest first, in one twice the size.
    std::vector<char*> grown;
    try {
      grown.resize(std::max<size_t>(32, 2 * ring.slots.size()));
    } catch (const std::bad_alloc&) {
      return;  // the bytes stay poisoned and unused: a loss only when memory is exhausted
    }
    for (size_t i = 0; i < ring.count; ++i)
      grown[i] = ring.slots[(ring.head + i) & (ring.slots.size() - 1)];
    ring.slots.swap(grown);
    ring.head = 0;
  }
  ring.slots[(ring.head + ring.count) & (ring.slots.size() - 1)] = data;
  ++ring.count;
}

// Moves a block to a new address of the given capacity.
bool Relocate(Store& s, BlockRecord* r, Size capacity) {
  char* fresh = TakeBytes(s, capacity);
  if (fresh == nullptr) return false;
  Size kept = r->size < capacity ? r->size : capacity;
  std::memcpy(fresh, r->data, size_t(kept));
  ReleaseBytes(s, r->data, r->capacity);
  r->data = fresh;
  r->capacity = capacity;
  return true;
}

// Moves up to `count` unlocked blocks, each at most once (a block moved twice could land
// back at its old address, and a stale pointer would then go unnoticed).
void MoveInRotation(Store& s, int count) {
  size_t scans = std::min(size_t(count) * kScanPerMove, s.blocks.size());
  int moved = 0;
  for (size_t i = 0; i < scans && moved < count; ++i) {
    if (s.rotation >= s.blocks.size()) s.rotation = 0;
    BlockRecord* r = s.blocks[s.rotation++];
    if (!IsLocked(r) && Relocate(s, r, r->capacity)) ++moved;
  }
}

// Looks a handle up; counts and reports an unknown one.
BlockRecord* FindBlock(Store& s, Handle h) {
  if (h == nullptr) {
    Report(nilHandleErr);
    return nullptr;
  }
  BlockRecord* r = LiveRecordAt(s, h);
  if (r == nullptr) {
    ++s.unknownUses;
    Report(nilHandleErr);
  }
  return r;
}

Handle AllocateBlock(Size size, const void* contents, bool clear) {
  Store& s = TheStore();
  if (size < 0 || size > kLargestBlock || !TakeFromBudget(s)) {
    Report(memFullErr);
    return nullptr;
  }
  const Size capacity = CapacityFor(size);
  BlockRecord* r = TakeRecord(s);
  if (r == nullptr) {
    Report(memFullErr);
    return nullptr;
  }
  char* data = TakeBytes(s, capacity);
  bool registered = false;
  if (data != nullptr) {
    try {
      s.blocks.push_back(r);
      registered = true;
    } catch (const std::bad_alloc&) {
    }
  }
  if (!registered) {
    if (data != nullptr) ReleaseBytes(s, data, capacity);
    ReleaseRecord(s, r);
    Report(memFullErr);
    return nullptr;
  }
  *r = BlockRecord{data, size, capacity, 0, kLiveTag, uint32_t(s.blocks.size() - 1), nullptr};
  if (contents != nullptr) {
    std::memcpy(data, contents, size_t(size));
  } else if (clear) {
    std::memset(data, 0, size_t(size));
  }
  if (s.moving) MoveInRotation(s, kMovesPerAllocation);
  Report(noErr);
  return HandleOf(r);
}

Ptr AllocatePointer(Size size, bool clear) {
  Store& s = TheStore();
  if (size < 0 || size > kLargestBlock || !TakeFromBudget(s)) {
    Report(memFullErr);
    return nullptr;
  }
  // Never a null answer for size 0: a record of no bytes is still a distinct record.
  char* p =
      static_cast<char*>(clear ? std::calloc(size_t(size) + 1, 1) : std::malloc(size_t(size) + 1));
  try {
    if (p == nullptr) throw std::bad_alloc();
    if (s.pointers == nullptr) s.pointers = new std::unordered_set<const void*>;
    s.pointers->insert(p);
  } catch (const std::bad_alloc&) {
    std::free(p);
    Report(memFullErr);
    return nullptr;
  }
  if (s.moving) MoveInRotation(s, kMovesPerAllocation);
  Report(noErr);
  return p;
}

}  // namespace

void SetLastBlockError(OSErr error) {
  Report(error);
}

bool IsLiveHandle(Handle h) {
  Store& s = TheStore();
  return h != nullptr && LiveRecordAt(s, h) != nullptr;
}

OSErr ResizeBlock(Handle h, Size newSize) {
  Store& s = TheStore();
  BlockRecord* r = FindBlock(s, h);
  if (r == nullptr) return nilHandleErr;
  if (newSize < 0 || newSize > kLargestBlock) return Report(memFullErr);
  bool grows = newSize > r->size;
  if (grows && !TakeFromBudget(s)) return Report(memFullErr);
  if (IsLocked(r)) {
    if (newSize > r->capacity) return Report(memFullErr);
  } else if (s.moving || newSize > r->capacity) {
    Size capacity = newSize > r->capacity ? GrowthCapacityFor(newSize) : r->capacity;
    if (!Relocate(s, r, capacity)) return Report(memFullErr);
  }
  r->size = newSize;
  return Report(noErr);
}

void MoveSomeBlocks(int count) {
  Store& s = TheStore();
  if (s.moving) MoveInRotation(s, count);
}

void SetMovingMode(bool on) {
  Store& s = TheStore();
  s.moving = on;
}

void SetAllocationBudget(int32_t count) {
  Store& s = TheStore();
  s.budget = count < 0 ? -1 : count;
}

int32_t LiveHandleCount() {
  Store& s = TheStore();
  return int32_t(s.blocks.size());
}

int32_t LivePointerCount() {
  Store& s = TheStore();
  return s.pointers == nullptr ? 0 : int32_t(s.pointers->size());
}

int32_t UnknownBlockUseCount() {
  Store& s = TheStore();
  return s.unknownUses;
}

}  // namespace toolbox

using namespace toolbox;

extern "C" {

TOOLBOX_API Handle NewHandle(Size byteCount) {
  return AllocateBlock(byteCount, nullptr, false);
}

TOOLBOX_API Handle NewHandleClear(Size byteCount) {
  return AllocateBlock(byteCount, nullptr, true);
}

TOOLBOX_API void DisposeHandle(Handle h) {
  if (h == nullptr) return;  // disposing of nothing is allowed
  Store& s = TheStore();
  BlockRecord* r = FindBlock(s, h);
  if (r == nullptr) return;
  BlockRecord* last = s.blocks.back();
  s.blocks[r->slot] = last;
  last->slot = r->slot;
  s.blocks.pop_back();
  ReleaseBytes(s, r->data, r->capacity);
  ReleaseRecord(s, r);
  Report(noErr);
}

TOOLBOX_API Size GetHandleSize(Handle h) {
  Store& s = TheStore();
  BlockRecord* r = FindBlock(s, h);
  if (r == nullptr) return 0;
  Report(noErr);
  return r->size;
}

TOOLBOX_API void SetHandleSize(Handle h, Size newSize) {
  ResizeBlock(h, newSize);
}

TOOLBOX_API void HLock(Handle h) {
  Store& s = TheStore();
  if (BlockRecord* r = FindBlock(s, h)) {
    r->state = int8_t(r->state | kLockedBit);
    Report(noErr);
  }
}

TOOLBOX_API void HUnlock(Handle h) {
  Store& s = TheStore();
  if (BlockRecord* r = FindBlock(s, h)) {
    r->state = int8_t(r->state & ~kLockedBit);
    Report(noErr);
  }
}

TOOLBOX_API int8_t HGetState(Handle h) {
  Store& s = TheStore();
  BlockRecord* r = FindBlock(s, h);
  if (r == nullptr) return 0;
  Report(noErr);
  return r->state;
}

TOOLBOX_API void HSetState(Handle h, int8_t state) {
  Store& s = TheStore();
  if (BlockRecord* r = FindBlock(s, h)) {
    r->state = state;
    Report(noErr);
  }
}

TOOLBOX_API OSErr HandToHand(Handle* h) {
  if (h == nullptr) return Report(nilHandleErr);
  Handle original = *h;
  std::vector<char> contents;
  {
    Store& s = TheStore();
    BlockRecord* r = FindBlock(s, original);
    if (r == nullptr) return nilHandleErr;
    try {
      contents.assign(r->data, r->data + r->size);
    } catch (const std::bad_alloc&) {
      return Report(memFullErr);
    }
  }
  Handle copy = AllocateBlock(Size(contents.size()), contents.data(), false);
  if (copy == nullptr) return memFullErr;
  *h = copy;
  return noErr;
}

TOOLBOX_API OSErr MemError(void) {
  return lastError;
}

TOOLBOX_API Ptr NewPtr(Size byteCount) {
  return AllocatePointer(byteCount, false);
}

TOOLBOX_API Ptr NewPtrClear(Size byteCount) {
  return AllocatePointer(byteCount, true);
}

TOOLBOX_API void DisposePtr(Ptr p) {
  if (p == nullptr) return;
  Store& s = TheStore();
  if (s.pointers == nullptr || s.pointers->erase(p) == 0) {
    ++s.unknownUses;
    Report(nilHandleErr);
    return;
  }
  std::free(p);
  Report(noErr);
}

TOOLBOX_API void BlockMove(const void* source, void* destination, Size byteCount) {
  if (source == nullptr || destination == nullptr || byteCount <= 0) return;
  std::memmove(destination, source, size_t(byteCount));
}

}  // extern "C"
