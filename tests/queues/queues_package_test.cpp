// The queue routines as 4D processes use them, through the package's entry point.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/host.h"
#include "toolbox/toolbox_testing.h"

namespace {

using standin::Host;
using standin::Value;

class QueuesPackageTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(host.Load(NIMBUS_PACKAGE_PATH)) << host.lastError(); }

  void Push(int32_t key, const std::string& text) {
    host.Call("QueuePush", {Value::Longint(key), Value::Text(text)});
  }
  int32_t Count(int32_t key) {
    return host.Call("QueueCount", {Value::Longint(key)}).result.longint;
  }
  Value Pop(int32_t key) { return host.Call("QueuePop", {Value::Longint(key)}).result; }
  // The baseline of the unload tests: the blocks a load and unload with no queue leave (the
  // host's own). Ends with the package unloaded.
  int32_t HandlesLeftByAnEmptyRun() {
    host.Unload();
    const int32_t before = TBTest_LiveHandles();
    EXPECT_TRUE(host.Load(NIMBUS_PACKAGE_PATH));
    host.Unload();
    return TBTest_LiveHandles() - before;
  }

  Host host;
};

TEST_F(QueuesPackageTest, MessagesPassFromOneProcessToAnother) {
  std::vector<std::string> received;
  host.StartProcess("producer", [&] {
    for (int i = 0; i < 20; ++i) {
      Push(-5, "message " + std::to_string(i));
      if (i % 3 == 0) YieldToHost();
    }
    Push(-5, "done");
  });
  host.StartProcess("consumer", [&] {
    for (;;) {
      if (Count(-5) == 0) {
        YieldToHost();
        continue;
      }
      const Value message = Pop(-5);
      if (message.bytes == "done") break;
      received.push_back(message.bytes);
    }
  });
  host.RunProcesses();
  ASSERT_EQ(received.size(), 20u);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(received[size_t(i)], "message " + std::to_string(i));
  EXPECT_EQ(Count(-5), 0);
  EXPECT_TRUE(Pop(-5).isNull);
}

TEST_F(QueuesPackageTest, UnloadWithMessagesQueuedLeavesNothingBehind) {
  const int32_t leftByEmptyRun = HandlesLeftByAnEmptyRun();

  const int32_t beforeRun = TBTest_LiveHandles();
  ASSERT_TRUE(host.Load(NIMBUS_PACKAGE_PATH));
  for (int32_t key : {-1, 0, 1, 2}) {
    for (int i = 0; i < 5; ++i) Push(key, std::string(size_t(100 * i), 'q'));
  }
  host.Call("QueueClear", {Value::Longint(2)});
  EXPECT_EQ(Count(1), 5);
  host.Unload();
  EXPECT_EQ(TBTest_LiveHandles() - beforeRun, leftByEmptyRun);
}

// Thousands of keys, so that the table and its index grow many times, with cleared entries
// reused: unload still frees every block, and the next load starts with no queues.
TEST_F(QueuesPackageTest, UnloadAfterManyKeysLeavesNothingBehind) {
  const int32_t leftByEmptyRun = HandlesLeftByAnEmptyRun();

  const int32_t beforeRun = TBTest_LiveHandles();
  ASSERT_TRUE(host.Load(NIMBUS_PACKAGE_PATH));
  for (int32_t key = 0; key < 3000; ++key) Push(key * 131 - 5000, std::to_string(key) + "m");
  for (int32_t key = 0; key < 3000; key += 3)
    host.Call("QueueClear", {Value::Longint(key * 131 - 5000)});
  for (int32_t key = 0; key < 500; ++key) Push(1 << 20 | key, "new");
  EXPECT_EQ(Count(131 - 5000), 1);
  EXPECT_EQ(Count(-5000), 0);
  EXPECT_EQ(Pop(2 * 131 - 5000).bytes, "2m");
  EXPECT_EQ(Count(1 << 20 | 499), 1);
  host.Unload();
  EXPECT_EQ(TBTest_LiveHandles() - beforeRun, leftByEmptyRun);

  ASSERT_TRUE(host.Load(NIMBUS_PACKAGE_PATH));
  EXPECT_EQ(Count(131 - 5000), 0);
  EXPECT_TRUE(Pop(1 << 20).isNull);
}

}  // namespace
