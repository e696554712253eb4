#include "dates/length_prefixed_string.h"

#include <gtest/gtest.h>

#include <string>

namespace nimbus::pstring {
namespace {

// A work buffer holding `text`, with every byte past the text set to `fill`, so a read beyond
// the length shows up as a different result.
struct Buffer {
  unsigned char bytes[kBufferSize];
  explicit Buffer(const std::string& text, unsigned char fill = '#') {
    std::fill(std::begin(bytes), std::end(bytes), fill);
    bytes[0] = static_cast<unsigned char>(text.size());
    std::copy(text.begin(), text.end(), bytes + 1);
  }
  std::string str() const { return std::string(bytes + 1, bytes + 1 + bytes[0]); }
};

TEST(DeleteTest, RemovesInsideAndCutsAtTheEnd) {
  Buffer s("abc");
  Delete(s.bytes, 1, 2);
  EXPECT_EQ(s.str(), "c");

  Buffer middle("abcdef");
  Delete(middle.bytes, 3, 2);
  EXPECT_EQ(middle.str(), "abef");

  Buffer tail("abcdef");
  Delete(tail.bytes, 4, 200);  // runs past the end: cut at position - 1
  EXPECT_EQ(tail.str(), "abc");

  Buffer exact("abcdef");
  Delete(exact.bytes, 4, 3);  // ends exactly at the last character
  EXPECT_EQ(exact.str(), "abc");
}

TEST(DeleteTest, IgnoresPositionsAndCountsOutsideItsRange) {
  for (int32_t position : {-1, 0, 7, 255}) {
    Buffer s("abcdef");
    Delete(s.bytes, position, 1);
    EXPECT_EQ(s.str(), "abcdef") << position;
  }
  for (int32_t count : {-5, 0, 256, 100000}) {
    Buffer s("abcdef");
    Delete(s.bytes, 2, count);
    EXPECT_EQ(s.str(), "abcdef") << count;
  }
  Buffer empty("");
  Delete(empty.bytes, 1, 1);
  EXPECT_EQ(empty.str(), "");
}

TEST(DeleteTest, MatchesAModelForEveryPositionAndCountOfAFullString) {
  std::string text(255, ' ');
  for (size_t i = 0; i < text.size(); ++i) text[i] = char('A' + i % 26);
  for (int32_t position = -1; position <= 257; ++position) {
    for (int32_t count = -1; count <= 257; count += 3) {
      Buffer s(text);
      Delete(s.bytes, position, count);
      std::string expected = text;
      const int32_t length = int32_t(text.size());
      if (position >= 1 && position <= length && count >= 1 && count <= 255) {
        expected.erase(size_t(position - 1), size_t(count));
      }
      ASSERT_EQ(s.str(), expected) << position << " " << count;
    }
  }
}

TEST(SubstringTest, StaysInsideTheSourceLengthAndTheCapacity) {
  const Buffer source("Sun, 6 Nov", '7');  // bytes past the length are digits
  for (int32_t start = -2; start <= 260; ++start) {
    for (int32_t count = -2; count <= 260; count += 7) {
      Buffer out("", '!');
      Substring(out.bytes, kBufferSize, source.bytes, start, count);
      std::string expected;
      if (start >= 1 && start <= 10 && count > 0) expected = source.str().substr(start - 1, count);
      ASSERT_EQ(out.str(), expected) << start << " " << count;
    }
  }
}

TEST(SubstringTest, CutsToTheDestinationCapacity) {
  const Buffer source("abcdefgh");
  Buffer out("", '!');
  Substring(out.bytes, 4, source.bytes, 2, 6);  // room for 3 characters
  EXPECT_EQ(out.str(), "bcd");
  EXPECT_EQ(out.bytes[4], '!');  // nothing written past the capacity

  Buffer untouched("keep");
  Substring(untouched.bytes, 0, source.bytes, 1, 3);
  EXPECT_EQ(untouched.str(), "keep");
}

TEST(SubstringTest, MayWriteOverItsOwnSource) {
  Buffer s("abcdef");
  Substring(s.bytes, kBufferSize, s.bytes, 3, 3);
  EXPECT_EQ(s.str(), "cde");
}

TEST(CompareTest, OrdersByUnsignedBytesThenLength) {
  EXPECT_EQ(Compare(Buffer("EST").bytes, Buffer("EST").bytes), 0);
  EXPECT_EQ(Compare(Buffer("").bytes, Buffer("").bytes), 0);
  EXPECT_EQ(Compare(Buffer("EST").bytes, Buffer("est").bytes), -1);  // case counts
  EXPECT_EQ(Compare(Buffer("est").bytes, Buffer("EST").bytes), 1);
  EXPECT_EQ(Compare(Buffer("ES").bytes, Buffer("EST").bytes), -1);
  EXPECT_EQ(Compare(Buffer("EST ").bytes, Buffer("EST").bytes), 1);
  EXPECT_EQ(Compare(Buffer("\x80").bytes, Buffer("\x7f").bytes), 1);  // unsigned
  // Bytes past the length never take part.
  EXPECT_EQ(Compare(Buffer("EST", 'A').bytes, Buffer("EST", 'B').bytes), 0);
}

TEST(AppendTest, JoinsIntoAnyOfItsArgumentsAndCutsAt255) {
  Buffer a("Sun, ");
  Append(a.bytes, a.bytes, Buffer("6").bytes);
  EXPECT_EQ(a.str(), "Sun, 6");

  Buffer b("xy");
  Buffer out("");
  Append(out.bytes, Buffer("ab").bytes, b.bytes);
  EXPECT_EQ(out.str(), "abxy");
  Append(b.bytes, Buffer("ab").bytes, b.bytes);  // destination is the second argument
  EXPECT_EQ(b.str(), "abxy");

  Buffer longText(std::string(250, 'a'));
  Append(longText.bytes, longText.bytes, Buffer("bcdefghij").bytes);
  EXPECT_EQ(longText.str(), std::string(250, 'a') + "bcdef");
}

TEST(CopyTest, CopiesUpToTheMaximumWithAMatchingLength) {
  Buffer out("", '!');
  Copy(Buffer("Nov 1994").bytes, out.bytes, kBufferSize);
  EXPECT_EQ(out.str(), "Nov 1994");
  Copy(Buffer("Nov 1994").bytes, out.bytes, 3);
  EXPECT_EQ(out.str(), "Nov");
  Copy(Buffer("Nov 1994").bytes, out.bytes, -1);
  EXPECT_EQ(out.str(), "");
}

TEST(LiteralTest, HoldsItsLengthAndCharacters) {
  constexpr Literal<5> gmt(" GMT");
  EXPECT_EQ(gmt.get()[0], 4);
  EXPECT_EQ(std::string(gmt.get() + 1, gmt.get() + 5), " GMT");
}

TEST(CharAtTest, AnswersZeroOutsideTheString) {
  const Buffer gmt(" GMT", 'X');
  EXPECT_EQ(CharAt(gmt.bytes, 2), 'G');
  EXPECT_EQ(CharAt(gmt.bytes, 4), 'T');
  EXPECT_EQ(CharAt(gmt.bytes, 0), 0);
  EXPECT_EQ(CharAt(gmt.bytes, 5), 0);
  EXPECT_EQ(CharAt(gmt.bytes, -1), 0);
}

}  // namespace
}  // namespace nimbus::pstring
