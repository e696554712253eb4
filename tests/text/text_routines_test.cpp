// The six text routines through the package's entry point, as 4D calls them: parameters
// marshalled by the stand-in host, the character tables read from Nimbus.RSR beside the
// package, and Text results copied back.
#include <gtest/gtest.h>

#include <string>

#include "host/host.h"

namespace {

using standin::Value;

class TextRoutinesTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(host_.Load(NIMBUS_PACKAGE_PATH)) << host_.lastError(); }

  // The Text a routine answers for a Text and an option; checks that the parameter is kept.
  Value Run(const std::string& routine, const std::string& text, int32_t option) {
    standin::CallResult call = host_.Call(routine, {Value::Text(text), Value::Longint(option)});
    EXPECT_EQ(call.error, "");
    EXPECT_EQ(call.params.at(0).bytes, text) << routine << " changed its parameter";
    return call.result;
  }
  Value RunCopy(const std::string& routine, const Value& text) {
    standin::CallResult call = host_.Call(routine, {text});
    EXPECT_EQ(call.error, "");
    return call.result;
  }

  standin::Host host_;
};

TEST_F(TextRoutinesTest, TextToHTML) {
  EXPECT_EQ(Run("TextToHTML", "<p class=\"x\">Caf\x8E & cr\x8Fme</p>", 0).bytes,
            "&lt;p class=&quot;x&quot;&gt;Caf&eacute; &amp; cr&egrave;me&lt;/p&gt;");
  EXPECT_EQ(Run("TextToHTML", "<p>Tom & Jerry &amp; \xA1</p>", 1).bytes,
            "<p>Tom &amp; Jerry &amp; &#176;</p>");
  EXPECT_EQ(Run("TextToHTML", "\xA9 2024", 0).bytes, "(C) 2024");
}

TEST_F(TextRoutinesTest, HTMLToText) {
  EXPECT_EQ(Run("HTMLToText", "&lt;x&gt; &#233;t&#233; &amp;lt; (C)", 0).bytes,
            "<x> \x8Et\x8E < (C)");
  EXPECT_EQ(Run("HTMLToText", "&lt;x&gt; &eacute;", 1).bytes, "&lt;x&gt; \x8E");
  EXPECT_EQ(Run("HTMLToText", "<h1>Title</h1><p>caf&eacute;</p>", 2).bytes, "Titlecaf\x8E");
  EXPECT_EQ(Run("HTMLToText", "text<a href=", 2).bytes, "text");
}

TEST_F(TextRoutinesTest, TextToURLAndBack) {
  EXPECT_EQ(Run("TextToURL", "a b.c\x8E", 0).bytes, "a+b%2Ec%E9");
  EXPECT_EQ(Run("TextToURL", "a b.c%", 1).bytes, "a%20b.c%25");
  EXPECT_EQ(Run("URLToText", "%41%4a+%E9%4", 0).bytes, "AJ \x8E%4");
  EXPECT_EQ(Run("URLToText", "%41+", 1).bytes, "A+");
  EXPECT_EQ(Run("URLToText", "=3D%41+", -1).bytes, "=%41+");
}

TEST_F(TextRoutinesTest, MacToISOAndISOToMacAnswerTranslatedCopies) {
  EXPECT_EQ(RunCopy("MacToISO", Value::Text("caf\x8E\xDB")).bytes, "caf\xE9\x80");
  EXPECT_EQ(RunCopy("ISOToMac", Value::Text("caf\xE9\x80")).bytes, "caf\x8E\xDB");
  Value none = RunCopy("MacToISO", Value::NullText());
  EXPECT_EQ(none.bytes, "");
  EXPECT_FALSE(none.isNull);
}

TEST_F(TextRoutinesTest, EmptyParametersGiveEmptyTexts) {
  for (const char* routine : {"TextToHTML", "HTMLToText", "TextToURL", "URLToText"}) {
    for (const Value& empty : {Value::Text(""), Value::NullText()}) {
      standin::CallResult call = host_.Call(routine, {empty, Value::Longint(0)});
      EXPECT_EQ(call.error, "");
      EXPECT_EQ(call.result.bytes, "") << routine;
      EXPECT_EQ(call.result.longint, 0) << routine;
    }
  }
  EXPECT_EQ(RunCopy("ISOToMac", Value::Text("")).bytes, "");
}

TEST_F(TextRoutinesTest, NoResultPassesTheLongestText) {
  std::string fits = std::string(4095, '\xE7') + "1234567";
  Value result = Run("TextToHTML", fits, 0);
  EXPECT_EQ(result.bytes.size(), 32767u);
  EXPECT_EQ(result.longint, 32767);
  result = Run("TextToHTML", fits + "8", 0);
  EXPECT_EQ(result.bytes, "");
  EXPECT_EQ(result.longint, 0);
  result = Run("TextToURL", std::string(10923, ' '), 1);
  EXPECT_EQ(result.bytes, "");
  EXPECT_EQ(result.longint, 0);
  EXPECT_EQ(Run("TextToURL", std::string(10922, ' '), 1).bytes.size(), 32766u);
}

}  // namespace
