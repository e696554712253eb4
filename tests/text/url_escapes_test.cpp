// TextToURL and URLToText: form and percent encoding, "=" escapes, the limit, no memory.
#include <string>

#include "host/toolbox.h"
#include "text/text.h"
#include "text/text_test_support.h"
#include "toolbox/toolbox_testing.h"

namespace nimbus::testing {
namespace {

class URLEscapesTest : public TextTest {
 protected:
  std::string Encode(const std::string& text, int32_t option) {
    return Run(text, [option](const FourDText& t) { return TextToURL(t, option); });
  }
  std::string Decode(const std::string& text, int32_t option) {
    return Run(text, [option](const FourDText& t) { return URLToText(t, option); });
  }

 private:
  template <typename Conversion>
  std::string Run(const std::string& text, Conversion conversion) {
    FourDText parameter = MakeText(text);
    FourDText result = conversion(parameter);
    EXPECT_EQ(TextBytes(parameter), text);
    EXPECT_NE(result.handle, nullptr);
    if (result.handle != nullptr) {
      EXPECT_EQ(GetHandleSize(result.handle), result.length);
    }
    std::string bytes = TextBytes(result);
    DisposeText(parameter);
    DisposeText(result);
    return bytes;
  }
};

TEST_F(URLEscapesTest, FormEncodingEscapesEverythingBelowZeroAndAbove127) {
  EXPECT_EQ(Encode("a b.c", 0), "a+b%2Ec");
  EXPECT_EQ(Encode("!%&+-./", 0), "%21%25%26%2B%2D%2E%2F");
  // ":" to "@", "[" to "`", "{" to "~" and 127 stay.
  EXPECT_EQ(Encode(":;<=>?@[\\]^_`{|}~\x7F", 0), ":;<=>?@[\\]^_`{|}~\x7F");
  // Mac Roman e acute is ISO-8859-1 E9 on the wire.
  EXPECT_EQ(Encode("caf\x8E\r\n", 0), "caf%E9%0D%0A");
}

TEST_F(URLEscapesTest, OtherOptionsEscapeControlsSpaceHighBytesAndPercent) {
  EXPECT_EQ(Encode("a b.c", 1), "a%20b.c");
  EXPECT_EQ(Encode(std::string("\0\x1F !%+/\x7F\x8E", 9), 7), "%00%1F%20!%25+/\x7F%E9");
}

TEST_F(URLEscapesTest, PercentEscapesDecodeInEitherCase) {
  EXPECT_EQ(Decode("%41%4a%4A+b", 0), "AJJ b");
  EXPECT_EQ(Decode("%41+b", 1), "A+b");
  EXPECT_EQ(Decode("%E9t%E9", 0), "\x8Et\x8E");
}

TEST_F(URLEscapesTest, IncompleteEscapesStay) {
  EXPECT_EQ(Decode("100%", 0), "100%");
  EXPECT_EQ(Decode("x%4", 0), "x%4");
  EXPECT_EQ(Decode("%zz%4g%", 0), "%zz%4g%");
  // A decoded escape character is not read again.
  EXPECT_EQ(Decode("%2541", 0), "%41");
  EXPECT_EQ(Decode("%%41", 0), "%A");
}

TEST_F(URLEscapesTest, EqualsSignEscapesUnderMinusOne) {
  EXPECT_EQ(Decode("a=3Db=3d %41+=", -1), "a=b= %41+=");
  EXPECT_EQ(Decode("=E9t=3D3D", -1), "\x8Et=3D");
}

TEST_F(URLEscapesTest, EmptyTextsGiveEmptyTexts) {
  for (int32_t option : {-1, 0, 1}) {
    FourDText encoded = TextToURL(FourDText{0, nullptr}, option);
    FourDText decoded = URLToText(FourDText{-1, nullptr}, option);
    EXPECT_EQ(encoded.length, 0);
    EXPECT_EQ(decoded.length, 0);
    EXPECT_NE(encoded.handle, nullptr);
    EXPECT_NE(decoded.handle, nullptr);
    DisposeText(encoded);
    DisposeText(decoded);
  }
  EXPECT_EQ(TBTest_BeepCount(), 0);
}

TEST_F(URLEscapesTest, AnEncodingPastTheLongestTextIsEmptyWithoutABeep) {
  // Every "." becomes three bytes: 10922 of them and one plain byte make 32767.
  FourDText text = MakeText(std::string(10922, '.') + "x");
  FourDText result = TextToURL(text, 0);
  EXPECT_EQ(result.length, 32767);
  DisposeText(result);
  DisposeText(text);

  text = MakeText(std::string(10922, '.') + "xy");
  result = TextToURL(text, 0);
  EXPECT_EQ(result.handle, nullptr);
  EXPECT_EQ(result.length, 0);
  EXPECT_EQ(TBTest_BeepCount(), 0);
  DisposeText(text);
}

TEST_F(URLEscapesTest, NoMemoryGivesNoTextAndTextToURLBeeps) {
  FourDText text = MakeText("a b");
  TBTest_SetAllocationBudget(0);
  FourDText encoded = TextToURL(text, 0);
  EXPECT_EQ(TBTest_BeepCount(), 1);
  FourDText empty = TextToURL(FourDText{0, nullptr}, 0);
  EXPECT_EQ(TBTest_BeepCount(), 2);
  FourDText decoded = URLToText(text, 0);
  EXPECT_EQ(TBTest_BeepCount(), 2);
  TBTest_SetAllocationBudget(-1);
  EXPECT_EQ(encoded.handle, nullptr);
  EXPECT_EQ(empty.handle, nullptr);
  EXPECT_EQ(decoded.handle, nullptr);
  DisposeText(text);
}

}  // namespace
}  // namespace nimbus::testing
