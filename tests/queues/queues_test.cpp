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
  return std::string(*h, size_t(GetHandleSize(h)));
}

// The table handle as the global record keeps it, and the caller's side of pushes and pops.
// Every test must end with nothing allocated.
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
    DisposeHandle(h);  // the queue keeps its own copy
  }

  // The popped text, or "<none>" when the queue gave no block.
  std::string Pop(int32_t key) {
    int16_t length = -1;
    Handle h = QueuePop(table_, key, &length);
    if (h == nullptr) return length == 0 ? "<none>" : "<none, bad length>";
    EXPECT_EQ(length, GetHandleSize(h));
    std::string text = Contents(h);
    DisposeHandle(h);  // a popped Text is 4D's
    return text;
  }

  int32_t Entries() const { return table_ ? EntryCount(table_) : 0; }

  Handle table_ = nullptr;
  const int32_t liveAtStart_ = TBTest_LiveHandles();
};

TEST_F(QueuesTest, PopsInOrderThenAnswersEmpty) {
  EXPECT_EQ(QueueCount(table_, 7), 0);  // before any push
  EXPECT_EQ(Pop(7), "<none>");
  for (const char* text : {"first", "second", "third"}) Push(7, text);
  EXPECT_EQ(QueueCount(table_, 7), 3);
  EXPECT_EQ(Pop(7), "first");
  EXPECT_EQ(Pop(7), "second");
  EXPECT_EQ(Pop(7), "third");
  EXPECT_EQ(Pop(7), "<none>");
  EXPECT_EQ(QueueCount(table_, 7), 0);
  Push(7, "again");
  EXPECT_EQ(Pop(7), "again");
}

TEST_F(QueuesTest, ReusesAFreedEntryForAnyKeyBeforeGrowing) {
  for (int32_t key : {1, 2, 3}) Push(key, "text");
  EXPECT_EQ(GetHandleSize(table_), TableSize(3));
  QueueClear(table_, 2);
  EXPECT_EQ(QueueCount(table_, 0), 0);  // the freed entry holds key 0 but is no queue
  EXPECT_EQ(Pop(0), "<none>");
  Push(0, "zero");
  EXPECT_EQ(ReadEntry(table_, 1).key, 0);  // in key 2's place
  EXPECT_EQ(GetHandleSize(table_), TableSize(3));
  Pop(1);  // emptied by popping, the entry still belongs to key 1
  Push(4, "grows");
  EXPECT_EQ(Entries(), 4);
  EXPECT_EQ(Pop(0), "zero");
}

TEST_F(QueuesTest, QueuesACopyOfTheTextsCharacters) {
  Handle mine = NewText("original text");
  QueuePush(&table_, 1, mine, 8);     // a Text shorter than its block
  QueuePush(&table_, 1, mine, 500);   // a length past the block: the block's bytes
  QueuePush(&table_, 1, mine, -3);    // a negative length: empty
  QueuePush(&table_, 1, nullptr, 5);  // no block: empty
  std::memcpy(*mine, "CHANGED", 7);
  int16_t length = 0;
  Handle popped = QueuePop(table_, 1, &length);
  EXPECT_NE(popped, mine);
  EXPECT_EQ(Contents(popped), "original");
  DisposeHandle(popped);
  DisposeHandle(mine);
  EXPECT_EQ(Pop(1), "original text");
  EXPECT_EQ(Pop(1), "");  // empty messages still come with a block
  EXPECT_EQ(Pop(1), "");
  EXPECT_EQ(Pop(1), "<none>");
  Push(1, std::string(32767, 'x'));
  EXPECT_EQ(Pop(1), std::string(32767, 'x'));
}

// With the allocation budget cut at each step (copy, node, table creation or growth), a push
// leaves the queues and the caller's Text as they were and nothing allocated.
TEST_F(QueuesTest, APushWithoutMemoryChangesNothing) {
  Handle mine = NewText("payload");
  for (int32_t budget = 0; budget < 3; ++budget) {
    TBTest_SetAllocationBudget(budget);
    QueuePush(&table_, 1, mine, 7);
    TBTest_SetAllocationBudget(-1);
    EXPECT_EQ(table_, nullptr) << budget;
    EXPECT_EQ(TBTest_LiveHandles(), liveAtStart_ + 1) << budget;
  }
  Push(1, "kept");
  const int32_t live = TBTest_LiveHandles();
  for (int32_t key : {1, 2}) {
    for (int32_t budget = 0; budget < (key == 1 ? 2 : 3); ++budget) {
      TBTest_SetAllocationBudget(budget);
      QueuePush(&table_, key, mine, 7);
      TBTest_SetAllocationBudget(-1);
      EXPECT_EQ(TBTest_LiveHandles(), live) << key << " " << budget;
    }
  }
  EXPECT_EQ(Entries(), 1);
  EXPECT_EQ(Contents(mine), "payload");
  EXPECT_EQ(Pop(1), "kept");
  EXPECT_EQ(Pop(1), "<none>");
  DisposeHandle(mine);
}

// Random pushes, pops and clears over independent keys (0 and negative ones included) agree
// with a plain model of queues, and the blocks alive are always the table plus a node and a
// text for each waiting message. TearDown then disposes of the table with messages still in it.
TEST_F(QueuesTest, AgreesWithAModelUnderRandomUse) {
  std::map<int32_t, std::deque<std::string>> model;
  std::mt19937 random(4041);
  const int32_t keys[] = {0, -1, 3, 1000, INT32_MIN, 17, -17, 8};
  int32_t waiting = 0;
  for (int step = 0; step < 5000; ++step) {
    const int32_t key = keys[random() % std::size(keys)];
    std::deque<std::string>& queue = model[key];
    const uint32_t action = random() % 8;
    if (action == 0) {
      QueueClear(table_, key);
      waiting -= int32_t(queue.size());
      queue.clear();
    } else if (action <= 3) {
      ASSERT_EQ(Pop(key), queue.empty() ? "<none>" : queue.front()) << step;
      if (!queue.empty()) queue.pop_front(), --waiting;
    } else {
      const std::string text(size_t(random() % 40), char('a' + step % 26));
      Push(key, text);
      queue.push_back(text);
      ++waiting;
    }
    ASSERT_EQ(QueueCount(table_, key), int32_t(queue.size())) << step;
    ASSERT_EQ(TBTest_LiveHandles(), liveAtStart_ + (table_ ? 1 : 0) + 2 * waiting) << step;
    ASSERT_LE(Entries(), int32_t(std::size(keys)));
  }
}

}  // namespace
}  // namespace nimbus
