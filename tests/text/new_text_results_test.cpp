// What the four HTML and URL operations answer besides their characters: new blocks of
// exactly the result's size, Texts whose length and block disagree, no memory.
#include <string>

#include "host/toolbox.h"
#include "text/text.h"
#include "text/text_test_support.h"
#include "toolbox/toolbox_testing.h"

namespace nimbus::testing {
namespace {

using Operation = FourDText (*)(const FourDText&, int32_t);
const Operation kOperations[] = {TextToHTML, HTMLToText, TextToURL, URLToText};

class NewTextResultsTest : public TextTest {};

TEST_F(NewTextResultsTest, ResultsAreNewBlocksOfTheirExactSize) {
  FourDText text = MakeText("caf\x8E &amp; <b>%41</b>");
  for (Operation operation : kOperations) {
    for (int32_t option : {0, 1, 2, -1}) {
      FourDText result = operation(text, option);
      ASSERT_NE(result.handle, nullptr);
      EXPECT_NE(result.handle, text.handle);
      EXPECT_EQ(GetHandleSize(result.handle), result.length);
      DisposeText(result);
    }
  }
  EXPECT_EQ(TextBytes(text), "caf\x8E &amp; <b>%41</b>");
  DisposeText(text);
}

TEST_F(NewTextResultsTest, OnlyTheCharactersInsideLengthAndBlockAreRead) {
  FourDText text = MakeText("a<b>c");
  text.length = 2;  // the block holds more than the Text
  FourDText encoded = TextToHTML(text, 0);
  EXPECT_EQ(TextBytes(encoded), "a&lt;");
  text.length = 400;  // the Text claims more than its block
  FourDText url = TextToURL(text, 1);
  EXPECT_EQ(TextBytes(url), "a<b>c");
  for (const FourDText& t : {text, encoded, url}) DisposeText(t);
}

TEST_F(NewTextResultsTest, TextsWithoutCharactersGiveNewEmptyBlocks) {
  for (Operation operation : kOperations) {
    for (FourDText empty : {FourDText{0, nullptr}, FourDText{-4, nullptr}, FourDText{7, nullptr}}) {
      FourDText result = operation(empty, 0);
      EXPECT_EQ(result.length, 0);
      EXPECT_NE(result.handle, nullptr);
      DisposeText(result);
    }
  }
  EXPECT_EQ(TBTest_BeepCount(), 0);
}

TEST_F(NewTextResultsTest, NoMemoryGivesNoTextAndTextToURLBeeps) {
  FourDText text = MakeText("a b");
  for (Operation operation : kOperations) {
    for (FourDText input : {text, FourDText{0, nullptr}}) {
      TBTest_ResetRecords();
      TBTest_SetAllocationBudget(0);
      FourDText result = operation(input, 0);
      TBTest_SetAllocationBudget(-1);
      EXPECT_EQ(result.handle, nullptr);
      EXPECT_EQ(result.length, 0);
      EXPECT_EQ(TBTest_BeepCount(), operation == TextToURL ? 1 : 0);
    }
  }
  DisposeText(text);
}

TEST_F(NewTextResultsTest, ResultsPastTheLongestTextAreNoTextWithoutABeep) {
  FourDText text = MakeText(std::string(10922, '.') + "xy");  // 3 x 10922 + 2 = 32768
  FourDText result = TextToURL(text, 0);
  EXPECT_EQ(result.handle, nullptr);
  EXPECT_EQ(TBTest_BeepCount(), 0);
  DisposeText(text);
}

}  // namespace
}  // namespace nimbus::testing
