// Without the resource file the character tables cannot be found: every conversion still
// runs, leaving the characters in their character set.
#include <string>

#include "host/toolbox.h"
#include "text/text.h"
#include "text/text_test_support.h"

namespace nimbus::testing {
namespace {

// Deliberately not TextTest: this program never opens the resource file.
TEST(MissingTablesTest, TranslationsLeaveTheTextAsItIs) {
  ASSERT_EQ(GetNamedResource(ResTypeOf("NMBc"), reinterpret_cast<ConstStr255Param>("\x07Mac2ISO")),
            nullptr);
  FourDText text = MakeText("caf\x8E");
  TranslateText(text, CharTable::kMac2ISO);
  EXPECT_EQ(TextBytes(text), "caf\x8E");
  FourDText copy = TranslatedCopy(text, CharTable::kISO2Mac);
  EXPECT_EQ(TextBytes(copy), "caf\x8E");
  EXPECT_TRUE(ApplyConversionMode(text, 1 + 4));
  EXPECT_EQ(TextBytes(text), "caf\x8E");
  DisposeText(text);
  DisposeText(copy);
}

TEST(MissingTablesTest, EntitiesAndEscapesStillRun) {
  FourDText text = MakeText("\x8E\xA1<");
  FourDText html = TextToHTML(text, 0);
  // The entity table still applies; the degree sign keeps its Mac Roman code.
  EXPECT_EQ(TextBytes(html), "&eacute;&#161;&lt;");
  FourDText back = HTMLToText(html, 0);
  EXPECT_EQ(TextBytes(back), "\x8E\xA1<");
  FourDText url = TextToURL(text, 0);
  EXPECT_EQ(TextBytes(url), "%8E%A1<");
  for (const FourDText& t : {text, html, back, url}) DisposeText(t);
}

}  // namespace
}  // namespace nimbus::testing
