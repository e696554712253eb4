#include "queues/queues.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <deque>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "queues/queue_index.h"
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
    DisposeQueueTable(queues_);
    EXPECT_EQ(queues_.table, nullptr);
    EXPECT_EQ(queues_.index, nullptr);
    EXPECT_EQ(TBTest_LiveHandles(), liveAtStart_) << "blocks left behind";
  }

  void Push(int32_t key, const std::string& text) {
    Handle h = NewText(text);
    QueuePush(queues_, key, h, int32_t(text.size()));
    DisposeHandle(h);  // the queue keeps its own copy
  }

  // The popped text, or "<none>" when the queue gave no block.
  std::string Pop(int32_t key) {
    int16_t length = -1;
    Handle h = QueuePop(queues_, key, &length);
    if (h == nullptr) return length == 0 ? "<none>" : "<none, bad length>";
    EXPECT_EQ(length, GetHandleSize(h));
    std::string text = Contents(h);
    DisposeHandle(h);  // a popped Text is 4D's
    return text;
  }

  // When there is an index, it holds exactly the keys in use, each with the entry a scan of
  // the table finds, and exactly the free entries. (Without one, operations scan.)
  void ExpectIndexAgreesWithTable(const std::vector<int32_t>& keys) {
    if (queues_.table == nullptr) {
      EXPECT_EQ(queues_.index, nullptr);
      return;
    }
    if (queues_.index == nullptr) return;
    int32_t used = 0, free = 0;
    for (int32_t i = 0; i < Entries(); ++i)
      ++(ReadEntry(queues_.table, i).messageCount < 0 ? free : used);
    EXPECT_EQ(IndexedKeyCount(queues_.index), used);
    EXPECT_EQ(IndexedFreeCount(queues_.index), free);
    for (int32_t key : keys)
      ASSERT_EQ(IndexedEntry(queues_.index, key), FindEntry(queues_.table, key)) << key;
  }

  int32_t Entries() const { return queues_.table ? EntryCount(queues_.table) : 0; }
  // Blocks the queues hold besides the messages' nodes and texts.
  int32_t OwnBlocks() const { return (queues_.table ? 1 : 0) + (queues_.index ? 1 : 0); }

  QueueStore queues_{};
  const int32_t liveAtStart_ = TBTest_LiveHandles();
};

TEST_F(QueuesTest, PopsInOrderThenAnswersEmpty) {
  EXPECT_EQ(QueueCount(queues_, 7), 0);  // before any push
  EXPECT_EQ(Pop(7), "<none>");
  for (const char* text : {"first", "second", "third"}) Push(7, text);
  EXPECT_EQ(QueueCount(queues_, 7), 3);
  EXPECT_EQ(Pop(7), "first");
  EXPECT_EQ(Pop(7), "second");
  EXPECT_EQ(Pop(7), "third");
  EXPECT_EQ(Pop(7), "<none>");
  EXPECT_EQ(QueueCount(queues_, 7), 0);
  Push(7, "again");
  EXPECT_EQ(Pop(7), "again");
}

TEST_F(QueuesTest, ReusesAFreedEntryForAnyKeyBeforeGrowing) {
  for (int32_t key : {1, 2, 3}) Push(key, "text");
  EXPECT_EQ(GetHandleSize(queues_.table), TableSize(3));
  QueueClear(queues_, 2);
  EXPECT_EQ(QueueCount(queues_, 0), 0);  // the freed entry holds key 0 but is no queue
  EXPECT_EQ(Pop(0), "<none>");
  Push(0, "zero");
  EXPECT_EQ(ReadEntry(queues_.table, 1).key, 0);  // in key 2's place
  EXPECT_EQ(GetHandleSize(queues_.table), TableSize(3));
  Pop(1);  // emptied by popping, the entry still belongs to key 1
  Push(4, "grows");
  EXPECT_EQ(Entries(), 4);
  EXPECT_EQ(Pop(0), "zero");
}

TEST_F(QueuesTest, QueuesACopyOfTheTextsCharacters) {
  Handle mine = NewText("original text");
  QueuePush(queues_, 1, mine, 8);     // a Text shorter than its block
  QueuePush(queues_, 1, mine, 500);   // a length past the block: the block's bytes
  QueuePush(queues_, 1, mine, -3);    // a negative length: empty
  QueuePush(queues_, 1, nullptr, 5);  // no block: empty
  std::memcpy(*mine, "CHANGED", 7);
  int16_t length = 0;
  Handle popped = QueuePop(queues_, 1, &length);
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

// With the allocation budget cut at each step (copy, node, table creation, index, table
// growth), a push leaves the queues and the caller's Text as they were and nothing allocated:
// the first push that fails makes no table.
TEST_F(QueuesTest, APushWithoutMemoryChangesNothing) {
  Handle mine = NewText("payload");
  for (int32_t budget = 0; budget < 5; ++budget) {
    TBTest_SetAllocationBudget(budget);
    QueuePush(queues_, 1, mine, 7);
    TBTest_SetAllocationBudget(-1);
    EXPECT_EQ(queues_.table, nullptr) << budget;
    EXPECT_EQ(queues_.index, nullptr) << budget;
    EXPECT_EQ(TBTest_LiveHandles(), liveAtStart_ + 1) << budget;
  }
  Push(1, "kept");
  const int32_t live = TBTest_LiveHandles();
  for (int32_t key : {1, 2}) {
    for (int32_t budget = 0; budget < (key == 1 ? 2 : 3); ++budget) {
      TBTest_SetAllocationBudget(budget);
      QueuePush(queues_, key, mine, 7);
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
// with a plain model of queues, and the blocks alive are always the table and its index plus a
// node and a text for each waiting message. TearDown then disposes of the table with messages still
// in it.
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
      QueueClear(queues_, key);
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
    ASSERT_EQ(QueueCount(queues_, key), int32_t(queue.size())) << step;
    ASSERT_EQ(TBTest_LiveHandles(), liveAtStart_ + OwnBlocks() + 2 * waiting) << step;
    ASSERT_LE(Entries(), int32_t(std::size(keys)));
  }
}

// Thousands of keys (consecutive ones, random ones, ones alike in their low bits, the extremes)
// coming and going in waves: every operation agrees with a map of deques, a new key takes the
// lowest free entry (or grows the table) just as a scan would choose, and the index always
// agrees with the table.
TEST_F(QueuesTest, ManyKeysAgreeWithAMapOfDeques) {
  std::mt19937 random(2024);
  std::vector<int32_t> keys = {INT32_MIN, INT32_MAX, -1};
  for (int32_t i = 0; i < 600; ++i) keys.push_back(i);
  for (int32_t i = 1; i < 400; ++i) keys.push_back(i * 65536);
  for (int32_t i = 0; i < 500; ++i) keys.push_back(int32_t(random()));
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());

  std::map<int32_t, std::deque<std::string>> model;
  int32_t waiting = 0;
  for (int step = 0; step < 30000; ++step) {
    const int32_t key = keys[random() % keys.size()];
    std::deque<std::string>& queue = model[key];
    const bool filling = (step / 5000) % 2 == 0;  // waves of pushes, then of clears and pops
    const uint32_t action = random() % 10;
    if (action < (filling ? 1u : 4u)) {
      QueueClear(queues_, key);
      waiting -= int32_t(queue.size());
      queue.clear();
    } else if (action < (filling ? 3u : 8u)) {
      ASSERT_EQ(Pop(key), queue.empty() ? "<none>" : queue.front()) << step;
      if (!queue.empty()) queue.pop_front(), --waiting;
    } else {
      const bool newKey = queues_.table == nullptr || FindEntry(queues_.table, key) == kNoEntry;
      int32_t expected = kNoEntry;
      if (newKey && queues_.table != nullptr) expected = FindFreeEntry(queues_.table);
      if (newKey && expected == kNoEntry) expected = Entries();
      const std::string text = std::to_string(step);
      Push(key, text);
      queue.push_back(text);
      ++waiting;
      if (newKey) {
        ASSERT_EQ(FindEntry(queues_.table, key), expected) << step;
      }
    }
    ASSERT_EQ(QueueCount(queues_, key), int32_t(queue.size())) << step;
    if (step % 1000 == 0) {
      ExpectIndexAgreesWithTable(keys);
      ASSERT_NE(queues_.index, nullptr) << "with memory to spare, the index is always there";
      ASSERT_EQ(TBTest_LiveHandles(), liveAtStart_ + OwnBlocks() + 2 * waiting) << step;
    }
  }
  ExpectIndexAgreesWithTable(keys);
  for (int32_t key : keys) {
    const std::deque<std::string>& expected = model[key];
    ASSERT_EQ(QueueCount(queues_, key), int32_t(expected.size())) << key;
    for (const std::string& text : expected) ASSERT_EQ(Pop(key), text) << key;
    ASSERT_EQ(Pop(key), "<none>") << key;
  }
}

// A push cut short at any of its allocations (the text's copy, the node, the table, the
// index or the index's growth, the table's growth) leaves every queue as it was and nothing
// allocated; one that gets far enough queues its message, with the index or, when the index
// could not grow, without it until a later operation rebuilds it.
TEST_F(QueuesTest, PushesCutShortAtEveryAllocationChangeNothing) {
  std::mt19937 random(31);
  std::vector<int32_t> keys;
  for (int32_t i = 0; i < 60; ++i) keys.push_back(i * 7 - 100);
  std::map<int32_t, std::deque<std::string>> model;
  Handle mine = NewText("payload");
  int32_t waiting = 0, failedAttempts = 0, pushesWithoutIndex = 0;
  for (int step = 0; step < 400; ++step) {
    const int32_t key = keys[random() % (step < 200 ? 20 + step / 5 : keys.size())];
    if (random() % 4 == 0) {
      QueueClear(queues_, key);
      waiting -= int32_t(model[key].size());
      model[key].clear();
      continue;
    }
    for (int32_t budget = 0;; ++budget) {
      ASSERT_LT(budget, 8) << "a push needs at most a few allocations";
      const int32_t before = QueueCount(queues_, key);
      TBTest_SetAllocationBudget(budget);
      QueuePush(queues_, key, mine, 7);
      TBTest_SetAllocationBudget(-1);
      // Read before QueueCount, which may rebuild a dropped index.
      const int32_t live = TBTest_LiveHandles(), own = OwnBlocks();
      const bool indexed = queues_.index != nullptr;
      ExpectIndexAgreesWithTable(keys);
      const int32_t after = QueueCount(queues_, key);
      const bool pushed = after == before + 1;
      ASSERT_TRUE(pushed || after == before) << step << " " << budget;
      ASSERT_EQ(live, liveAtStart_ + 1 + own + 2 * (waiting + (pushed ? 1 : 0)))
          << step << " " << budget;
      if (!pushed) {
        ++failedAttempts;
        continue;
      }
      model[key].push_back("payload");
      ++waiting;
      if (!indexed) ++pushesWithoutIndex;
      break;
    }
    for (const auto& [k, queue] : model) ASSERT_EQ(QueueCount(queues_, k), int32_t(queue.size()));
  }
  EXPECT_GT(failedAttempts, 400);
  EXPECT_GT(pushesWithoutIndex, 0) << "no push went on without its index";
  for (const auto& [k, queue] : model) {
    for (size_t i = 0; i < queue.size(); ++i) ASSERT_EQ(Pop(k), "payload");
    ASSERT_EQ(Pop(k), "<none>");
  }
  DisposeHandle(mine);
}

}  // namespace
}  // namespace nimbus
