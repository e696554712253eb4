// Relocatable blocks (handles) and fixed records, with the test-only moving mode and
// allocation budget.
//
// A handle points at the first field of a master record, so *h is the block's current
// address and the record beside it keeps the size, capacity and state byte. Every handle and
// record is registered, so that a call with an unknown one does nothing instead of touching
// freed memory.
//
// Capacity: a block is allocated with room for max(size, 16) bytes rounded up to 16, and with
// a quarter more when it grows. A locked block never moves: it can grow only within its
// capacity, and answers memFullErr beyond it, as a locked block on a full heap does.
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_set>
#include <vector>

#include "block_store.h"

namespace toolbox {
namespace {

constexpr int8_t kLockedBit = int8_t(0x80);
constexpr Size kMinimumCapacity = 16;
constexpr Size kLargestBlock = 0x7FFFFFF0;
constexpr unsigned char kPoison = 0xDB;  // fills a block's old bytes when it moves
constexpr int kMovesPerAllocation = 4;
constexpr int kScanPerMove = 4;  // candidates looked at per wanted move (locked ones are skipped)

struct BlockRecord {
  char* data;  // must stay first: a Handle is the address of this field
  Size size;
  Size capacity;
  int8_t state;
  size_t slot;  // index in Store::blocks
};

struct Store {
  std::mutex mutex;
  std::vector<BlockRecord*> blocks;
  std::unordered_set<const void*> handles;
  std::unordered_set<const void*> pointers;
  size_t rotation = 0;
  bool moving = false;
  int32_t budget = -1;  // allocations still allowed; -1 = unlimited
  int32_t unknownUses = 0;
};

Store& TheStore() {
  static Store* store = new Store;  // never destroyed: blocks may be freed during exit
  return *store;
}

std::atomic<OSErr> lastError{noErr};
// A copy of Store::moving that a yield reads without the mutex: outside the tests nothing
// moves, and a yield should not pay for a lock to learn it.
std::atomic<bool> movingHint{false};

BlockRecord* RecordOf(Handle h) {
  return reinterpret_cast<BlockRecord*>(h);
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

// Spends one allocation of the budget; false when it is used up. Caller holds the mutex.
bool TakeFromBudget(Store& s) {
  if (s.budget < 0) return true;
  if (s.budget == 0) return false;
  --s.budget;
  return true;
}

// Frees a block's bytes after poisoning them, so stale readers see garbage (and
// AddressSanitizer reports them).
void ReleaseBytes(char* data, Size capacity) {
  std::memset(data, kPoison, size_t(capacity));
  std::free(data);
}

// Moves a block to a new address of the given capacity. Caller holds the mutex.
bool Relocate(BlockRecord* r, Size capacity) {
  char* fresh = static_cast<char*>(std::malloc(size_t(capacity)));
  if (fresh == nullptr) return false;
  Size kept = r->size < capacity ? r->size : capacity;
  std::memcpy(fresh, r->data, size_t(kept));
  ReleaseBytes(r->data, r->capacity);
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
    if (!IsLocked(r) && Relocate(r, r->capacity)) ++moved;
  }
}

// Looks a handle up; counts and reports an unknown one. Caller holds the mutex.
BlockRecord* FindBlock(Store& s, Handle h) {
  if (h == nullptr) {
    lastError = nilHandleErr;
    return nullptr;
  }
  if (s.handles.count(h) == 0) {
    ++s.unknownUses;
    lastError = nilHandleErr;
    return nullptr;
  }
  return RecordOf(h);
}

Handle AllocateBlock(Size size, const void* contents, bool clear) {
  Store& s = TheStore();
  std::lock_guard<std::mutex> guard(s.mutex);
  if (size < 0 || size > kLargestBlock || !TakeFromBudget(s)) {
    lastError = memFullErr;
    return nullptr;
  }
  Size capacity = CapacityFor(size);
  auto* r = new (std::nothrow) BlockRecord{nullptr, size, capacity, 0, s.blocks.size()};
  char* data = static_cast<char*>(std::malloc(size_t(capacity)));
  try {
    if (r == nullptr || data == nullptr) throw std::bad_alloc();
    s.blocks.push_back(r);
    s.handles.insert(HandleOf(r));
  } catch (const std::bad_alloc&) {
    if (r != nullptr && s.blocks.size() > r->slot) s.blocks.pop_back();
    delete r;
    std::free(data);
    lastError = memFullErr;
    return nullptr;
  }
  r->data = data;
  if (contents != nullptr) {
    std::memcpy(data, contents, size_t(size));
  } else if (clear) {
    std::memset(data, 0, size_t(size));
  }
  if (s.moving) MoveInRotation(s, kMovesPerAllocation);
  lastError = noErr;
  return HandleOf(r);
}

Ptr AllocatePointer(Size size, bool clear) {
  Store& s = TheStore();
  std::lock_guard<std::mutex> guard(s.mutex);
  if (size < 0 || size > kLargestBlock || !TakeFromBudget(s)) {
    lastError = memFullErr;
    return nullptr;
  }
  // Never a null answer for size 0: a record of no bytes is still a distinct record.
  char* p =
      static_cast<char*>(clear ? std::calloc(size_t(size) + 1, 1) : std::malloc(size_t(size) + 1));
  try {
    if (p == nullptr) throw std::bad_alloc();
    s.pointers.insert(p);
  } catch (const std::bad_alloc&) {
    std::free(p);
    lastError = memFullErr;
    return nullptr;
  }
  if (s.moving) MoveInRotation(s, kMovesPerAllocation);
  lastError = noErr;
  return p;
}

}  // namespace

void SetLastBlockError(OSErr error) {
  lastError = error;
}

bool IsLiveHandle(Handle h) {
  Store& s = TheStore();
  std::lock_guard<std::mutex> guard(s.mutex);
  return h != nullptr && s.handles.count(h) != 0;
}

OSErr ResizeBlock(Handle h, Size newSize) {
  Store& s = TheStore();
  std::lock_guard<std::mutex> guard(s.mutex);
  BlockRecord* r = FindBlock(s, h);
  if (r == nullptr) return nilHandleErr;
  if (newSize < 0 || newSize > kLargestBlock) return lastError = memFullErr;
  bool grows = newSize > r->size;
  if (grows && !TakeFromBudget(s)) return lastError = memFullErr;
  if (IsLocked(r)) {
    if (newSize > r->capacity) return lastError = memFullErr;
  } else if (s.moving || newSize > r->capacity) {
    Size capacity = newSize > r->capacity ? GrowthCapacityFor(newSize) : r->capacity;
    if (!Relocate(r, capacity)) return lastError = memFullErr;
  }
  r->size = newSize;
  return lastError = noErr;
}

void MoveSomeBlocks(int count) {
  if (!movingHint.load(std::memory_order_relaxed)) return;
  Store& s = TheStore();
  std::lock_guard<std::mutex> guard(s.mutex);
  if (s.moving) MoveInRotation(s, count);
}

void SetMovingMode(bool on) {
  Store& s = TheStore();
  std::lock_guard<std::mutex> guard(s.mutex);
  s.moving = on;
  movingHint.store(on, std::memory_order_relaxed);
}

void SetAllocationBudget(int32_t count) {
  Store& s = TheStore();
  std::lock_guard<std::mutex> guard(s.mutex);
  s.budget = count < 0 ? -1 : count;
}

int32_t LiveHandleCount() {
  Store& s = TheStore();
  std::lock_guard<std::mutex> guard(s.mutex);
  return int32_t(s.blocks.size());
}

int32_t LivePointerCount() {
  Store& s = TheStore();
  std::lock_guard<std::mutex> guard(s.mutex);
  return int32_t(s.pointers.size());
}

int32_t UnknownBlockUseCount() {
  Store& s = TheStore();
  std::lock_guard<std::mutex> guard(s.mutex);
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
  std::lock_guard<std::mutex> guard(s.mutex);
  BlockRecord* r = FindBlock(s, h);
  if (r == nullptr) return;
  BlockRecord* last = s.blocks.back();
  s.blocks[r->slot] = last;
  last->slot = r->slot;
  s.blocks.pop_back();
  s.handles.erase(h);
  ReleaseBytes(r->data, r->capacity);
  delete r;
  lastError = noErr;
}

TOOLBOX_API Size GetHandleSize(Handle h) {
  Store& s = TheStore();
  std::lock_guard<std::mutex> guard(s.mutex);
  BlockRecord* r = FindBlock(s, h);
  if (r == nullptr) return 0;
  lastError = noErr;
  return r->size;
}

TOOLBOX_API void SetHandleSize(Handle h, Size newSize) {
  ResizeBlock(h, newSize);
}

TOOLBOX_API void HLock(Handle h) {
  Store& s = TheStore();
  std::lock_guard<std::mutex> guard(s.mutex);
  if (BlockRecord* r = FindBlock(s, h)) {
    r->state = int8_t(r->state | kLockedBit);
    lastError = noErr;
  }
}

TOOLBOX_API void HUnlock(Handle h) {
  Store& s = TheStore();
  std::lock_guard<std::mutex> guard(s.mutex);
  if (BlockRecord* r = FindBlock(s, h)) {
    r->state = int8_t(r->state & ~kLockedBit);
    lastError = noErr;
  }
}

TOOLBOX_API int8_t HGetState(Handle h) {
  Store& s = TheStore();
  std::lock_guard<std::mutex> guard(s.mutex);
  BlockRecord* r = FindBlock(s, h);
  if (r == nullptr) return 0;
  lastError = noErr;
  return r->state;
}

TOOLBOX_API void HSetState(Handle h, int8_t state) {
  Store& s = TheStore();
  std::lock_guard<std::mutex> guard(s.mutex);
  if (BlockRecord* r = FindBlock(s, h)) {
    r->state = state;
    lastError = noErr;
  }
}

TOOLBOX_API OSErr HandToHand(Handle* h) {
  if (h == nullptr) return lastError = nilHandleErr;
  Handle original = *h;
  std::vector<char> contents;
  {
    Store& s = TheStore();
    std::lock_guard<std::mutex> guard(s.mutex);
    BlockRecord* r = FindBlock(s, original);
    if (r == nullptr) return nilHandleErr;
    try {
      contents.assign(r->data, r->data + r->size);
    } catch (const std::bad_alloc&) {
      return lastError = memFullErr;
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
  std::lock_guard<std::mutex> guard(s.mutex);
  if (s.pointers.erase(p) == 0) {
    ++s.unknownUses;
    lastError = nilHandleErr;
    return;
  }
  std::free(p);
  lastError = noErr;
}

TOOLBOX_API void BlockMove(const void* source, void* destination, Size byteCount) {
  if (source == nullptr || destination == nullptr || byteCount <= 0) return;
  std::memmove(destination, source, size_t(byteCount));
}

}  // extern "C"
