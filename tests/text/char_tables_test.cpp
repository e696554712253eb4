// The generated character tables, read back through the toolbox, and the byte-for-byte
// translations built on them.
#include <set>

#include "host/toolbox.h"
#include "text/text.h"
#include "text/text_test_support.h"
#include "toolbox/toolbox_testing.h"

namespace nimbus::testing {
namespace {

// Unicode code points of Mac Roman 0x80-0xFF (Apple's mapping, euro sign at 0xDB).
constexpr uint16_t kMacRomanUpperHalf[128] = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1,  // 80
    0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5, 0x00E7, 0x00E9, 0x00E8,  // 88
    0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3,  // 90
    0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC,  // 98
    0x2020, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6, 0x00DF,  // A0
    0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8,  // A8
    0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202, 0x2211,  // B0
    0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8,  // B8
    0x00BF, 0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB,  // C0
    0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153,  // C8
    0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA,  // D0
    0x00FF, 0x0178, 0x2044, 0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02,  // D8
    0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1,  // E0
    0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC, 0x00D3, 0x00D4,  // E8
    0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC,  // F0
    0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7,  // F8
};

class CharTablesTest : public TextTest {};

TEST_F(CharTablesTest, AsciiMapsToItselfInBothTables) {
  auto toISO = TableBytes("Mac2ISO");
  auto toMac = TableBytes("ISO2Mac");
  for (int b = 0; b < 128; ++b) {
    EXPECT_EQ(toISO[b], b) << "Mac2ISO " << b;
    EXPECT_EQ(toMac[b], b) << "ISO2Mac " << b;
  }
}

TEST_F(CharTablesTest, SharedCharactersMapByTheirUnicodeIdentity) {
  auto toISO = TableBytes("Mac2ISO");
  auto toMac = TableBytes("ISO2Mac");
  int shared = 0;
  for (int mac = 0x80; mac <= 0xFF; ++mac) {
    uint16_t unicode = kMacRomanUpperHalf[mac - 0x80];
    if (unicode > 0xFF) continue;  // not in ISO-8859-1, whose codes are their code points
    ++shared;
    EXPECT_EQ(toISO[mac], unicode) << "Mac " << mac;
    EXPECT_EQ(toMac[unicode], mac) << "ISO " << unicode;
  }
  EXPECT_EQ(shared, 80);
  EXPECT_EQ(toISO[0x8E], 0xE9);  // e acute
}

TEST_F(CharTablesTest, TablesAreInversePermutations) {
  auto toISO = TableBytes("Mac2ISO");
  auto toMac = TableBytes("ISO2Mac");
  std::set<uint8_t> images(toISO.begin(), toISO.end());
  EXPECT_EQ(images.size(), 256u);
  for (int b = 0; b < 256; ++b) {
    EXPECT_EQ(toMac[toISO[b]], b) << b;
    EXPECT_EQ(toISO[toMac[b]], b) << b;
  }
}

std::string AllBytes() {
  std::string bytes;
  for (int b = 0; b < 256; ++b) bytes += char(b);
  return bytes;
}

TEST_F(CharTablesTest, TranslateTextChangesEveryByteInPlaceAndKeepsTheLength) {
  auto toISO = TableBytes("Mac2ISO");
  FourDText text = MakeText(AllBytes());
  Handle before = text.handle;
  TranslateText(text, CharTable::kMac2ISO);
  EXPECT_EQ(text.handle, before);
  ASSERT_EQ(text.length, 256);
  std::string bytes = TextBytes(text);
  for (int b = 0; b < 256; ++b) EXPECT_EQ(uint8_t(bytes[b]), toISO[b]) << b;
  TranslateText(text, CharTable::kISO2Mac);
  EXPECT_EQ(TextBytes(text), AllBytes());
  DisposeText(text);
}

TEST_F(CharTablesTest, TranslateTextStaysInsideTheTextAndItsBlock) {
  // Block longer than the length: the bytes past it are not the text's.
  FourDText text = MakeText("\x8E\x8E\x8E");
  text.length = 2;
  TranslateText(text, CharTable::kMac2ISO);
  EXPECT_EQ(std::string(*text.handle, 3), "\xE9\xE9\x8E");
  // Length past the block: only the block's bytes are read and written.
  text.length = 100;
  TranslateText(text, CharTable::kISO2Mac);
  EXPECT_EQ(std::string(*text.handle, 3), "\x8E\x8E\xB3");  // ISO 8E is Mac B3
  DisposeText(text);

  FourDText empty{0, nullptr};
  TranslateText(empty, CharTable::kMac2ISO);
  FourDText negative = MakeText("\x8E");
  negative.length = -1;
  TranslateText(negative, CharTable::kMac2ISO);
  EXPECT_EQ((*negative.handle)[0], '\x8E');
  DisposeText(negative);
}

TEST_F(CharTablesTest, TranslatedCopyOfNothingIsANewEmptyBlock) {
  for (FourDText text : {FourDText{0, nullptr}, FourDText{5, nullptr}}) {
    FourDText copy = TranslatedCopy(text, CharTable::kMac2ISO);
    ASSERT_NE(copy.handle, nullptr);
    EXPECT_EQ(copy.length, 0);
    EXPECT_EQ(GetHandleSize(copy.handle), 0);
    DisposeText(copy);
  }
}

TEST_F(CharTablesTest, TranslatedCopyWithoutMemoryIsNoText) {
  FourDText text = MakeText("abc");
  TBTest_SetAllocationBudget(0);
  FourDText copy = TranslatedCopy(text, CharTable::kMac2ISO);
  TBTest_SetAllocationBudget(-1);
  EXPECT_EQ(copy.handle, nullptr);
  EXPECT_EQ(copy.length, 0);
  EXPECT_EQ(TextBytes(text), "abc");
  DisposeText(text);
}

}  // namespace
}  // namespace nimbus::testing
