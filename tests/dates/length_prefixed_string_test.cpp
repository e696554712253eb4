#include "dates/length_prefixed_string.h"

#include <gtest/gtest.h>

#include <string>

namespace nimbus::pstring {
namespace {

// A work buffer holding `text`; the bytes past the text are `fill`, so any read beyond the
// length changes a result.
struct Buffer {
  unsigned char bytes[kBufferSize];
  explicit Buffer(const std::string& text, unsigned char fill = '#') {
    std::fill(std::begin(bytes), std::end(bytes), fill);
    bytes[0] = static_cast<unsigned char>(text.size());
    std::copy(text.begin(), text.end(), bytes + 1);
  }
  std::string str() const { return std::string(bytes + 1, bytes + 1 + bytes[0]); }
};

TEST(DeleteTest, MatchesAModelForEveryPositionAndCount) {
  Buffer three("abc");
  Delete(three.bytes, 1, 2);
  EXPECT_EQ(three.str(), "c");
  std::string text(255, ' ');
  for (size_t i = 0; i < text.size(); ++i) text[i] = char('A' + i % 26);
  for (int32_t position = -1; position <= 257; ++position) {
    for (int32_t count = -1; count <= 257; count += 2) {
      Buffer s(text);
      Delete(s.bytes, position, count);
      std::string expected = text;  // out-of-range arguments change nothing
      if (position >= 1 && position <= 255 && count >= 1 && count <= 255) {
        expected.erase(size_t(position - 1), size_t(count));
      }
      ASSERT_EQ(s.str(), expected) << position << " " << count;
    }
  }
}

TEST(SubstringTest, StaysInsideTheSourceAndTheCapacity) {
  const Buffer source("Sun, 6 Nov", '7');
  for (int32_t start = -2; start <= 260; ++start) {
    for (int32_t count = -2; count <= 260; count += 7) {
      Buffer out("", '!');
      Substring(out.bytes, kBufferSize, source.bytes, start, count);
      const bool inside = start >= 1 && start <= 10 && count > 0;
      ASSERT_EQ(out.str(), inside ? source.str().substr(start - 1, count) : "") << start;
    }
  }
  Buffer small("", '!');
  Substring(small.bytes, 4, source.bytes, 2, 6);  // room for 3 characters
  EXPECT_EQ(small.str(), "un,");
  EXPECT_EQ(small.bytes[4], '!');
}

TEST(CompareTest, OrdersByUnsignedBytesThenLength) {
  const struct {
    const char* a;
    const char* b;
    int32_t order;
  } cases[] = {{"EST", "EST", 0}, {"", "", 0},        {"EST", "est", -1}, {"est", "EST", 1},
               {"ES", "EST", -1}, {"EST ", "EST", 1}, {"\x80", "\x7f", 1}};
  for (const auto& c : cases) EXPECT_EQ(Compare(Buffer(c.a).bytes, Buffer(c.b).bytes), c.order);
  EXPECT_EQ(Compare(Buffer("EST", 'A').bytes, Buffer("EST", 'B').bytes), 0);
}

TEST(AppendTest, JoinsIntoItsOwnArgumentAndCutsAt255) {
  Buffer a("Sun, ");
  Append(a.bytes, a.bytes, Buffer("6").bytes);
  EXPECT_EQ(a.str(), "Sun, 6");
  Buffer full(std::string(250, 'a'));
  Append(full.bytes, full.bytes, Buffer("bcdefghij").bytes);
  EXPECT_EQ(full.str(), std::string(250, 'a') + "bcdef");
}

}  // namespace
}  // namespace nimbus::pstring
