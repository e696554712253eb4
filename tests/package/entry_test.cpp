// The entry point as 4D drives it: the package loaded by the stand-in host from the built
// library, every call through FourDPack.
#include <gtest/gtest.h>

#include <string>

#include "host/host.h"
#include "package/fourd_abi.h"
#include "toolbox/toolbox_testing.h"

namespace {

using standin::Value;

constexpr int32_t kUntouched = 0x5A5A5A5A;

class EntryTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(host.Load(NIMBUS_PACKAGE_PATH)) << host.lastError(); }

  int32_t Longint(const std::string& routine, std::vector<Value> params) {
    return host.Call(routine, params, kUntouched).result.longint;
  }
  // Calls a raw selector with a few longint parameters; answers the result slot.
  int32_t Raw(int32_t selector) {
    int32_t p[8] = {};
    void* params[8];
    for (int i = 0; i < 8; ++i) params[i] = &p[i];
    FourDResult result{};
    result.longint = kUntouched;
    host.CallRaw(selector, params, &result);
    return result.longint;
  }

  standin::Host host;
};

TEST_F(EntryTest, LoadKeepsALockedGlobalRecordInTheGlobalsVariable) {
  Handle globals = *host.globalsVariable();
  ASSERT_NE(globals, nullptr);
  EXPECT_NE(HGetState(globals) & 0x80, 0);
  host.Unload();
  EXPECT_EQ(*host.globalsVariable(), nullptr);
}

TEST_F(EntryTest, StatisticsReferencesAnswerCountersWithoutTouchingSlots) {
  for (int32_t r = -5; r <= -1; ++r)
    EXPECT_EQ(Longint("StreamState", {Value::Longint(r), Value::Longint(7)}), 0) << r;
  for (int32_t r = -18; r <= -6; ++r)
    EXPECT_EQ(Longint("StreamState", {Value::Longint(r), Value::Longint(0)}), 0) << r;
  EXPECT_EQ(Longint("StreamState", {Value::Longint(0), Value::Longint(0)}), -1);
  EXPECT_EQ(Longint("StreamState", {Value::Longint(-19), Value::Longint(0)}), -1);
  EXPECT_EQ(Longint("StreamState", {Value::Longint(1), Value::Longint(0)}), -1);
  EXPECT_EQ(Longint("StreamState", {Value::Longint(1024), Value::Longint(0)}), -1);
}

TEST_F(EntryTest, StreamListWithNothingOpen) {
  EXPECT_EQ(Longint("StreamList", {Value::Longint(0)}), 0);
  EXPECT_EQ(Longint("StreamList", {Value::Longint(5)}), 0);
  EXPECT_EQ(Longint("StreamList", {Value::Longint(1024)}), 0);
  EXPECT_EQ(Longint("StreamList", {Value::Longint(-1)}), -1);
  EXPECT_EQ(Longint("StreamList", {Value::Longint(1025)}), -1);
}

TEST_F(EntryTest, SelectorsWithoutARowLeaveTheResultUntouched) {
  for (int32_t selector : {0, 1, 56, 59, 60, -3, 1000, INT32_MIN, INT32_MAX}) {
    EXPECT_EQ(Raw(selector), kUntouched) << selector;
  }
}

TEST_F(EntryTest, BadReferencesAnswerAsTheirRowsSay) {
  for (int32_t bad : {0, 1024, 5, -1}) {
    EXPECT_EQ(Longint("StreamRelease", {Value::Longint(bad), Value::Longint(0)}), kUntouched)
        << bad;
    EXPECT_EQ(Longint("StreamClose", {Value::Longint(bad)}), -1) << bad;
    EXPECT_EQ(Longint("StreamBytesAvailable", {Value::Longint(bad)}), -1) << bad;
    EXPECT_EQ(
        Longint("StreamWaitState", {Value::Longint(bad), Value::Longint(0), Value::Longint(1)}),
        -1);
    EXPECT_EQ(Longint("DatagramClose", {Value::Longint(bad)}), -1) << bad;
  }
}

TEST_F(EntryTest, ReservedRoutinesAndNameCopy) {
  for (int32_t selector : {17, 18, 19, 20, 21, 22, 23, 25})
    EXPECT_EQ(Raw(selector), -1) << selector;
  EXPECT_EQ(Raw(26), 0);
  EXPECT_EQ(Longint("Reserved45", {Value::Longint(12)}), 548);
  for (const char* name : {"Reserved24", "Reserved27"}) {
    auto r = host.Call(name, {});
    EXPECT_EQ(r.result.kind, standin::Kind::kString);
    EXPECT_EQ(r.result.bytes, "") << name;
  }

  const std::string longName(255, 'n');
  auto copied = host.Call("NameCopy", {Value::String(longName), Value::String("old"),
                                       Value::Longint(0), Value::Longint(0)});
  EXPECT_EQ(copied.result.longint, 0);
  EXPECT_EQ(copied.params[1].bytes, longName);
  EXPECT_EQ(copied.params[2].longint, 1000);
}

TEST_F(EntryTest, UnloadLeavesTheGlobalRecordForTheHostToDispose) {
  Handle globals = *host.globalsVariable();
  ASSERT_NE(globals, nullptr);
  const int32_t size = GetHandleSize(globals);
  ASSERT_GT(size, 0);
  host.Call("QueuePush", {Value::Longint(7), Value::Text("kept")});  // a queue table to dispose of
  ASSERT_EQ(Longint("QueueCount", {Value::Longint(7)}), 1);
  host.CallRaw(kSelectorUnload, nullptr, nullptr);
  // The record is still the host's, whole: 4D disposes of it after the unload call.
  EXPECT_EQ(*host.globalsVariable(), globals);
  EXPECT_EQ(GetHandleSize(globals), size);
  // A second unload finds nothing left to release; the host then disposes of the block.
  const int32_t handlesBefore = TBTest_LiveHandles();
  host.Unload();
  EXPECT_EQ(*host.globalsVariable(), nullptr);
  EXPECT_EQ(TBTest_LiveHandles(), handlesBefore - 1);
}

TEST_F(EntryTest, UnloadWithANullGlobalsVariableOnlyEndsTheSession) {
  Handle saved = *host.globalsVariable();
  *host.globalsVariable() = nullptr;
  host.CallRaw(kSelectorUnload, nullptr, nullptr);
  *host.globalsVariable() = saved;  // the host's own unload then finds the record
}

TEST(EntryLoadTest, WithoutMemoryForTheGlobalRecordEveryReferenceIsBadAndNothingCrashes) {
  standin::Host host;
  TBTest_SetAllocationBudget(0);
  const bool loaded = host.Load(NIMBUS_PACKAGE_PATH);
  TBTest_SetAllocationBudget(-1);
  ASSERT_TRUE(loaded) << host.lastError();
  EXPECT_EQ(*host.globalsVariable(), nullptr);
  EXPECT_EQ(host.Call("StreamList", {Value::Longint(0)}).result.longint, 0);
  EXPECT_EQ(host.Call("StreamClose", {Value::Longint(1)}).result.longint, -1);
  EXPECT_EQ(host.Call("StreamOpen",
                      {Value::String("127.0.0.1"), Value::Integer(9), Value::Longint(0),
                       Value::Longint(0), Value::Longint(0), Value::Integer(0), Value::Longint(0)})
                .result.longint,
            0);
}

TEST(EntryLoadTest, LoadUnloadCyclesLeaveNoBlocksBehind) {
  const int32_t handlesBefore = TBTest_LiveHandles();
  const int32_t pointersBefore = TBTest_LivePointers();
  for (int i = 0; i < 3; ++i) {
    standin::Host host;
    ASSERT_TRUE(host.Load(NIMBUS_PACKAGE_PATH)) << host.lastError();
    host.Unload();
  }
  EXPECT_EQ(TBTest_LiveHandles(), handlesBefore);
  EXPECT_EQ(TBTest_LivePointers(), pointersBefore);
}

}  // namespace
