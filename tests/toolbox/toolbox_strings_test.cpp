// Number and text conversions, and Mac Roman aware string comparison.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>

#include "host/toolbox.h"

namespace {

using Str = std::array<unsigned char, 256>;

Str Pascal(const std::string& text) {
  Str s{};
  s[0] = static_cast<unsigned char>(text.size());
  for (size_t i = 0; i < text.size() && i < 255; ++i)
    s[i + 1] = static_cast<unsigned char>(text[i]);
  return s;
}

std::string FromNumber(int32_t n) {
  Str s;
  s.fill(0xEE);
  NumToString(n, s.data());
  return std::string(reinterpret_cast<const char*>(s.data() + 1), s[0]);
}

int32_t ToNumber(const std::string& text) {
  int32_t n = 12345;
  Str s = Pascal(text);
  StringToNum(s.data(), &n);
  return n;
}

bool Equal(const std::string& a, const std::string& b, bool caseSensitive, bool diacSensitive) {
  Str pa = Pascal(a), pb = Pascal(b);
  return EqualString(pa.data(), pb.data(), caseSensitive, diacSensitive) != 0;
}

bool EqualChars(int a, int b, bool caseSensitive, bool diacSensitive) {
  return Equal(std::string(1, char(a)), std::string(1, char(b)), caseSensitive, diacSensitive);
}

TEST(NumberTextTest, NumToStringWritesDecimal) {
  EXPECT_EQ(FromNumber(0), "0");
  EXPECT_EQ(FromNumber(7), "7");
  EXPECT_EQ(FromNumber(-7), "-7");
  EXPECT_EQ(FromNumber(1000000), "1000000");
  EXPECT_EQ(FromNumber(INT32_MAX), "2147483647");
  EXPECT_EQ(FromNumber(INT32_MIN), "-2147483648");
}

TEST(NumberTextTest, StringToNumReadsUntilTheFirstOtherCharacter) {
  EXPECT_EQ(ToNumber(""), 0);
  EXPECT_EQ(ToNumber("-"), 0);
  EXPECT_EQ(ToNumber("+42"), 42);
  EXPECT_EQ(ToNumber("-42"), -42);
  EXPECT_EQ(ToNumber("12ab34"), 12);
  EXPECT_EQ(ToNumber(" 12"), 0);
  EXPECT_EQ(ToNumber("007"), 7);
  EXPECT_EQ(ToNumber("--5"), 0);
  EXPECT_EQ(ToNumber("2147483647"), INT32_MAX);
  EXPECT_EQ(ToNumber("-2147483648"), INT32_MIN);
  // Past 32 bits the value wraps, as unsigned arithmetic does.
  EXPECT_EQ(ToNumber("2147483648"), INT32_MIN);
  EXPECT_EQ(ToNumber("4294967296"), 0);
  EXPECT_EQ(ToNumber("4294967297"), 1);
  EXPECT_EQ(ToNumber(std::string(255, '9')), int32_t(0xFFFFFFFFu));  // 10^255 - 1 mod 2^32

  int32_t n = 5;
  StringToNum(nullptr, &n);
  EXPECT_EQ(n, 0);
  StringToNum(Pascal("1").data(), nullptr);  // nowhere to write: nothing happens
}

TEST(NumberTextTest, RoundTripsAcrossTheRange) {
  for (int64_t n = INT32_MIN; n <= INT32_MAX; n += 65537 * 7) {
    ASSERT_EQ(ToNumber(FromNumber(int32_t(n))), int32_t(n));
  }
  for (int32_t n : {INT32_MIN, INT32_MIN + 1, -1, 0, 1, INT32_MAX - 1, INT32_MAX}) {
    EXPECT_EQ(ToNumber(FromNumber(n)), n);
  }
}

TEST(EqualStringTest, ExactComparisonNeedsSameBytes) {
  EXPECT_TRUE(Equal("", "", true, true));
  EXPECT_TRUE(Equal("abc", "abc", true, true));
  EXPECT_FALSE(Equal("abc", "abd", false, false));
  EXPECT_FALSE(Equal("abc", "abcd", false, false));
  EXPECT_FALSE(Equal("abc", "ABC", true, true));
  for (int a = 0; a < 256; ++a) {
    for (int b = 0; b < 256; ++b) ASSERT_EQ(EqualChars(a, b, true, true), a == b) << a << " " << b;
  }
}

TEST(EqualStringTest, CaseFoldingCoversAsciiAndMacRomanCapitals) {
  EXPECT_TRUE(Equal("Hello World", "hELLO wORLD", false, true));
  EXPECT_TRUE(EqualChars(0x83, 0x8E, false, true));   // É é
  EXPECT_TRUE(EqualChars(0x80, 0x8A, false, true));   // Ä ä
  EXPECT_TRUE(EqualChars(0x84, 0x96, false, true));   // Ñ ñ
  EXPECT_TRUE(EqualChars(0xCE, 0xCF, false, true));   // Œ œ
  EXPECT_TRUE(EqualChars(0xD9, 0xD8, false, true));   // Ÿ ÿ
  EXPECT_FALSE(EqualChars(0x83, 0x8F, false, true));  // É è: the accent still counts
  EXPECT_FALSE(EqualChars(0x83, 'e', false, true));
  EXPECT_FALSE(EqualChars('[', '{', false, true));    // not letters
  EXPECT_FALSE(EqualChars(0xA7, 's', false, false));  // ß is a letter of its own
}

TEST(EqualStringTest, DiacriticsFoldToBaseLetters) {
  EXPECT_TRUE(EqualChars(0x8E, 'e', true, false));   // é e
  EXPECT_TRUE(EqualChars(0x80, 'A', true, false));   // Ä A
  EXPECT_FALSE(EqualChars(0x80, 'a', true, false));  // Ä a: case still counts
  EXPECT_TRUE(EqualChars(0x80, 'a', false, false));
  EXPECT_TRUE(
      Equal("Cr\x8Fme br\x9El\x8E"
            "e",
            "CREME BRULEE", false, false));
  EXPECT_FALSE(Equal("Cr\x8Fme", "CREME", false, true));
}

TEST(EqualStringTest, EveryModeIsAnEquivalenceAndLooserModesContainStricterOnes) {
  // For all byte pairs: symmetric; a looser mode accepts all that a stricter one accepts;
  // and the relation is transitive (checked through the classes each byte falls into).
  const bool modes[4][2] = {{true, true}, {false, true}, {true, false}, {false, false}};
  static bool eq[4][256][256];
  for (int m = 0; m < 4; ++m) {
    for (int a = 0; a < 256; ++a) {
      for (int b = 0; b < 256; ++b) eq[m][a][b] = EqualChars(a, b, modes[m][0], modes[m][1]);
    }
  }
  for (int m = 0; m < 4; ++m) {
    for (int a = 0; a < 256; ++a) {
      ASSERT_TRUE(eq[m][a][a]);
      for (int b = 0; b < 256; ++b) {
        ASSERT_EQ(eq[m][a][b], eq[m][b][a]) << m << ": " << a << " " << b;
        if (eq[0][a][b]) {
          ASSERT_TRUE(eq[m][a][b]);
        }
        if (eq[1][a][b] || eq[2][a][b]) {
          ASSERT_TRUE(eq[3][a][b]) << a << " " << b;
        }
        if (!eq[m][a][b]) continue;
        for (int c = 0; c < 256; ++c) {
          if (eq[m][b][c]) {
            ASSERT_TRUE(eq[m][a][c]) << m << ": " << a << " " << b << " " << c;
          }
        }
      }
    }
  }
  // Case folding pairs Mac Roman capitals with their small letters one to one: 26 ASCII
  // pairs and 29 more.
  int pairs = 0;
  for (int a = 0; a < 256; ++a) {
    for (int b = a + 1; b < 256; ++b) pairs += eq[1][a][b];
  }
  EXPECT_EQ(pairs, 26 + 29);
}

TEST(EqualStringTest, NullStringsOnlyEqualEachOther) {
  Str s = Pascal("");
  EXPECT_EQ(EqualString(nullptr, nullptr, 0, 0), 1);
  EXPECT_EQ(EqualString(s.data(), nullptr, 0, 0), 0);
  EXPECT_EQ(EqualString(nullptr, s.data(), 0, 0), 0);
}

}  // namespace
