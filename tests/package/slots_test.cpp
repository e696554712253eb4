// The stream slot table: lowest free slot first, the count following the occupied slots,
// and no record left behind when the table is full or a slot is reused.
#include "package/slots.h"

#include <gtest/gtest.h>

#include "toolbox/toolbox_testing.h"

namespace nimbus {
namespace {

class SlotsTest : public testing::Test {
 protected:
  void SetUp() override { globals = new PackageGlobals{}; }
  void TearDown() override {
    for (StreamRecord*& slot : globals->slots) {
      if (slot != nullptr) DisposePtr(reinterpret_cast<Ptr>(slot));
    }
    delete globals;
  }

  // A record with no socket, as after a close, so releasing it touches no socket.
  static StreamRecord* Record() {
    auto* record = reinterpret_cast<StreamRecord*>(NewPtrClear(sizeof(StreamRecord)));
    record->socket = platform::kInvalidSocket;
    record->state = StateClosed;
    return record;
  }

  int32_t Occupied() const {
    int32_t n = 0;
    for (StreamRecord* slot : globals->slots) n += slot != nullptr;
    return n;
  }

  PackageGlobals* globals = nullptr;
};

TEST_F(SlotsTest, RegistrationTakesTheLowestFreeSlot) {
  EXPECT_EQ(RegisterStream(globals, Record()), 1);
  EXPECT_EQ(RegisterStream(globals, Record()), 2);
  EXPECT_EQ(RegisterStream(globals, Record()), 3);
  EXPECT_EQ(ReleaseSlot(globals, CheckReference(globals, 2)), 0);
  EXPECT_EQ(RegisterStream(globals, Record()), 2);
  EXPECT_EQ(globals->openStreamCount, 3);
  EXPECT_EQ(RegisterStream(globals, nullptr), 0);
  EXPECT_EQ(globals->openStreamCount, Occupied());
}

TEST_F(SlotsTest, AFullTableReleasesTheNewRecordAndAnswersZero) {
  for (int32_t r = 1; r <= 1023; ++r) ASSERT_EQ(RegisterStream(globals, Record()), r);
  const int32_t pointers = TBTest_LivePointers();
  EXPECT_EQ(RegisterStream(globals, Record()), 0);
  EXPECT_EQ(TBTest_LivePointers(), pointers);  // the extra record is gone
  EXPECT_EQ(globals->openStreamCount, 1023);
  EXPECT_EQ(globals->slots[0], nullptr);  // slot 0 is never used
}

TEST_F(SlotsTest, ReferenceCheckAcceptsOnlyOccupiedSlotsInRange) {
  RegisterStream(globals, Record());
  EXPECT_NE(CheckReference(globals, 1), nullptr);
  EXPECT_EQ(CheckReference(globals, 2), nullptr);
  EXPECT_NE(SlotAddress(globals, 2), nullptr);
  for (int32_t bad : {0, -1, 1024, INT32_MIN, INT32_MAX}) {
    EXPECT_EQ(SlotAddress(globals, bad), nullptr) << bad;
    EXPECT_EQ(CheckReference(globals, bad), nullptr) << bad;
  }
  EXPECT_EQ(CheckReference(nullptr, 1), nullptr);
}

TEST_F(SlotsTest, ReuseTakesTheNamedSlotAndKeepsTheCountEqualToOccupiedSlots) {
  RegisterStream(globals, Record());
  RegisterStream(globals, Record());
  const int32_t pointers = TBTest_LivePointers();
  EXPECT_EQ(ReuseSlot(globals, 2, Record()), 2);  // the old record of slot 2 is released
  EXPECT_EQ(TBTest_LivePointers(), pointers);
  EXPECT_EQ(ReuseSlot(globals, 7, Record()), 7);  // an empty slot is simply taken
  EXPECT_EQ(ReuseSlot(globals, 1, nullptr), 0);   // a failed open empties the slot
  EXPECT_EQ(globals->slots[1], nullptr);
  EXPECT_EQ(ReuseSlot(globals, 5000, Record()), 1);  // out of range: a new registration
  EXPECT_EQ(globals->openStreamCount, Occupied());
  EXPECT_EQ(globals->openStreamCount, 3);
}

}  // namespace
}  // namespace nimbus
