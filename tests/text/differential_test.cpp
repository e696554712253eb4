// The one-pass conversions against the literal pass-by-pass reference: byte-identical results
// on random texts built from entity fragments and stray bytes, exhaustive short texts, the
// chained cases, every conversion mode (which covers translation and line breaks), and the
// same verdict at the 32767-byte limit.
#include <cstdio>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "text/literal_substitution.h"
#include "text/text.h"
#include "text/text_test_support.h"

namespace nimbus::testing {
namespace {

using FastConversion = std::function<FourDText(const FourDText&)>;
using LiteralConversion = std::function<std::string(const std::string&)>;

struct Conversion {
  std::string name;
  FastConversion fast;
  LiteralConversion literal;
};

std::vector<Conversion> AllConversions() {
  std::vector<Conversion> all;
  auto add = [&all](const std::string& name, auto fast, auto literal,
                    std::initializer_list<int32_t> options) {
    for (int32_t option : options) {
      all.push_back({name + " " + std::to_string(option),
                     [=](const FourDText& t) { return fast(t, option); },
                     [=](const std::string& s) { return literal(s, option); }});
    }
  };
  add("TextToHTML", TextToHTML, literal::TextToHTML, {0, 1, 7, -1});
  add("HTMLToText", HTMLToText, literal::HTMLToText, {0, 1, 2, 3, -1});
  add("TextToURL", TextToURL, literal::TextToURL, {0, 1, -1});
  add("URLToText", URLToText, literal::URLToText, {0, 1, -1, 2});
  return all;
}

std::vector<Conversion> ConversionsNamed(std::initializer_list<std::string> names) {
  std::vector<Conversion> chosen;
  for (const auto& conversion : AllConversions()) {
    for (const auto& name : names) {
      if (conversion.name == name) chosen.push_back(conversion);
    }
  }
  return chosen;
}

std::string Printable(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c >= 32 && c < 127 && c != '\\') {
      out += char(c);
    } else {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02X", c);
      out += escape;
    }
  }
  return out;
}

// One input through one conversion both ways. A literal result past 32767 bytes must come
// back from the routine as no Text.
void ExpectSameAsLiteral(const Conversion& conversion, const std::string& input) {
  FourDText parameter = MakeText(input);
  FourDText fast = conversion.fast(parameter);
  std::string expected = conversion.literal(input);
  if (expected.size() > 32767) {
    EXPECT_EQ(fast.handle, nullptr) << conversion.name << " of \"" << Printable(input) << "\"";
  } else {
    EXPECT_EQ(Printable(TextBytes(fast)), Printable(expected))
        << conversion.name << " of \"" << Printable(input) << "\"";
  }
  DisposeText(parameter);
  DisposeText(fast);
}

// Fragments that the substitution passes react to, or that come close.
const std::vector<std::string>& Fragments() {
  static const std::vector<std::string> fragments = {
      "&",       "&amp;",    "&lt;",     "&gt;",   "&quot;",  "amp;",
      "lt;",     "gt;",      "quot;",    "&#",     "#",       ";",
      "&#038;",  "&#38;",    "&#060;",   "&#60;",  "&#233;",  "&#0;",
      "&#255;",  "&#256;",   "&#1234;",  "&#65",   "&#x41;",  "&eacute;",
      "eacute;", "&Eacute;", "&EACUTE;", "&nbsp;", "&oelig;", "&szlig;",
      "&yuml;",  "&AElig;",  "&aelig",   "&Auml;", "&uuml;",  "<",
      ">",       "<b>",      "</b>",     "\"",     "& ",      " ",
      "\r",      "\n",       "\r\n",     "%",      "%4",      "%41",
      "%4a",     "%E9",      "%25",      "%2541",  "%zz",     "=",
      "=3D",     "=3d",      "=E9",      "+",      "0",       "1",
      "3",       "6",        "8",        "9",      "A",       "F",
      "a",       "f",        "g",        "z",      "\x8E",    "\xE7",
      "\xA1",    "\xA0",     "\xA9",     "\xB2",   "\xB3",    "\xC7",
      "\xC8",    "\xC9",     "\xCA",     "\xCF",   "\xD2",    "\xD3",
      "\xD4",    "\xD5",     "\xDB",     "\xFF",   "\x7F",    std::string(1, '\0'),
  };
  return fragments;
}

std::string RandomText(std::mt19937& rng, int maxPieces) {
  const auto& fragments = Fragments();
  std::uniform_int_distribution<int> pieces(0, maxPieces);
  std::uniform_int_distribution<size_t> pick(0, fragments.size() - 1);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> percent(0, 99);
  std::string text;
  for (int n = pieces(rng); n > 0; --n) {
    if (percent(rng) < 15) {
      text += char(byte(rng));
    } else {
      text += fragments[pick(rng)];
    }
  }
  return text;
}

class DifferentialTest : public TextTest {};

TEST_F(DifferentialTest, TextsBuiltFromFragments) {
  std::mt19937 rng(20240611);
  auto conversions = AllConversions();
  for (int round = 0; round < 1500; ++round) {
    std::string text = RandomText(rng, 40);
    for (const auto& conversion : conversions) ExpectSameAsLiteral(conversion, text);
    if (HasFailure()) return;
  }
}

TEST_F(DifferentialTest, ChainedAndNearMissEntities) {
  const char* cases[] = {
      "&amp;lt;",       "&amp;amp;lt;",    "&#038;lt;",    "&#38;lt;",
      "&#38;amp;lt;",   "&#38;#60;",       "&amp;#60;",    "&amp;#038;lt;",
      "&#038;#038;lt;", "&amp;&lt;",       "&&lt;",        "&amp;&amp;lt;",
      "&amp;quot;",     "&amp;eacute;",    "&#38;eacute;", "&#038;amp;",
      "&lt;&#38;gt;",   "&#60;b&#62;",     "&amp",         "&amp;",
      "&#38",           "&#038",           "&lt",          "&amp;lt",
      "<&amp;lt;>",     "&#38;&#38;lt;",   "&#0038;lt;",   "&#38;lt;;",
      "&amp;&#35;60;",  "&#38;#38;lt;",    "&a&eacute;",   "&eac&eacute;",
      "&amp;nbsp;x",    "<a>&amp;lt;</a>", "&;&#;&#;;",
  };
  for (const char* text : cases) {
    for (const auto& conversion : AllConversions()) ExpectSameAsLiteral(conversion, text);
  }
}

TEST_F(DifferentialTest, EveryPairOfBytesThroughTheEncoder) {
  auto encoders = ConversionsNamed({"TextToHTML 0", "TextToHTML 1"});
  for (int first = 0; first < 256; ++first) {
    for (int second = 0; second < 256; ++second) {
      std::string text{char(first), char(second)};
      for (const auto& encoder : encoders) ExpectSameAsLiteral(encoder, text);
    }
    if (HasFailure()) return;
  }
}

TEST_F(DifferentialTest, EveryShortTextOfEntityCharactersThroughTheDecoder) {
  const std::string alphabet = "&#60;lta";
  auto decoders = ConversionsNamed({"HTMLToText 0", "HTMLToText 1"});
  std::vector<std::string> texts = {""};
  for (int length = 1; length <= 5; ++length) {
    std::vector<std::string> longer;
    for (const auto& text : texts) {
      if (int(text.size()) != length - 1) continue;
      for (char c : alphabet) longer.push_back(text + c);
    }
    for (const auto& text : longer) {
      for (const auto& decoder : decoders) ExpectSameAsLiteral(decoder, text);
    }
    if (HasFailure()) return;
    texts = std::move(longer);
  }
}

TEST_F(DifferentialTest, ResultsAtTheLimit) {
  std::string fits = std::string(4095, '\xE7') + "1234567";
  std::string dots = std::string(10922, '.') + "x";
  for (const auto& text : {fits, fits + "8", dots, dots + "y"}) {
    for (const auto& conversion : ConversionsNamed({"TextToHTML 0", "TextToURL 0"})) {
      ExpectSameAsLiteral(conversion, text);
    }
  }
}

TEST_F(DifferentialTest, ConversionModes) {
  std::mt19937 rng(99);
  std::uniform_int_distribution<int32_t> anyMode(0, 255);
  for (int round = 0; round < 1500; ++round) {
    std::string text = RandomText(rng, 30);
    int32_t mode = anyMode(rng);
    FourDText t = MakeText(text);
    bool converted = ApplyConversionMode(t, mode);
    std::optional<std::string> expected = literal::ApplyConversionMode(text, mode);
    ASSERT_EQ(converted, expected.has_value())
        << "mode " << mode << " \"" << Printable(text) << "\"";
    EXPECT_EQ(Printable(TextBytes(t)), Printable(expected.value_or(text)))
        << "mode " << mode << " \"" << Printable(text) << "\"";
    DisposeText(t);
    if (HasFailure()) return;
  }
}

}  // namespace
}  // namespace nimbus::testing
