// Relocatable blocks and fixed records of the stand-in toolbox: sizes, lock state, moving
// mode, allocation budget, live counts and unknown handles.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "host/toolbox.h"
#include "toolbox/toolbox_testing.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TOOLBOX_TEST_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define TOOLBOX_TEST_ASAN 1
#endif

namespace {

constexpr int8_t kLocked = int8_t(0x80);

std::string Contents(Handle h) {
  return std::string(*h, size_t(GetHandleSize(h)));
}

Handle HandleWith(const std::string& bytes) {
  Handle h = NewHandle(Size(bytes.size()));
  std::memcpy(*h, bytes.data(), bytes.size());
  return h;
}

// Every test leaves the toolbox as the test program's main set it up.
class BlocksTest : public testing::Test {
 protected:
  void SetUp() override {
    handlesAtStart_ = TBTest_LiveHandles();
    pointersAtStart_ = TBTest_LivePointers();
  }
  void TearDown() override {
    TBTest_SetAllocationBudget(-1);
    TBTest_SetMovingMode(1);
    EXPECT_EQ(TBTest_LiveHandles(), handlesAtStart_) << "a test leaked a block";
    EXPECT_EQ(TBTest_LivePointers(), pointersAtStart_) << "a test leaked a record";
  }
  int32_t handlesAtStart_ = 0;
  int32_t pointersAtStart_ = 0;
};

TEST_F(BlocksTest, NewBlocksAndRecordsIncludingEmptyOnes) {
  Handle empty = NewHandle(0);
  ASSERT_NE(empty, nullptr);
  EXPECT_NE(*empty, nullptr);
  EXPECT_EQ(GetHandleSize(empty), 0);
  EXPECT_EQ(MemError(), noErr);

  Handle cleared = NewHandleClear(1000);
  ASSERT_NE(cleared, nullptr);
  EXPECT_EQ(Contents(cleared), std::string(1000, '\0'));
  EXPECT_EQ(TBTest_LiveHandles(), handlesAtStart_ + 2);

  Ptr none = NewPtr(0);
  Ptr zeros = NewPtrClear(16);
  ASSERT_NE(none, nullptr);
  EXPECT_EQ(std::string(zeros, 16), std::string(16, '\0'));
  EXPECT_EQ(TBTest_LivePointers(), pointersAtStart_ + 2);
  DisposePtr(none);
  DisposePtr(zeros);

  EXPECT_EQ(NewHandle(-1), nullptr);
  EXPECT_EQ(MemError(), memFullErr);
  EXPECT_EQ(NewHandleClear(-5), nullptr);
  EXPECT_EQ(MemError(), memFullErr);

  DisposeHandle(empty);
  DisposeHandle(cleared);
}

TEST_F(BlocksTest, ResizeKeepsContentsUpToTheSmallerSize) {
  for (int moving : {0, 1}) {
    TBTest_SetMovingMode(moving);
    Handle h = HandleWith("abcdefghij");
    SetHandleSize(h, 4);
    EXPECT_EQ(MemError(), noErr);
    EXPECT_EQ(Contents(h), "abcd");
    SetHandleSize(h, 5000);
    EXPECT_EQ(MemError(), noErr);
    ASSERT_EQ(GetHandleSize(h), 5000);
    EXPECT_EQ(std::string(*h, 4), "abcd");
    SetHandleSize(h, 0);
    EXPECT_EQ(GetHandleSize(h), 0);
    SetHandleSize(h, -1);
    EXPECT_EQ(MemError(), memFullErr);
    EXPECT_EQ(GetHandleSize(h), 0);
    DisposeHandle(h);
  }
}

TEST_F(BlocksTest, StateByteRoundTripsAndLocks) {
  Handle h = NewHandle(8);
  EXPECT_EQ(HGetState(h) & kLocked, 0);
  HLock(h);
  int8_t saved = HGetState(h);
  EXPECT_EQ(saved & kLocked, kLocked);
  HUnlock(h);
  EXPECT_EQ(HGetState(h) & kLocked, 0);
  HSetState(h, saved);
  EXPECT_EQ(HGetState(h), saved);
  // Every bit of the state comes back exactly, not just the lock bit.
  for (int state = -128; state < 128; ++state) {
    HSetState(h, int8_t(state));
    EXPECT_EQ(HGetState(h), int8_t(state));
  }
  DisposeHandle(h);
}

TEST_F(BlocksTest, MovingModeMovesUnlockedBlocksAndKeepsTheirBytes) {
  TBTest_SetMovingMode(1);
  Handle h = HandleWith("payload");
  char* before = *h;
  SetHandleSize(h, 7);  // even a resize to the same size moves an unlocked block
  EXPECT_NE(*h, before);
  EXPECT_EQ(Contents(h), "payload");

  // Allocations and yields move other unlocked blocks too, in rotation.
  bool movedByAllocation = false;
  for (int i = 0; i < 64 && !movedByAllocation; ++i) {
    char* at = *h;
    Handle other = NewHandle(4);
    movedByAllocation = *h != at;
    DisposeHandle(other);
  }
  EXPECT_TRUE(movedByAllocation);
  bool movedByYield = false;
  for (int i = 0; i < 64 && !movedByYield; ++i) {
    char* at = *h;
    YieldToHost();
    movedByYield = *h != at;
  }
  EXPECT_TRUE(movedByYield);
  EXPECT_EQ(Contents(h), "payload");
  DisposeHandle(h);
}

TEST_F(BlocksTest, LockedBlocksNeverMove) {
  TBTest_SetMovingMode(1);
  Handle h = HandleWith("fixed");
  HLock(h);
  char* at = *h;
  SetHandleSize(h, 3);
  EXPECT_EQ(MemError(), noErr);
  SetHandleSize(h, 5);  // back within its room
  EXPECT_EQ(MemError(), noErr);
  for (int i = 0; i < 50; ++i) {
    Handle other = NewHandle(16);
    YieldToHost();
    DisposeHandle(other);
  }
  EXPECT_EQ(*h, at);
  // Growing past its room would move it: refused, the block unchanged.
  SetHandleSize(h, 100000);
  EXPECT_EQ(MemError(), memFullErr);
  EXPECT_EQ(*h, at);
  EXPECT_EQ(GetHandleSize(h), 5);
  HUnlock(h);
  SetHandleSize(h, 100000);
  EXPECT_EQ(MemError(), noErr);
  EXPECT_EQ(std::string(*h, 3), "fix");
  DisposeHandle(h);
}

TEST_F(BlocksTest, WithoutMovingModeAShrinkStaysInPlace) {
  TBTest_SetMovingMode(0);
  Handle h = NewHandle(100);
  char* at = *h;
  SetHandleSize(h, 10);
  Handle other = NewHandle(10);
  YieldToHost();
  EXPECT_EQ(*h, at);
  DisposeHandle(other);
  DisposeHandle(h);
}

// The point of moving mode: a raw pointer kept into an unlocked block across a resize
// is a use of freed memory, which AddressSanitizer reports.
#ifdef TOOLBOX_TEST_ASAN
TEST(BlocksDeathTest, PointerKeptAcrossResizeIsCaught) {
  TBTest_SetMovingMode(1);
  EXPECT_DEATH(
      {
        Handle h = HandleWith("stale");
        volatile char* kept = *h;
        SetHandleSize(h, 6);
        char c = kept[0];
        (void)c;
      },
      "heap-use-after-free");
}

TEST(BlocksDeathTest, MasterPointerOfADisposedHandleIsCaught) {
  EXPECT_DEATH(
      {
        Handle h = NewHandle(4);
        DisposeHandle(h);
        char* volatile stale = *h;
        (void)stale;
      },
      "use-after-poison");
}
#else
// Until its record is reused, a disposed handle's master pointer is null, so following it
// fails at once rather than reading freed bytes.
TEST_F(BlocksTest, MasterPointerOfADisposedHandleIsNull) {
  Handle h = NewHandle(4);
  DisposeHandle(h);
  EXPECT_EQ(*h, nullptr);
}

TEST_F(BlocksTest, PointerKeptAcrossResizeNoLongerNamesTheBlock) {
  TBTest_SetMovingMode(1);
  Handle h = HandleWith("stale");
  char* kept = *h;
  SetHandleSize(h, 6);
  EXPECT_NE(*h, kept);
  EXPECT_EQ(std::string(*h, 5), "stale");
  DisposeHandle(h);
}
#endif

TEST_F(BlocksTest, AllocationBudgetFailsTheAllocationsPastIt) {
  Handle grown = NewHandle(4);
  TBTest_SetAllocationBudget(2);
  Handle a = NewHandle(1);
  Ptr p = NewPtr(1);
  EXPECT_NE(a, nullptr);
  EXPECT_NE(p, nullptr);
  EXPECT_EQ(NewHandle(1), nullptr);
  EXPECT_EQ(MemError(), memFullErr);
  EXPECT_EQ(NewPtrClear(1), nullptr);
  EXPECT_EQ(MemError(), memFullErr);

  // Growth is an allocation; a shrink is not.
  SetHandleSize(grown, 8);
  EXPECT_EQ(MemError(), memFullErr);
  EXPECT_EQ(GetHandleSize(grown), 4);
  SetHandleSize(grown, 2);
  EXPECT_EQ(MemError(), noErr);

  Handle copy = grown;
  EXPECT_EQ(HandToHand(&copy), memFullErr);
  EXPECT_EQ(copy, grown);

  TBTest_SetAllocationBudget(-1);
  Handle b = NewHandle(1);
  EXPECT_NE(b, nullptr);
  for (Handle h : {grown, a, b}) DisposeHandle(h);
  DisposePtr(p);
}

TEST_F(BlocksTest, HandToHandMakesAnIndependentCopy) {
  Handle original = HandleWith("original");
  Handle copy = original;
  ASSERT_EQ(HandToHand(&copy), noErr);
  ASSERT_NE(copy, original);
  EXPECT_EQ(Contents(copy), "original");
  (*copy)[0] = 'O';
  EXPECT_EQ(Contents(original), "original");
  EXPECT_EQ(HGetState(copy) & kLocked, 0);

  Handle none = nullptr;
  EXPECT_EQ(HandToHand(&none), nilHandleErr);
  EXPECT_EQ(HandToHand(nullptr), nilHandleErr);
  DisposeHandle(original);
  DisposeHandle(copy);
}

TEST_F(BlocksTest, UnknownAndNullHandlesAreRefusedWithoutTouchingMemory) {
  int32_t unknownBefore = TBTest_UnknownBlockUses();
  DisposeHandle(nullptr);  // allowed, not an error
  EXPECT_EQ(TBTest_UnknownBlockUses(), unknownBefore);

  EXPECT_EQ(GetHandleSize(nullptr), 0);
  EXPECT_EQ(MemError(), nilHandleErr);
  HLock(nullptr);
  EXPECT_EQ(MemError(), nilHandleErr);

  Handle gone = NewHandle(10);
  DisposeHandle(gone);
  DisposeHandle(gone);  // a second dispose does nothing
  EXPECT_EQ(MemError(), nilHandleErr);
  EXPECT_EQ(GetHandleSize(gone), 0);
  SetHandleSize(gone, 20);
  EXPECT_EQ(MemError(), nilHandleErr);
  EXPECT_EQ(TBTest_UnknownBlockUses(), unknownBefore + 3);

  char notARecord[8];
  DisposePtr(notARecord);
  EXPECT_EQ(MemError(), nilHandleErr);
  EXPECT_EQ(TBTest_UnknownBlockUses(), unknownBefore + 4);
}

// Addresses that are not handles: inside a live master record but off its start, next to it,
// and far from any block. None is read: an address that is not in the store answers
// nilHandleErr without being touched, and the blocks nearby are left alone.
TEST_F(BlocksTest, AddressesThatAreNotHandlesAreRefusedUnread) {
  Handle h = HandleWith("neighbour");
  HLock(h);
  const int8_t state = HGetState(h);
  const int32_t unknownBefore = TBTest_UnknownBlockUses();
  const uintptr_t at = reinterpret_cast<uintptr_t>(h);
  char onStack[16] = {};
  std::vector<uintptr_t> wild = {at + 1,
                                 at + sizeof(char*),
                                 at + 2 * sizeof(char*),
                                 at - 1,
                                 at - sizeof(char*),
                                 reinterpret_cast<uintptr_t>(onStack),
                                 uintptr_t(0x10),
                                 uintptr_t(-1) & ~uintptr_t(7),
                                 reinterpret_cast<uintptr_t>(*h)};
  if (sizeof(void*) == 8) wild.push_back(uintptr_t(1) << (sizeof(void*) * 8 - 2));
  for (uintptr_t address : wild) {
    Handle notAHandle = reinterpret_cast<Handle>(address);
    EXPECT_EQ(GetHandleSize(notAHandle), 0) << std::hex << address;
    EXPECT_EQ(MemError(), nilHandleErr);
    HUnlock(notAHandle);
    HSetState(notAHandle, 0);
    SetHandleSize(notAHandle, 1);
    EXPECT_EQ(MemError(), nilHandleErr);
    DisposeHandle(notAHandle);
    EXPECT_EQ(Munger(notAHandle, 0, "n", 1, nullptr, 0), -1);
  }
  EXPECT_EQ(TBTest_UnknownBlockUses(), unknownBefore + 5 * int32_t(wild.size()));
  EXPECT_EQ(HGetState(h), state);
  EXPECT_EQ(Contents(h), "neighbour");
  DisposeHandle(h);
}

// Every address within 64 bytes of a group of live master records, other than the records
// themselves, is refused, whatever the blocks' sizes and state bytes hold (so no field of a
// record can pass for the mark of a live one).
TEST_F(BlocksTest, NoAddressBesideALiveRecordPassesForAHandle) {
  constexpr int kGroup = 8;
  Handle group[kGroup];
  for (Handle& h : group) h = NewHandle(0);
  const uintptr_t middle = reinterpret_cast<uintptr_t>(group[kGroup / 2]);
  auto isOurs = [&](uintptr_t address) {
    for (Handle h : group)
      if (reinterpret_cast<uintptr_t>(h) == address) return true;
    return false;
  };
  for (int value = 0; value < 256; ++value) {
    for (Handle h : group) {
      HSetState(h, int8_t(value));
      SetHandleSize(h, Size(uint32_t(value) * 0x01010101u & 0x7FFFu));
    }
    for (int offset = -64; offset <= 64; ++offset) {
      const uintptr_t address = middle + uintptr_t(intptr_t(offset));
      if (isOurs(address)) continue;
      ASSERT_EQ(HGetState(reinterpret_cast<Handle>(address)), 0) << offset << " " << value;
      ASSERT_EQ(MemError(), nilHandleErr) << offset << " " << value;
    }
  }
  for (Handle h : group) {
    EXPECT_EQ(HGetState(h), int8_t(255));
    DisposeHandle(h);
  }
}

// A disposed handle stays unknown while its master record waits to be reused, which happens
// only after many other disposals; from then on the stale handle names the new block, as it
// would on a real heap.
TEST_F(BlocksTest, ADisposedHandleStaysUnknownUntilItsRecordIsReused) {
  for (int moving : {0, 1}) {
    TBTest_SetMovingMode(moving);
    Handle gone = NewHandle(8);
    DisposeHandle(gone);
    int allocations = 0;
    Handle reused = nullptr;
    while (reused == nullptr && allocations < 100000) {
      ASSERT_EQ(GetHandleSize(gone), 0) << "after " << allocations << " allocations";
      ASSERT_EQ(MemError(), nilHandleErr);
      Handle a = NewHandle(allocations % 40);
      Handle b = NewHandle(3);
      allocations += 2;
      if (a == gone || b == gone) {
        reused = a == gone ? a : b;
        DisposeHandle(a == gone ? b : a);
      } else {
        DisposeHandle(a);
        DisposeHandle(b);
      }
    }
    ASSERT_NE(reused, nullptr) << "a freed record is never reused";
    EXPECT_GT(allocations, 1000) << "a freed record was reused soon after it was freed";
    SetHandleSize(reused, 5);
    EXPECT_EQ(GetHandleSize(gone), 5);  // the same record: the new block
    DisposeHandle(reused);
  }
}

// Random traffic against a model kept in the test: blocks of every size around the size
// classes and past them, grown, shrunk, locked and disposed of, with and without moving. Each
// block keeps its own bytes and state, a locked block stays put, a disposed handle is unknown
// unless its record went to a new block, and the live count agrees.
TEST_F(BlocksTest, RandomTrafficAgreesWithAModel) {
  struct Expected {
    std::string bytes;
    int8_t state;
    char* lockedAt;  // where a locked block must stay
  };
  std::mt19937 random(12345);
  for (int moving : {0, 1}) {
    TBTest_SetMovingMode(moving);
    std::map<Handle, Expected> live;
    std::vector<Handle> disposed;
    auto sizeOf = [&] {
      const int kind = int(random() % 4);
      return kind == 0   ? Size(random() % 64)
             : kind == 1 ? Size(1000 + random() % 64)
                         : Size(random() % 2100);
    };
    auto pick = [&] {
      auto it = live.begin();
      std::advance(it, random() % live.size());
      return it;
    };
    for (int step = 0; step < 3000; ++step) {
      const int what = live.empty() ? 0 : int(random() % 6);
      if (what <= 1 && live.size() < 300) {
        const Size size = sizeOf();
        Handle h = NewHandle(size);
        ASSERT_NE(h, nullptr);
        ASSERT_EQ(live.count(h), 0u) << "a live record handed out twice";
        const std::string bytes(size_t(size), char('a' + step % 26));
        std::memcpy(*h, bytes.data(), bytes.size());
        live[h] = Expected{bytes, 0, nullptr};
      } else if (what == 2) {
        auto it = pick();
        const Size size = sizeOf();
        const size_t old = it->second.bytes.size();
        SetHandleSize(it->first, size);
        if (MemError() == noErr) {
          // The bytes up to the smaller size are kept; the test fills the new ones.
          it->second.bytes.resize(size_t(size), char('A' + step % 26));
          if (size_t(size) > old)
            std::memcpy(*it->first + old, it->second.bytes.data() + old, size_t(size) - old);
        } else {
          ASSERT_NE(it->second.lockedAt, nullptr) << "only a locked block may refuse to grow";
          ASSERT_EQ(MemError(), memFullErr);
          ASSERT_EQ(GetHandleSize(it->first), Size(old));
        }
      } else if (what == 3) {
        auto it = pick();
        if (it->second.lockedAt == nullptr) {
          HLock(it->first);
          it->second.lockedAt = *it->first;
        } else {
          HUnlock(it->first);
          it->second.lockedAt = nullptr;
        }
        it->second.state = HGetState(it->first);
      } else {
        auto it = pick();
        DisposeHandle(it->first);
        disposed.push_back(it->first);
        live.erase(it);
      }
      if (step % 50 == 0) YieldToHost();
      if (step % 100 != 99) continue;
      ASSERT_EQ(TBTest_LiveHandles(), handlesAtStart_ + int32_t(live.size()));
      for (const auto& [h, expected] : live) {
        ASSERT_EQ(Contents(h), expected.bytes) << "step " << step;
        ASSERT_EQ(HGetState(h), expected.state);
        if (expected.lockedAt != nullptr) {
          ASSERT_EQ(*h, expected.lockedAt);
        }
      }
      for (Handle h : disposed) {
        if (live.count(h) != 0) continue;  // its record was reused by a block now live
        ASSERT_EQ(GetHandleSize(h), 0);
        ASSERT_EQ(MemError(), nilHandleErr);
      }
    }
    for (const auto& entry : live) DisposeHandle(entry.first);
  }
}

TEST_F(BlocksTest, ManyBlocksSurviveHeavyMoving) {
  // Blocks of all sizes, resized and moved many times, each keeps its own bytes.
  constexpr int kBlocks = 200;
  Handle blocks[kBlocks];
  for (int i = 0; i < kBlocks; ++i) {
    blocks[i] = NewHandle(i);
    std::memset(*blocks[i], i & 0xFF, size_t(i));
    if (i % 7 == 0) HLock(blocks[i]);
  }
  for (int round = 0; round < 20; ++round) {
    for (int i = 0; i < kBlocks; i += 3) SetHandleSize(blocks[i], GetHandleSize(blocks[i]));
    YieldToHost();
  }
  for (int i = 0; i < kBlocks; ++i) {
    ASSERT_EQ(Contents(blocks[i]), std::string(size_t(i), char(i & 0xFF))) << "block " << i;
    DisposeHandle(blocks[i]);
  }
}

TEST(BlockMoveTest, CopiesOverlappingRangesAndIgnoresEmptyOnes) {
  char bytes[] = "0123456789";
  BlockMove(bytes, bytes + 2, 5);
  EXPECT_STREQ(bytes, "0101234789");
  BlockMove(bytes + 2, bytes, 5);
  EXPECT_STREQ(bytes, "0123434789");
  BlockMove(bytes, bytes + 1, 0);
  BlockMove(bytes, bytes + 1, -4);
  BlockMove(nullptr, bytes, 3);
  EXPECT_STREQ(bytes, "0123434789");
}

}  // namespace
