// ApplyConversionMode: the order of the bits, which HTML bit wins, failures that leave the
// Text alone, and the growth figures the transfer routines cap their input with.
#include <string>

#include "host/toolbox.h"
#include "text/text.h"
#include "text/text_test_support.h"
#include "toolbox/toolbox_testing.h"

namespace nimbus::testing {
namespace {

class ConversionModeTest : public TextTest {
 protected:
  // Converts a Text of the bytes; answers the bytes afterwards and whether the block stayed.
  std::string Convert(const std::string& text, int32_t mode, bool* sameBlock = nullptr) {
    FourDText t = MakeText(text);
    Handle before = t.handle;
    EXPECT_TRUE(ApplyConversionMode(t, mode)) << "mode " << mode;
    if (sameBlock != nullptr) *sameBlock = t.handle == before;
    std::string bytes = TextBytes(t);
    DisposeText(t);
    return bytes;
  }

  // The mode must fail and leave the Text exactly as it was.
  void ExpectRefusedAndUnchanged(const std::string& text, int32_t mode) {
    FourDText t = MakeText(text);
    FourDText before = t;
    EXPECT_FALSE(ApplyConversionMode(t, mode)) << "mode " << mode;
    EXPECT_EQ(t.handle, before.handle);
    EXPECT_EQ(t.length, before.length);
    EXPECT_TRUE(TextBytes(t) == text) << "mode " << mode << " changed the text";
    DisposeText(t);
  }
};

TEST_F(ConversionModeTest, ModeZeroAndUnknownBitsChangeNothing) {
  for (int32_t mode : {0, 128, 256, 1 << 30}) {
    bool same = false;
    EXPECT_EQ(Convert("caf\x8E\r<", mode, &same), "caf\x8E\r<");
    EXPECT_TRUE(same);
  }
}

TEST_F(ConversionModeTest, CharacterSetAndLineBitsWorkInTheSameBlock) {
  bool same = false;
  EXPECT_EQ(Convert("caf\x8E\rline\r", 5, &same), "caf\xE9\r\nline\r\n");
  EXPECT_TRUE(same);
  EXPECT_EQ(Convert("caf\xE9\r\nline\r\n", 10, &same), "caf\x8E\rline\r");
  EXPECT_TRUE(same);
}

TEST_F(ConversionModeTest, BitsRunInTheirOrder) {
  // Mac2ISO first, then ISO2Mac: every byte comes back.
  std::string all;
  for (int b = 0; b < 256; ++b) all += char(b);
  EXPECT_EQ(Convert(all, 3), all);
  // CR to CR LF, then CR LF to CR: CR line ends come back, and so does an existing CR LF.
  EXPECT_EQ(Convert("a\rb\r\nc\n", 12), "a\rb\r\nc\n");
  EXPECT_EQ(Convert("a\r\nb", 4), "a\r\n\nb");
  // Line ends first, then the entity encoding of the result.
  EXPECT_EQ(Convert("\x8E\r", 4 + 16), "&eacute;\r\n");
  // The encoder reads Mac Roman: after Mac2ISO, e acute (ISO E9) is read as Mac E grave.
  EXPECT_EQ(Convert("\x8E\r", 1 + 16), "&Egrave;\r");
}

TEST_F(ConversionModeTest, OnlyTheLastHTMLBitCounts) {
  bool same = true;
  EXPECT_EQ(Convert("<&eacute;>", 16, &same), "&lt;&amp;eacute;&gt;");
  EXPECT_FALSE(same);
  EXPECT_EQ(Convert("<&eacute;>", 32), "<\x8E>");
  EXPECT_EQ(Convert("<&eacute;>", 48), "<\x8E>");
  EXPECT_EQ(Convert("<b>& \x8E", 64), "<b>&amp; &eacute;");
  EXPECT_EQ(Convert("<b>& \x8E", 16 + 64), "<b>&amp; &eacute;");
  EXPECT_EQ(Convert("<b>& \x8E", 32 + 64), "<b>&amp; &eacute;");
}

TEST_F(ConversionModeTest, EmptyTextsPassEveryMode) {
  for (int32_t mode = 0; mode < 128; ++mode) {
    FourDText empty = MakeText("");
    Handle before = empty.handle;
    EXPECT_TRUE(ApplyConversionMode(empty, mode));
    EXPECT_EQ(empty.handle, before);
    EXPECT_EQ(empty.length, 0);
    DisposeText(empty);
    FourDText none{0, nullptr};
    EXPECT_TRUE(ApplyConversionMode(none, mode));
    EXPECT_EQ(none.handle, nullptr);
  }
}

TEST_F(ConversionModeTest, AResultPastTheLongestTextIsRefusedWithNothingChanged) {
  ExpectRefusedAndUnchanged(std::string(4096, '\xE7'), 16);
  ExpectRefusedAndUnchanged(std::string(16384, '\r'), 4);
  // The translation would have run first: it must not show either.
  ExpectRefusedAndUnchanged(std::string(16384, '\r') + "\x8E", 4 + 1);
  // Mac e acute is ISO E9, which the encoder then writes as "&Egrave;": 8 x 4096 bytes.
  ExpectRefusedAndUnchanged(std::string(4096, '\x8E') + "\r", 1 + 4 + 64);
  // The decoding would shrink it again, but CR LF had to fit first.
  ExpectRefusedAndUnchanged(std::string(16384, '\r'), 4 + 32);
  // CR to CR LF and back is no change at all, whatever the length.
  EXPECT_EQ(Convert(std::string(20000, '\r'), 12), std::string(20000, '\r'));
}

TEST_F(ConversionModeTest, NoMemoryIsRefusedWithNothingChanged) {
  for (int32_t mode : {16, 32, 64, 1 + 16, 4 + 32, 4}) {
    TBTest_SetAllocationBudget(-1);
    FourDText t = MakeText("caf\x8E\r<x>");
    FourDText before = t;
    TBTest_SetAllocationBudget(0);
    EXPECT_FALSE(ApplyConversionMode(t, mode)) << mode;
    TBTest_SetAllocationBudget(-1);
    EXPECT_EQ(t.handle, before.handle);
    EXPECT_EQ(TextBytes(t), "caf\x8E\r<x>");
    DisposeText(t);
  }
}

TEST_F(ConversionModeTest, GrowthFollowsTheBitsThatCount) {
  EXPECT_EQ(ConversionModeGrowth(0), 1);
  EXPECT_EQ(ConversionModeGrowth(1 + 2 + 8 + 32), 1);
  EXPECT_EQ(ConversionModeGrowth(4), 2);
  EXPECT_EQ(ConversionModeGrowth(4 + 8), 1);
  EXPECT_EQ(ConversionModeGrowth(16), 8);
  EXPECT_EQ(ConversionModeGrowth(64), 8);
  EXPECT_EQ(ConversionModeGrowth(16 + 32), 1);
  EXPECT_EQ(ConversionModeGrowth(5 + 16), 16);
  EXPECT_EQ(ConversionModeInputCap(0), 32767);
  EXPECT_EQ(ConversionModeInputCap(4), 16383);
  EXPECT_EQ(ConversionModeInputCap(20), 2047);
}

TEST_F(ConversionModeTest, EveryByteFitsAtTheInputCap) {
  // The cap is honest: a text of the cap's length made of the worst byte still converts.
  for (int32_t mode : {4, 16, 64, 4 + 16, 1 + 4 + 64}) {
    int32_t cap = ConversionModeInputCap(mode);
    for (int b = 0; b < 256; ++b) {
      FourDText t = MakeText(std::string(size_t(cap), char(b)));
      EXPECT_TRUE(ApplyConversionMode(t, mode)) << "mode " << mode << " byte " << b;
      EXPECT_LE(t.length, 32767);
      DisposeText(t);
    }
  }
}

}  // namespace
}  // namespace nimbus::testing
