// The six text routines through the package's entry point, as 4D calls them: parameters
// marshalled by the stand-in host, the character tables read from Nimbus.RSR beside the
// package, Text results copied back.
#include <gtest/gtest.h>

#include <string>

#include "host/host.h"

namespace {

using standin::Value;

struct Case {
  const char* routine;
  std::string text;
  int32_t option;
  std::string expected;
};

const Case kCases[] = {
    // Option 0 escapes the markup characters; the entities written later are not escaped again.
    {"TextToHTML", "<a href=\"x\">&</a>", 0, "&lt;a href=&quot;x&quot;&gt;&amp;&lt;/a&gt;"},
    // Other options: only an ampersand followed by a space.
    {"TextToHTML", "<b>Tom & Jerry</b> &amp; &x &", 1, "<b>Tom &amp; Jerry</b> &amp; &x &"},
    {"TextToHTML", "&& & ", -3, "&&amp; &amp; "},
    {"TextToHTML", "caf\x8E cr\x8Fme \xAE\xE7\xA7\xCA", 0,
     "caf&eacute; cr&egrave;me &AElig;&Aacute;&szlig;&nbsp;"},
    // No named entity: the ISO code from "Mac2ISO" as a three-digit reference (degree sign,
    // dagger, and the cent sign whose code is the same in both sets).
    {"TextToHTML", "\xA1\xA0\xA2", 0, "&#176;&#134;&#162;"},
    {"TextToHTML", "\xA9\xA8\xAA\xC9\xCF\xCE\xD4q\xD5", 0, "(C)(R)(TM)...oeOE'q'"},
    // Quotation marks and comparison signs become ASCII first, which option 0 then escapes.
    {"TextToHTML", "\xD2x\xD3 \xB2\xB3\xC7\xC8", 0, "&quot;x&quot; &lt;=&gt;=&lt;&lt;&gt;&gt;"},
    {"TextToHTML", "\xD2x\xD3 \xB2\xB3\xC7\xC8", 1, "\"x\" <=>=<<>>"},

    {"HTMLToText", "caf&eacute; &Ntilde; &oelig; &nbsp; (C)", 0, "caf\x8E \x84 \xCF \xCA (C)"},
    // Three-digit references through "ISO2Mac", the next character kept; shorter ones too.
    {"HTMLToText", "&#233;x&#65;&#9;", 0, "\x8ExA\t"},
    {"HTMLToText", "&lt;b&gt; &amp; &quot;", 0, "<b> & \""},
    {"HTMLToText", "&lt;b&gt; &amp; &quot; &eacute;", 1, "&lt;b&gt; &amp; &quot; \x8E"},
    // Chains: "&amp;" and a reference to "&" begin entities for the passes after them.
    {"HTMLToText", "&amp;lt; &#038;lt; &#38;amp;lt; &amp;eacute;", 0, "< < < \x8E"},
    {"HTMLToText", "&amp;amp;lt; &#38;#65;", 0, "&amp;lt; &#65;"},
    {"HTMLToText", "&amp;eacute;", 1, "&amp;eacute;"},
    // Not entities: other letter case, no ";", unknown names, malformed references.
    {"HTMLToText", "&EACUTE; &eacute &eacutex; & ;", 0, "&EACUTE; &eacute &eacutex; & ;"},
    {"HTMLToText", "&#; &#1234; &#300; &#x41; &#6a; &#23", 0,
     "&#; &#1234; , &#x41; &#6a; &#23"},
    // Option 2: tags first. No nesting; an unclosed tag drops the rest; a lone ">" stays.
    {"HTMLToText", "<h1>Title</h1><p>&lt;caf&eacute;&gt;</p>", 2, "Title<caf\x8E>"},
    {"HTMLToText", "keep <unclosed tag", 2, "keep "},
    {"HTMLToText", "a > b <<b>>x", 2, "a > b >x"},

    {"TextToURL", "a b.c\x8E\r", 0, "a+b%2Ec%E9%0D"},
    {"TextToURL", "!%&+-./:;<=>?@[\\]^_`{|}~\x7F", 0,
     "%21%25%26%2B%2D%2E%2F:;<=>?@[\\]^_`{|}~\x7F"},
    {"TextToURL", std::string("\0\x1F !%+/\x7F\x8E", 9), 1, "%00%1F%20!%25+/\x7F%E9"},

    {"URLToText", "%41%4a%4A+b%E9", 0, "AJJ b\x8E"},
    {"URLToText", "%41+b", 1, "A+b"},
    // Incomplete escapes stay; a decoded escape character is not read again.
    {"URLToText", "100% x%4 %zz%4g %2541 %%41", 0, "100% x%4 %zz%4g %41 %A"},
    {"URLToText", "a=3Db=3d %41+= =E9", -1, "a=b= %41+= \x8E"},
};

class TextRoutinesTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(host_.Load(NIMBUS_PACKAGE_PATH)) << host_.lastError(); }

  // The result of a routine on a Text (and an option); the parameter must come back as it was.
  Value Run(const std::string& routine, const Value& text, const Value* option = nullptr) {
    std::vector<Value> params = {text};
    if (option != nullptr) params.push_back(*option);
    standin::CallResult call = host_.Call(routine, params);
    EXPECT_EQ(call.error, "");
    if (!call.params.empty()) {
      EXPECT_EQ(call.params[0].bytes, text.bytes) << routine;
    }
    return call.result;
  }
  Value Run(const std::string& routine, const std::string& text, int32_t option) {
    Value longint = Value::Longint(option);
    return Run(routine, Value::Text(text), &longint);
  }

  standin::Host host_;
};

TEST_F(TextRoutinesTest, Cases) {
  for (const Case& c : kCases) {
    EXPECT_EQ(Run(c.routine, c.text, c.option).bytes, c.expected)
        << c.routine << " option " << c.option << " of \"" << c.text << "\"";
  }
}

TEST_F(TextRoutinesTest, EntitiesRoundTrip) {
  std::string text = "R\x8Esum\x8E: <a> & \"b\" \xA1 \x80\x9F\xD8\r";
  EXPECT_EQ(Run("HTMLToText", Run("TextToHTML", text, 0).bytes, 0).bytes, text);
}

TEST_F(TextRoutinesTest, MacToISOAndISOToMacAnswerTranslatedCopies) {
  EXPECT_EQ(Run("MacToISO", Value::Text("caf\x8E\xDB")).bytes, "caf\xE9\x80");
  EXPECT_EQ(Run("ISOToMac", Value::Text("caf\xE9\x80")).bytes, "caf\x8E\xDB");
  Value none = Run("MacToISO", Value::NullText());
  EXPECT_EQ(none.bytes, "");
  EXPECT_FALSE(none.isNull);  // a new empty block
}

TEST_F(TextRoutinesTest, EmptyParametersGiveEmptyTexts) {
  for (const char* routine : {"TextToHTML", "HTMLToText", "TextToURL", "URLToText"}) {
    for (const Value& empty : {Value::Text(""), Value::NullText()}) {
      Value option = Value::Longint(0);
      Value result = Run(routine, empty, &option);
      EXPECT_EQ(result.bytes, "") << routine;
      EXPECT_EQ(result.longint, 0) << routine;
    }
  }
  EXPECT_EQ(Run("ISOToMac", Value::Text("")).bytes, "");
}

TEST_F(TextRoutinesTest, NoResultPassesTheLongestText) {
  // "&Aacute;" is 8 bytes: 4095 of them and 7 plain bytes make exactly 32767.
  std::string fits = std::string(4095, '\xE7') + "1234567";
  Value result = Run("TextToHTML", fits, 0);
  EXPECT_EQ(result.bytes.size(), 32767u);
  EXPECT_EQ(result.longint, 32767);
  result = Run("TextToHTML", fits + "8", 0);
  EXPECT_TRUE(result.isNull);
  EXPECT_EQ(result.longint, 0);
  EXPECT_EQ(Run("TextToURL", std::string(10922, ' '), 1).bytes.size(), 32766u);
  result = Run("TextToURL", std::string(10923, ' '), 1);
  EXPECT_TRUE(result.isNull);
  EXPECT_EQ(result.longint, 0);
}

}  // namespace
