// Number and text conversions and string comparison on length-prefixed strings. Comparison
// knows the Mac Roman character set: accented capitals fold to their small letters, and
// accented letters fold to their base letters.
#include <array>
#include <cstdint>

#include "host/toolbox.h"

namespace {

struct Fold {
  unsigned char from;
  unsigned char to;
};

// Mac Roman capital → small letter, beyond ASCII.
constexpr Fold kSmallLetters[] = {
    {0x80, 0x8A}, {0x81, 0x8C}, {0x82, 0x8D}, {0x83, 0x8E}, {0x84, 0x96}, {0x85, 0x9A},
    {0x86, 0x9F}, {0xAE, 0xBE}, {0xAF, 0xBF}, {0xCB, 0x88}, {0xCC, 0x8B}, {0xCD, 0x9B},
    {0xCE, 0xCF}, {0xD9, 0xD8}, {0xE5, 0x89}, {0xE6, 0x90}, {0xE7, 0x87}, {0xE8, 0x91},
    {0xE9, 0x8F}, {0xEA, 0x92}, {0xEB, 0x94}, {0xEC, 0x95}, {0xED, 0x93}, {0xEE, 0x97},
    {0xEF, 0x99}, {0xF1, 0x98}, {0xF2, 0x9C}, {0xF3, 0x9E}, {0xF4, 0x9D},
};

// Mac Roman accented letter → its letter without the mark (ligatures such as Æ, Œ and ß
// are letters of their own and stay).
constexpr Fold kBaseLetters[] = {
    {0x80, 'A'}, {0x81, 'A'}, {0xCB, 'A'}, {0xCC, 'A'}, {0xE5, 'A'}, {0xE7, 'A'}, {0x82, 'C'},
    {0x83, 'E'}, {0xE6, 'E'}, {0xE8, 'E'}, {0xE9, 'E'}, {0xEA, 'I'}, {0xEB, 'I'}, {0xEC, 'I'},
    {0xED, 'I'}, {0x84, 'N'}, {0x85, 'O'}, {0xAF, 'O'}, {0xCD, 'O'}, {0xEE, 'O'}, {0xEF, 'O'},
    {0xF1, 'O'}, {0x86, 'U'}, {0xF2, 'U'}, {0xF3, 'U'}, {0xF4, 'U'}, {0xD9, 'Y'}, {0x87, 'a'},
    {0x88, 'a'}, {0x89, 'a'}, {0x8A, 'a'}, {0x8B, 'a'}, {0x8C, 'a'}, {0x8D, 'c'}, {0x8E, 'e'},
    {0x8F, 'e'}, {0x90, 'e'}, {0x91, 'e'}, {0x92, 'i'}, {0x93, 'i'}, {0x94, 'i'}, {0x95, 'i'},
    {0x96, 'n'}, {0x97, 'o'}, {0x98, 'o'}, {0x99, 'o'}, {0x9A, 'o'}, {0x9B, 'o'}, {0xBF, 'o'},
    {0x9C, 'u'}, {0x9D, 'u'}, {0x9E, 'u'}, {0x9F, 'u'}, {0xD8, 'y'},
};

using FoldTable = std::array<unsigned char, 256>;

constexpr FoldTable MakeSmallLetterTable() {
  FoldTable table{};
  for (int c = 0; c < 256; ++c) table[c] = (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
  for (Fold f : kSmallLetters) table[f.from] = f.to;
  return table;
}

constexpr FoldTable MakeBaseLetterTable() {
  FoldTable table{};
  for (int c = 0; c < 256; ++c) table[c] = static_cast<unsigned char>(c);
  for (Fold f : kBaseLetters) table[f.from] = f.to;
  return table;
}

constexpr FoldTable kSmallLetterOf = MakeSmallLetterTable();
constexpr FoldTable kBaseLetterOf = MakeBaseLetterTable();

unsigned char Folded(unsigned char c, bool caseSensitive, bool diacriticalSensitive) {
  if (!diacriticalSensitive) c = kBaseLetterOf[c];
  if (!caseSensitive) c = kSmallLetterOf[c];
  return c;
}

}  // namespace

extern "C" {

TOOLBOX_API void NumToString(int32_t number, StringPtr text) {
  if (text == nullptr) return;
  // Digits are produced from the magnitude as unsigned, so the most negative value works.
  uint32_t magnitude = number < 0 ? 0u - uint32_t(number) : uint32_t(number);
  unsigned char digits[10];
  int count = 0;
  do {
    digits[count++] = static_cast<unsigned char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  int length = 0;
  if (number < 0) text[++length] = '-';
  while (count > 0) text[++length] = digits[--count];
  text[0] = static_cast<unsigned char>(length);
}

TOOLBOX_API void StringToNum(ConstStr255Param text, int32_t* number) {
  if (number == nullptr) return;
  *number = 0;
  if (text == nullptr) return;
  int length = text[0];
  int at = 1;
  bool negative = false;
  if (at <= length && (text[at] == '-' || text[at] == '+')) negative = text[at++] == '-';
  uint32_t value = 0;  // unsigned: overflow wraps at 32 bits instead of being undefined
  for (; at <= length && text[at] >= '0' && text[at] <= '9'; ++at) {
    value = value * 10 + uint32_t(text[at] - '0');
  }
  *number = int32_t(negative ? 0u - value : value);
}

TOOLBOX_API uint8_t EqualString(ConstStr255Param a, ConstStr255Param b, uint8_t caseSensitive,
                                uint8_t diacriticalSensitive) {
  if (a == nullptr || b == nullptr) return a == b;
  if (a[0] != b[0]) return 0;
  for (int i = 1; i <= a[0]; ++i) {
    if (Folded(a[i], caseSensitive, diacriticalSensitive) !=
        Folded(b[i], caseSensitive, diacriticalSensitive)) {
      return 0;
    }
  }
  return 1;
}

}  // extern "C"
