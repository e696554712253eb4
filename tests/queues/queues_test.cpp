#include "queues/queues.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <deque>
#include <map>
#include <random>
#include <string>

#include "queues/queue_table.h"
#include "toolbox/toolbox_testing.h"

namespace nimbus {
namespace {

Handle NewText(const std::string& text) {
  Handle h = NewHandle(Size(text.size()));
  if (!text.empty()) std::memcpy(*h, text.data(), text.size());
  return h;
}

std::string Contents(Handle h) {
  return h ? std::string(*h, size_t(GetHandleSize(h))) : "";
}

// A test's view of the queues: the table handle as the global record keeps it, and the
// caller's side of pushes and pops. Nothing is left allocated when it ends.
class QueuesTest : public ::testing::Test {
 protected:
  void TearDown() override {
    TBTest_SetAllocationBudget(-1);
    DisposeQueueTable(&table_);
    EXPECT_EQ(table_, nullptr);
    EXPECT_EQ(TBTest_LiveHandles(), liveAtStart_) << "blocks left behind";
  }

  void Push(int32_t key, const std::string& text) {
    Handle h = NewText(text);
    QueuePush(&table_, key, h, int32_t(text.size()));
    DisposeHandle(h);  // the queue holds its own copy
  }

  // Pops one message: its text, or nullopt-like "<none>" when the queue gave no block.
  std::string Pop(int32_t key) {
    int16_t length = -1;
    Handle h = QueuePop(table_, key, &length);
    if (h == nullptr) {
      EXPECT_EQ(length, 0);
      return "<none>";
    }
    EXPECT_EQ(length, GetHandleSize(h));
    std::string text = Contents(h);
    DisposeHandle(h);  // 4D owns a popped Text
    return text;
  }

  int32_t EntriesInTable() const { return table_ ? EntryCount(table_) : 0; }

  Handle table_ = nullptr;
  const int32_t liveAtStart_ = TBTest_LiveHandles();
};

TEST_F(QueuesTest, PopsInTheOrderPushed) {
  Push(7, "first");
  Push(7, "second");
  Push(7, "third");
  EXPECT_EQ(QueueCount(table_, 7), 3);
  EXPECT_EQ(Pop(7), "first");
  EXPECT_EQ(Pop(7), "second");
  EXPECT_EQ(QueueCount(table_, 7), 1);
  EXPECT_EQ(Pop(7), "third");
  EXPECT_EQ(Pop(7), "<none>");
  EXPECT_EQ(QueueCount(table_, 7), 0);
  // The emptied queue still takes messages, in order.
  Push(7, "again");
  Push(7, "and again");
  EXPECT_EQ(Pop(7), "again");
  EXPECT_EQ(Pop(7), "and again");
}

TEST_F(QueuesTest, AnswersEmptyBeforeAnyPush) {
  EXPECT_EQ(QueueCount(table_, 0), 0);
  EXPECT_EQ(QueueCount(table_, 42), 0);
  EXPECT_EQ(Pop(42), "<none>");
  QueueClear(table_, 42);
  EXPECT_EQ(table_, nullptr);
}

TEST_F(QueuesTest, KeepsKeysApartNegativeAndZeroIncluded) {
  const int32_t keys[] = {0, -1, 1, INT32_MIN, INT32_MAX, -7};
  for (int round = 0; round < 3; ++round) {
    for (int32_t key : keys) Push(key, std::to_string(key) + "/" + std::to_string(round));
  }
  for (int32_t key : keys) EXPECT_EQ(QueueCount(table_, key), 3) << key;
  EXPECT_EQ(QueueCount(table_, 2), 0);
  for (int32_t key : {INT32_MAX, 0, -1}) EXPECT_EQ(Pop(key), std::to_string(key) + "/0");
  QueueClear(table_, -1);
  EXPECT_EQ(QueueCount(table_, -1), 0);
  EXPECT_EQ(QueueCount(table_, 0), 2);
  EXPECT_EQ(QueueCount(table_, 1), 3);
  EXPECT_EQ(Pop(0), "0/1");
  EXPECT_EQ(Pop(INT32_MIN), std::to_string(INT32_MIN) + "/0");
}

TEST_F(QueuesTest, AFreedEntryIsNotKeyZero) {
  Push(5, "five");
  QueueClear(table_, 5);  // the free entry holds key 0
  EXPECT_EQ(QueueCount(table_, 0), 0);
  EXPECT_EQ(Pop(0), "<none>");
  QueueClear(table_, 0);  // nothing to clear: the entry stays free for the next push
  Push(0, "zero");
  EXPECT_EQ(EntriesInTable(), 1);
  EXPECT_EQ(Pop(0), "zero");
}

TEST_F(QueuesTest, ReusesFreedEntriesBeforeGrowing) {
  Push(1, "a");
  Push(2, "b");
  Push(3, "c");
  const Size sizeWithThree = GetHandleSize(table_);
  EXPECT_EQ(sizeWithThree, TableSize(3));
  QueueClear(table_, 2);
  EXPECT_EQ(QueueCount(table_, 2), 0);
  Push(99, "new key");
  EXPECT_EQ(GetHandleSize(table_), sizeWithThree);
  EXPECT_EQ(ReadEntry(table_, 1).key, 99);  // took the place of key 2
  Push(100, "grows");
  EXPECT_EQ(EntriesInTable(), 4);
  EXPECT_EQ(Pop(99), "new key");
  EXPECT_EQ(Pop(1), "a");
  EXPECT_EQ(Pop(3), "c");
}

TEST_F(QueuesTest, PoppingEveryMessageKeepsTheEntry) {
  Push(1, "a");
  EXPECT_EQ(Pop(1), "a");
  Push(2, "b");  // key 1's entry is empty but not free
  EXPECT_EQ(EntriesInTable(), 2);
}

TEST_F(QueuesTest, QueuesACopyOfThePushedText) {
  Handle mine = NewText("original");
  QueuePush(&table_, 1, mine, 8);
  std::memcpy(*mine, "CHANGED!", 8);
  SetHandleSize(mine, 2);
  int16_t length = 0;
  Handle popped = QueuePop(table_, 1, &length);
  ASSERT_NE(popped, nullptr);
  EXPECT_NE(popped, mine);
  EXPECT_EQ(Contents(popped), "original");
  EXPECT_EQ(Contents(mine), "CH");
  DisposeHandle(popped);
  DisposeHandle(mine);
}

TEST_F(QueuesTest, QueuesOnlyTheTextsLength) {
  Handle block = NewText("Hello, world");
  QueuePush(&table_, 1, block, 5);     // a Text shorter than its block
  QueuePush(&table_, 1, block, 500);   // a length past the block: the block's bytes
  QueuePush(&table_, 1, block, -3);    // a negative length: empty
  QueuePush(&table_, 1, nullptr, 12);  // no block: empty
  DisposeHandle(block);
  EXPECT_EQ(Pop(1), "Hello");
  EXPECT_EQ(Pop(1), "Hello, world");
  // Empty messages still come with a block: they are messages, not an empty queue.
  EXPECT_EQ(Pop(1), "");
  EXPECT_EQ(Pop(1), "");
  EXPECT_EQ(Pop(1), "<none>");
}

TEST_F(QueuesTest, KeepsTheLongestTextWhole) {
  const std::string longest(32767, 'x');
  Push(1, longest);
  int16_t length = 0;
  Handle h = QueuePop(table_, 1, &length);
  EXPECT_EQ(length, 32767);
  EXPECT_EQ(Contents(h), longest);
  DisposeHandle(h);
}

TEST_F(QueuesTest, ClearDisposesOfEveryMessage) {
  const int32_t before = TBTest_LiveHandles();
  for (int i = 0; i < 10; ++i) Push(4, "message " + std::to_string(i));
  Push(5, "other");
  QueueClear(table_, 4);
  EXPECT_EQ(QueueCount(table_, 4), 0);
  EXPECT_EQ(Pop(4), "<none>");
  EXPECT_EQ(QueueCount(table_, 5), 1);
  // Left: the table, and the node and text of key 5's message.
  EXPECT_EQ(TBTest_LiveHandles(), before + 3);
}

TEST_F(QueuesTest, DisposalFreesEveryQueueAndTheTable) {
  for (int32_t key = -3; key < 3; ++key) {
    for (int i = 0; i < 4; ++i) Push(key, "text");
  }
  QueueClear(table_, 0);
  DisposeQueueTable(&table_);
  EXPECT_EQ(table_, nullptr);
  EXPECT_EQ(TBTest_LiveHandles(), liveAtStart_);
  DisposeQueueTable(&table_);  // again: nothing to do
}

// Pushes with the allocation budget cut at each step leave the queues as they were, the
// caller's Text untouched, and nothing allocated.
TEST_F(QueuesTest, APushWithoutMemoryChangesNothing) {
  Handle mine = NewText("payload");
  for (int32_t budget = 0; budget < 3; ++budget) {  // copy, node, new table
    TBTest_SetAllocationBudget(budget);
    QueuePush(&table_, 1, mine, 7);
    TBTest_SetAllocationBudget(-1);
    EXPECT_EQ(table_, nullptr) << budget;
    EXPECT_EQ(TBTest_LiveHandles(), liveAtStart_ + 1) << budget;
  }

  Push(1, "kept");
  const int32_t live = TBTest_LiveHandles();
  for (int32_t budget = 0; budget < 3; ++budget) {  // copy, node, table growth for key 2
    TBTest_SetAllocationBudget(budget);
    QueuePush(&table_, 2, mine, 7);
    TBTest_SetAllocationBudget(-1);
    EXPECT_EQ(EntriesInTable(), 1) << budget;
    EXPECT_EQ(QueueCount(table_, 2), 0) << budget;
    EXPECT_EQ(TBTest_LiveHandles(), live) << budget;
  }
  TBTest_SetAllocationBudget(1);  // the copy only: the node fails on a queue with messages
  QueuePush(&table_, 1, mine, 7);
  TBTest_SetAllocationBudget(-1);
  EXPECT_EQ(QueueCount(table_, 1), 1);
  EXPECT_EQ(Contents(mine), "payload");
  EXPECT_EQ(Pop(1), "kept");
  EXPECT_EQ(Pop(1), "<none>");
  DisposeHandle(mine);
}

// Random pushes, pops and clears over a few keys agree with a plain model of queues, and the
// blocks alive are always the table plus a node and a text per waiting message.
TEST_F(QueuesTest, AgreesWithAModelUnderRandomUse) {
  std::map<int32_t, std::deque<std::string>> model;
  std::mt19937 random(4041);
  const int32_t keys[] = {0, -1, 3, 1000, INT32_MIN, 17, -17, 8};
  for (int step = 0; step < 5000; ++step) {
    const int32_t key = keys[random() % std::size(keys)];
    switch (random() % 8) {
      case 0:
        QueueClear(table_, key);
        model.erase(key);
        break;
      case 1:
      case 2:
      case 3: {
        const std::string expected = model[key].empty() ? "<none>" : model[key].front();
        if (!model[key].empty()) model[key].pop_front();
        ASSERT_EQ(Pop(key), expected) << step;
        break;
      }
      default: {
        const std::string text(size_t(random() % 40), char('a' + step % 26));
        Push(key, text);
        model[key].push_back(text);
      }
    }
    ASSERT_EQ(QueueCount(table_, key), int32_t(model[key].size())) << step;
    int32_t waiting = 0;
    for (const auto& [k, texts] : model) waiting += int32_t(texts.size());
    ASSERT_EQ(TBTest_LiveHandles(), liveAtStart_ + (table_ ? 1 : 0) + 2 * waiting) << step;
    ASSERT_LE(EntriesInTable(), int32_t(std::size(keys)));
  }
}

}  // namespace
}  // namespace nimbus
