// TextToHTML and HTMLToText: the entity tables, the markup options, tags, numeric references,
// the 32767-byte limit and allocation failures.
#include <string>

#include "host/toolbox.h"
#include "text/text.h"
#include "text/text_test_support.h"
#include "toolbox/toolbox_testing.h"

namespace nimbus::testing {
namespace {

class HTMLEntitiesTest : public TextTest {
 protected:
  std::string Encode(const std::string& text, int32_t option) {
    return Run(text, [option](const FourDText& t) { return TextToHTML(t, option); });
  }
  std::string Decode(const std::string& text, int32_t option) {
    return Run(text, [option](const FourDText& t) { return HTMLToText(t, option); });
  }

 private:
  // Runs a conversion on a Text of the bytes, checks that the parameter is left as it was and
  // that the result is a block of its own of exactly the result's size.
  template <typename Conversion>
  std::string Run(const std::string& text, Conversion conversion) {
    FourDText parameter = MakeText(text);
    FourDText result = conversion(parameter);
    EXPECT_EQ(TextBytes(parameter), text);
    EXPECT_NE(result.handle, nullptr);
    EXPECT_NE(result.handle, parameter.handle);
    if (result.handle != nullptr) {
      EXPECT_EQ(GetHandleSize(result.handle), result.length);
    }
    std::string bytes = TextBytes(result);
    DisposeText(parameter);
    DisposeText(result);
    return bytes;
  }
};

TEST_F(HTMLEntitiesTest, OptionZeroEscapesTheFourMarkupCharacters) {
  EXPECT_EQ(Encode("<a href=\"x\">&</a>", 0), "&lt;a href=&quot;x&quot;&gt;&amp;&lt;/a&gt;");
  // The entities written for the later characters are not escaped again.
  EXPECT_EQ(Encode("\"&<", 0), "&quot;&amp;&lt;");
}

TEST_F(HTMLEntitiesTest, OtherOptionsEscapeOnlyAnAmpersandBeforeASpace) {
  EXPECT_EQ(Encode("<b>Tom & Jerry</b> &amp; &x &", 1), "<b>Tom &amp; Jerry</b> &amp; &x &");
  EXPECT_EQ(Encode("&& & ", -3), "&&amp; &amp; ");
}

TEST_F(HTMLEntitiesTest, NamedEntitiesAndNumericReferencesForMacRomanCharacters) {
  EXPECT_EQ(Encode("caf\x8E", 0), "caf&eacute;");
  EXPECT_EQ(Encode("\xAE\xE7\xA7\xCA", 0), "&AElig;&Aacute;&szlig;&nbsp;");
  // Degree sign: no named entity; "Mac2ISO" makes it 176, always written with three digits.
  EXPECT_EQ(Encode("\xA1", 0), "&#176;");
  // Dagger: paired with an ISO code from the C1 range.
  EXPECT_EQ(Encode("\xA0", 1), "&#134;");
  // Cent sign: the same code in both sets, still above 127.
  EXPECT_EQ(Encode("\xA2", 0), "&#162;");
}

TEST_F(HTMLEntitiesTest, CharactersWrittenAsPlainText) {
  EXPECT_EQ(Encode("\xA9\xA8\xAA\xC9\xCF\xCE", 0), "(C)(R)(TM)...oeOE");
  EXPECT_EQ(Encode("\xD4quoted\xD5", 0), "'quoted'");
  // Quotation marks and comparison signs are written as ASCII, which option 0 then escapes.
  EXPECT_EQ(Encode("\xD2x\xD3 \xB2 \xB3 \xC7\xC8", 0),
            "&quot;x&quot; &lt;= &gt;= &lt;&lt;&gt;&gt;");
  EXPECT_EQ(Encode("\xD2x\xD3 \xB2 \xB3 \xC7\xC8", 1), "\"x\" <= >= <<>>");
}

TEST_F(HTMLEntitiesTest, DecodingReadsNamedAndNumericEntities) {
  EXPECT_EQ(Decode("caf&eacute; &Ntilde; &oelig; &nbsp;", 0), "caf\x8E \x84 \xCF \xCA");
  // A three-digit reference is one character, through "ISO2Mac"; what follows stays.
  EXPECT_EQ(Decode("&#233;x", 0), "\x8Ex");
  EXPECT_EQ(Decode("&#65;&#9;&#038;", 0), "A\t&");
  // The plain texts the encoder writes have no way back.
  EXPECT_EQ(Decode("(C) (R) (TM) ... OE", 0), "(C) (R) (TM) ... OE");
}

TEST_F(HTMLEntitiesTest, MarkupEscapesAreDecodedUnderOptionZeroOnly) {
  EXPECT_EQ(Decode("&lt;b&gt; &amp; &quot;", 0), "<b> & \"");
  EXPECT_EQ(Decode("&lt;b&gt; &amp; &quot; &eacute;", 1), "&lt;b&gt; &amp; &quot; \x8E");
}

TEST_F(HTMLEntitiesTest, DecodedAmpersandsChainIntoLaterEntities) {
  EXPECT_EQ(Decode("&amp;lt;", 0), "<");
  EXPECT_EQ(Decode("&amp;eacute;", 0), "\x8E");
  EXPECT_EQ(Decode("&#038;lt;", 0), "<");
  EXPECT_EQ(Decode("&#38;amp;lt;", 0), "<");
  // "&amp;" is not read again as the start of another "&amp;".
  EXPECT_EQ(Decode("&amp;amp;lt;", 0), "&amp;lt;");
  // A decoded reference is not read again as the start of another reference.
  EXPECT_EQ(Decode("&#38;#65;", 0), "&#65;");
  // Without the markup escapes nothing chains.
  EXPECT_EQ(Decode("&#038;eacute;", 1), "\x8E");
  EXPECT_EQ(Decode("&amp;eacute;", 1), "&amp;eacute;");
}

TEST_F(HTMLEntitiesTest, WhatIsNotAnEntityStays) {
  EXPECT_EQ(Decode("&EACUTE; &eacute &eacutex; & ;", 0), "&EACUTE; &eacute &eacutex; & ;");
  // References with no digits, four digits, a value above 255, no ";", or hex digits.
  EXPECT_EQ(Decode("&#; &#1234; &#300; &#65 &#x41; &#6a;", 0),
            "&#; &#1234; &#300; &#65 &#x41; &#6a;");
  EXPECT_EQ(Decode("tail &#23", 0), "tail &#23");
  EXPECT_EQ(Decode("&", 0), "&");
}

TEST_F(HTMLEntitiesTest, OptionTwoRemovesTagsBeforeDecoding) {
  EXPECT_EQ(Decode("<b>word</b>", 2), "word");
  EXPECT_EQ(Decode("<p>&lt;x&gt; caf&eacute;</p>", 2), "<x> caf\x8E");
  EXPECT_EQ(Decode("keep <unclosed tag", 2), "keep ");
  EXPECT_EQ(Decode("a > b", 2), "a > b");
  EXPECT_EQ(Decode("<<b>>x", 2), ">x");
  EXPECT_EQ(Decode("<only a tag>", 2), "");
}

TEST_F(HTMLEntitiesTest, EncodingAndDecodingRoundTrip) {
  std::string text = "R\x8Esum\x8E: <a> & \"b\" \xA1 \x80\x9F\xD8\r";
  EXPECT_EQ(Decode(Encode(text, 0), 0), text);
}

TEST_F(HTMLEntitiesTest, EmptyTextsGiveEmptyTexts) {
  for (FourDText empty : {FourDText{0, nullptr}, FourDText{-4, nullptr}, FourDText{7, nullptr}}) {
    for (int32_t option : {0, 1, 2}) {
      FourDText encoded = TextToHTML(empty, option);
      FourDText decoded = HTMLToText(empty, option);
      EXPECT_EQ(encoded.length, 0);
      EXPECT_EQ(decoded.length, 0);
      EXPECT_NE(encoded.handle, nullptr);
      EXPECT_NE(decoded.handle, nullptr);
      DisposeText(encoded);
      DisposeText(decoded);
    }
  }
}

TEST_F(HTMLEntitiesTest, AnEncodingPastTheLongestTextIsEmpty) {
  // "&Aacute;" is 8 bytes: 4095 of them and 7 plain bytes make exactly 32767.
  std::string fits = std::string(4095, '\xE7') + "1234567";
  FourDText text = MakeText(fits);
  FourDText result = TextToHTML(text, 0);
  EXPECT_EQ(result.length, 32767);
  EXPECT_EQ(TextBytes(result).substr(32760), "1234567");
  DisposeText(result);
  DisposeText(text);

  text = MakeText(fits + "8");
  result = TextToHTML(text, 0);
  EXPECT_EQ(result.handle, nullptr);
  EXPECT_EQ(result.length, 0);
  DisposeText(text);
}

TEST_F(HTMLEntitiesTest, NoMemoryGivesNoText) {
  FourDText text = MakeText("caf\x8E &amp;");
  TBTest_SetAllocationBudget(0);
  FourDText encoded = TextToHTML(text, 0);
  FourDText decoded = HTMLToText(text, 2);
  FourDText empty = TextToHTML(FourDText{0, nullptr}, 0);
  TBTest_SetAllocationBudget(-1);
  EXPECT_EQ(encoded.handle, nullptr);
  EXPECT_EQ(decoded.handle, nullptr);
  EXPECT_EQ(empty.handle, nullptr);
  EXPECT_EQ(encoded.length + decoded.length + empty.length, 0);
  EXPECT_EQ(TBTest_BeepCount(), 0);
  DisposeText(text);
}

}  // namespace
}  // namespace nimbus::testing
