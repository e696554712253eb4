// ReplaceAll and the two line-break conversions.
#include <string>

#include "host/toolbox.h"
#include "text/text.h"
#include "text/text_test_support.h"
#include "toolbox/toolbox_testing.h"

namespace nimbus::testing {
namespace {

class LineBreaksTest : public TextTest {};

// ReplaceAll on a block made from `text`, answering the block's bytes afterwards.
std::string ReplaceAllIn(const std::string& text, const std::string& pattern,
                         const std::string& replacement, bool* succeeded = nullptr) {
  unsigned char p[256] = {uint8_t(pattern.size())};
  unsigned char r[256] = {uint8_t(replacement.size())};
  pattern.copy(reinterpret_cast<char*>(p + 1), pattern.size());
  replacement.copy(reinterpret_cast<char*>(r + 1), replacement.size());
  FourDText block = MakeText(text);
  bool ok = ReplaceAll(block.handle, p, r);
  if (succeeded != nullptr) *succeeded = ok;
  std::string result(*block.handle, size_t(GetHandleSize(block.handle)));
  DisposeText(block);
  return result;
}

TEST_F(LineBreaksTest, ReplaceAllNeverSearchesWhatItInserted) {
  EXPECT_EQ(ReplaceAllIn("a\rb\r", "\r", "\r\n"), "a\r\nb\r\n");
  EXPECT_EQ(ReplaceAllIn("aaa", "a", "aa"), "aaaaaa");
  EXPECT_EQ(ReplaceAllIn("&amp;amp;", "&amp;", "&"), "&amp;");
  EXPECT_EQ(ReplaceAllIn("xyz", "q", "longer"), "xyz");
}

TEST_F(LineBreaksTest, ReplaceAllWithAnEmptyReplacementRemovesEveryMatch) {
  // The first match lies at offset 0, where the search-and-replace answers 0.
  EXPECT_EQ(ReplaceAllIn("ababab", "ab", ""), "");
  EXPECT_EQ(ReplaceAllIn("abXab", "ab", ""), "X");
}

TEST_F(LineBreaksTest, ReplaceAllWithAnEmptyPatternChangesNothing) {
  EXPECT_EQ(ReplaceAllIn("abc", "", "x"), "abc");
}

TEST_F(LineBreaksTest, ReplaceAllReportsABlockThatCannotGrow) {
  TBTest_SetAllocationBudget(1);  // the block itself
  FourDText block = MakeText(std::string(64, 'a'));
  unsigned char pattern[] =
      "\x01"
      "a";
  unsigned char replacement[] =
      "\x02"
      "bb";
  TBTest_SetAllocationBudget(0);
  bool ok = ReplaceAll(block.handle, pattern, replacement);
  TBTest_SetAllocationBudget(-1);
  EXPECT_FALSE(ok);
  EXPECT_EQ(GetHandleSize(block.handle), 64);
  DisposeText(block);
}

std::string ConvertedCRToCRLF(const std::string& text, bool* succeeded = nullptr) {
  FourDText t = MakeText(text);
  bool ok = ConvertCRToCRLF(t);
  if (succeeded != nullptr) *succeeded = ok;
  std::string result = TextBytes(t);
  DisposeText(t);
  return result;
}

std::string ConvertedCRLFToCR(const std::string& text) {
  FourDText t = MakeText(text);
  ConvertCRLFToCR(t);
  std::string result = TextBytes(t);
  EXPECT_EQ(GetHandleSize(t.handle), t.length);
  DisposeText(t);
  return result;
}

TEST_F(LineBreaksTest, CRBecomesCRLFAndAnExistingCRLFGainsASecondLF) {
  EXPECT_EQ(ConvertedCRToCRLF("a\rb\r\nc\n\r"), "a\r\nb\r\n\nc\n\r\n");
  EXPECT_EQ(ConvertedCRToCRLF("\r\r"), "\r\n\r\n");
  EXPECT_EQ(ConvertedCRToCRLF("no breaks"), "no breaks");
  EXPECT_EQ(ConvertedCRToCRLF(""), "");
  FourDText none{0, nullptr};
  EXPECT_TRUE(ConvertCRToCRLF(none));
  EXPECT_EQ(none.handle, nullptr);
}

TEST_F(LineBreaksTest, CRLFBecomesCRAndALoneLFStays) {
  EXPECT_EQ(ConvertedCRLFToCR("a\r\nb\nc\r\r\n\n"), "a\rb\nc\r\r\n");
  EXPECT_EQ(ConvertedCRLFToCR("\r\n\r\n"), "\r\r");
  EXPECT_EQ(ConvertedCRLFToCR("\n\r"), "\n\r");
}

TEST_F(LineBreaksTest, CRToCRLFStopsAtTheLongestText) {
  // 16383 CRs and one more byte: 32767 after conversion, which still fits.
  bool ok = false;
  std::string fits = std::string(16383, '\r') + "x";
  std::string converted = ConvertedCRToCRLF(fits, &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(converted.size(), 32767u);
  // One CR more is 32768: refused, and the Text is left exactly as it was.
  FourDText text = MakeText(std::string(16384, '\r'));
  Handle before = text.handle;
  EXPECT_FALSE(ConvertCRToCRLF(text));
  EXPECT_EQ(text.handle, before);
  EXPECT_EQ(TextBytes(text), std::string(16384, '\r'));
  DisposeText(text);
}

TEST_F(LineBreaksTest, CRToCRLFWhoseBlockCannotGrowLeavesTheTextAlone) {
  FourDText text = MakeText("a\rb");
  TBTest_SetAllocationBudget(0);
  EXPECT_FALSE(ConvertCRToCRLF(text));
  TBTest_SetAllocationBudget(-1);
  EXPECT_EQ(text.length, 3);
  EXPECT_EQ(TextBytes(text), "a\rb");
  DisposeText(text);
}

TEST_F(LineBreaksTest, OnlyTheTextsOwnBytesAreConverted) {
  // The block holds more than the length says: the CR past it is not part of the text.
  FourDText text = MakeText("a\rb\r");
  text.length = 3;
  EXPECT_TRUE(ConvertCRToCRLF(text));
  EXPECT_EQ(TextBytes(text), "a\r\nb");
  DisposeText(text);
}

}  // namespace
}  // namespace nimbus::testing
