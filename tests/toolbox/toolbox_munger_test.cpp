// Munger: search and replace inside a block, checked against a plain string model.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "host/toolbox.h"
#include "toolbox/toolbox_testing.h"

namespace {

std::string Contents(Handle h) {
  return std::string(*h, size_t(GetHandleSize(h)));
}

Handle HandleWith(const std::string& bytes) {
  Handle h = NewHandle(Size(bytes.size()));
  std::memcpy(*h, bytes.data(), bytes.size());
  return h;
}

// What Munger should do, written directly on a string: the answer and the new contents.
int32_t ModelMunger(std::string& s, int32_t offset, const char* p1, int32_t len1, const char* p2,
                    int32_t len2) {
  auto size = int32_t(s.size());
  if (offset < 0 || offset > size) return -1;
  if (p2 != nullptr && len2 < 0) return -1;
  int32_t at = offset;
  int32_t length;
  if (p1 == nullptr) {
    length = (len1 < 0 || len1 > size - offset) ? size - offset : len1;
  } else {
    if (len1 < 0) return -1;
    size_t found = s.find(std::string(p1, size_t(len1)), size_t(offset));
    if (found == std::string::npos) return -1;
    at = int32_t(found);
    length = len1;
  }
  if (p2 == nullptr) return at;
  s.replace(size_t(at), size_t(length), std::string(p2, size_t(len2)));
  return at + len2;
}

// The classic cases, one call each on a fresh block: the answer and the block after.
TEST(MungerTest, ClassicCases) {
  struct Case {
    const char* start;
    int32_t offset;
    const char* p1;
    int32_t len1;
    const char* p2;
    int32_t len2;
    int32_t answer;
    const char* after;
  } cases[] = {
      {"one two one two", 5, "two", 3, nullptr, 0, 12, "one two one two"},   // find only
      {"one two one two", 13, "two", 3, nullptr, 0, -1, "one two one two"},  // runs past the end
      {"a-b-c", 0, "-", 1, "+++", 3, 4, "a+++b-c"},                          // grows
      {"a+++b", 0, "+++", 3, "|", 1, 2, "a|b"},                              // shrinks
      {"a-b", 0, "-", 1, "", 0, 1, "ab"},                                    // deletes
      {"a-b", 0, "zz", 2, "y", 1, -1, "a-b"},                                // no match
      {"0123456789", 2, nullptr, 3, "ab", 2, 4, "01ab56789"},  // no pattern: bytes at offset
      {"0123456789", 7, nullptr, 50, "Z", 1, 8, "0123456Z"},   // length past the end
      {"0123456789", 4, nullptr, -1, "", 0, 4, "0123"},        // negative length: to the end
      {"01ab", 4, nullptr, 0, "cd", 2, 6, "01abcd"},           // append at the end
      {"ac", 1, "x", 0, "b", 1, 2, "abc"},                     // empty pattern inserts
  };
  for (const Case& c : cases) {
    Handle h = HandleWith(c.start);
    EXPECT_EQ(Munger(h, c.offset, c.p1, c.len1, c.p2, c.len2), c.answer) << c.start;
    EXPECT_EQ(Contents(h), c.after) << c.start;
    DisposeHandle(h);
  }
}

TEST(MungerTest, BadArgumentsAnswerNegativeAndLeaveTheBlock) {
  Handle h = HandleWith("abc");
  EXPECT_LT(Munger(h, -1, "a", 1, "b", 1), 0);
  EXPECT_LT(Munger(h, 4, "a", 1, "b", 1), 0);
  EXPECT_LT(Munger(h, 0, "a", -2, "b", 1), 0);
  EXPECT_LT(Munger(h, 0, "a", 1, "b", -1), 0);
  EXPECT_LT(Munger(nullptr, 0, "a", 1, "b", 1), 0);
  EXPECT_EQ(Contents(h), "abc");
  Handle gone = NewHandle(3);
  DisposeHandle(gone);
  EXPECT_LT(Munger(gone, 0, "a", 1, nullptr, 0), 0);
  EXPECT_EQ(MemError(), nilHandleErr);
  DisposeHandle(h);
}

TEST(MungerTest, ReplacementTakenFromTheBlockItselfSurvivesTheMove) {
  TBTest_SetMovingMode(1);
  Handle h = HandleWith("xyz-");
  // The replacement is the block's own first three bytes; the block moves as it grows.
  EXPECT_EQ(Munger(h, 0, "-", 1, *h, 3), 6);
  EXPECT_EQ(Contents(h), "xyzxyz");
  DisposeHandle(h);
}

TEST(MungerTest, FailedGrowthLeavesTheBlockIntact) {
  Handle locked = HandleWith("ab");
  HLock(locked);
  std::string big(1000, 'q');
  EXPECT_LT(Munger(locked, 0, "a", 1, big.data(), Size(big.size())), 0);
  EXPECT_EQ(MemError(), memFullErr);
  EXPECT_EQ(Contents(locked), "ab");
  // A locked block can still shrink, in place.
  char* at = *locked;
  EXPECT_EQ(Munger(locked, 0, "a", 1, "", 0), 0);
  EXPECT_EQ(*locked, at);
  EXPECT_EQ(Contents(locked), "b");
  DisposeHandle(locked);

  Handle h = HandleWith("ab");
  TBTest_SetAllocationBudget(0);
  EXPECT_LT(Munger(h, 0, "a", 1, "AAA", 3), 0);
  TBTest_SetAllocationBudget(-1);
  EXPECT_EQ(Contents(h), "ab");
  DisposeHandle(h);
}

TEST(MungerTest, ReplacesEveryOccurrenceInAFullSizedText) {
  // The way a replace-all loop drives it: a 32767-byte text, every CR turned into CR LF.
  std::string text;
  for (int i = 0; text.size() < 32767; ++i) text += (i % 40 == 39) ? '\r' : char('a' + i % 26);
  text.resize(32767);
  Handle h = HandleWith(text);
  std::string expected = text;
  for (size_t at = 0; (at = expected.find('\r', at)) != std::string::npos; at += 2) {
    expected.insert(at + 1, 1, '\n');
  }
  int32_t offset = 0;
  while ((offset = Munger(h, offset, "\r", 1, "\r\n", 2)) >= 0) {
  }
  EXPECT_EQ(Contents(h), expected);
  DisposeHandle(h);
}

TEST(MungerTest, AgreesWithTheStringModelOnRandomCalls) {
  std::mt19937 random(20240601);
  const std::string alphabet = "ab";
  for (int trial = 0; trial < 3000; ++trial) {
    std::string model;
    for (int n = int(random() % 12); n > 0; --n) model += alphabet[random() % 2];
    Handle h = HandleWith(model);
    std::string pattern, replacement;
    for (int n = int(random() % 3); n > 0; --n) pattern += alphabet[random() % 2];
    for (int n = int(random() % 4); n > 0; --n) replacement += "xy"[random() % 2];
    auto offset = int32_t(random() % 15) - 1;
    auto len1 = random() % 4 == 0 ? int32_t(random() % 16) - 2 : int32_t(pattern.size());
    const char* p1 = random() % 4 == 0 ? nullptr : pattern.data();
    const char* p2 = random() % 3 == 0 ? nullptr : replacement.data();
    if (p1 != nullptr && len1 > int32_t(pattern.size())) len1 = int32_t(pattern.size());
    auto len2 = int32_t(replacement.size());

    int32_t want = ModelMunger(model, offset, p1, len1, p2, len2);
    int32_t got = Munger(h, offset, p1, len1, p2, len2);
    ASSERT_EQ(got < 0, want < 0) << "trial " << trial;
    if (want >= 0) {
      ASSERT_EQ(got, want) << "trial " << trial;
    }
    ASSERT_EQ(Contents(h), model) << "trial " << trial;
    DisposeHandle(h);
  }
}

}  // namespace
