// Case-insensitive search and the text built-ins built on it, against a small model: every
// text and pattern over small alphabets (letters of both cases, the bytes next to the ASCII
// letters that a careless fold would match, Mac Roman letters that are not folded), from
// every start, and Position / Replace string / Substring run as scripts on swept and long
// texts.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "folded_search.h"
#include "script_fixture.h"
#include "script_value.h"

namespace nimbus_script {
namespace {

// The model: lower-case copies of both, then a plain find.
std::string ModelFold(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

// Every text of length 0..maxLength over `alphabet`.
std::vector<std::string> AllTexts(const std::string& alphabet, size_t maxLength) {
  std::vector<std::string> texts{""};
  for (size_t begin = 0, length = 1; length <= maxLength; ++length) {
    const size_t end = texts.size();
    for (size_t i = begin; i < end; ++i) {
      for (char c : alphabet) texts.push_back(texts[i] + c);
    }
    begin = end;
  }
  return texts;
}

// Model replace: non-overlapping, left to right, letters without case.
std::string ModelReplace(const std::string& text, const std::string& old,
                         const std::string& replacement) {
  if (old.empty()) return text;
  const std::string folded = ModelFold(text), foldedOld = ModelFold(old);
  std::string out;
  size_t from = 0;
  for (size_t at; (at = folded.find(foldedOld, from)) != std::string::npos;
       from = at + old.size()) {
    out += text.substr(from, at - from) + replacement;
  }
  return out + text.substr(from);
}

void SweepFinds(const std::string& alphabet, size_t textLength, size_t patternLength) {
  const std::vector<std::string> texts = AllTexts(alphabet, textLength);
  const std::vector<std::string> patterns = AllTexts(alphabet, patternLength);
  size_t checked = 0;
  for (const std::string& text : texts) {
    const std::string foldedText = ModelFold(text);
    for (const std::string& pattern : patterns) {
      const std::string foldedPattern = ModelFold(pattern);
      // From every start, each on a fresh search.
      for (size_t from = 0; from <= text.size() + 1; ++from) {
        const size_t expected = pattern.empty() || from > text.size()
                                    ? std::string::npos
                                    : foldedText.find(foldedPattern, from);
        ASSERT_EQ(FoldedSearch(pattern, text).Find(from), expected)
            << "pattern \"" << pattern << "\" in \"" << text << "\" from " << from;
        ++checked;
      }
      // Successive calls on one search, as Replace string makes them: from each match's end,
      // and also from one past each match (overlapping matches are found that way).
      for (size_t step : {pattern.size(), size_t{1}}) {
        if (pattern.empty()) continue;
        FoldedSearch search(pattern, text);
        size_t from = 0;
        for (;;) {
          const size_t expected = foldedText.find(foldedPattern, from);
          const size_t got = search.Find(from);
          ASSERT_EQ(got, expected) << "pattern \"" << pattern << "\" in \"" << text << "\" from "
                                   << from << " after earlier calls";
          if (got == std::string::npos) break;
          from = got + step;
        }
      }
    }
  }
  EXPECT_GT(checked, texts.size() * patterns.size());
}

TEST(FoldedSearchTest, LettersOfBothCasesAndSelfOverlappingPatterns) {
  SweepFinds("aAbB", 7, 3);
}

TEST(FoldedSearchTest, OnlyAsciiLettersFold) {
  // '[' '{' and '@' '`' differ from a letter pair by the case bit; 0x8E and 0xE9 are e-acute
  // in Mac Roman and ISO-8859-1, which the language leaves as they are.
  SweepFinds(std::string("a[{@`A\x8E\xE9\x83", 9), 4, 2);
}

TEST(FoldedSearchTest, ALongTextIsSearchedToTheEnd) {
  // A pattern that almost matches everywhere, then matches only at the very end.
  std::string text(1 << 20, 'a');
  text += "b";
  EXPECT_EQ(FoldedSearch("AAAB", text).Find(0), text.size() - 4);
  EXPECT_EQ(FoldedSearch("AAAB", text).Find(text.size() - 3), std::string::npos);
  // Matches of the other case only, far apart: the case not present is scanned once.
  std::string sparse(1 << 20, '-');
  for (size_t i = 0; i < sparse.size(); i += 4096) sparse[i] = 'Q';
  FoldedSearch search("q", sparse);
  size_t count = 0;
  for (size_t at = search.Find(0); at != std::string::npos; at = search.Find(at + 1)) {
    EXPECT_EQ(at % 4096, 0u);
    ++count;
  }
  EXPECT_EQ(count, sparse.size() / 4096);
}

// The model of 4D's "=" on texts: backtracking, each "@" absorbing one more character on a
// mismatch.
bool ModelMatches(const std::string& text, const std::string& pattern) {
  const std::string t = ModelFold(text), p = ModelFold(pattern);
  size_t i = 0, j = 0, star = std::string::npos, starText = 0;
  while (i < t.size()) {
    if (j < p.size() && p[j] == '@') {
      star = j++;
      starText = i;
    } else if (j < p.size() && p[j] == t[i]) {
      ++i;
      ++j;
    } else if (star != std::string::npos) {
      j = star + 1;
      i = ++starText;
    } else {
      return false;
    }
  }
  while (j < p.size() && p[j] == '@') ++j;
  return j == p.size();
}

TEST(TextMatchesTest, WildcardsAndCaseAsTheModelOverEveryShortTextAndPattern) {
  // Case and "@" in the text too; then longer patterns of several runs between "@"s, whose
  // places in the text must not overlap.
  for (const auto& [textAlphabet, textLength, patternAlphabet, patternLength] :
       {std::tuple<std::string, size_t, std::string, size_t>{"aAb@", 6, "aB@", 5},
        std::tuple<std::string, size_t, std::string, size_t>{"aB", 8, "Ab@", 7}}) {
    const std::vector<std::string> texts = AllTexts(textAlphabet, textLength);
    const std::vector<std::string> patterns = AllTexts(patternAlphabet, patternLength);
    size_t matched = 0;
    for (const std::string& text : texts) {
      for (const std::string& pattern : patterns) {
        const bool expected = ModelMatches(text, pattern);
        ASSERT_EQ(TextMatches(text, pattern), expected)
            << "\"" << text << "\" = \"" << pattern << "\"";
        matched += expected;
      }
    }
    EXPECT_GT(matched, 0u);
    EXPECT_LT(matched, texts.size() * patterns.size());
  }
  // A long text against a pattern whose runs almost match everywhere.
  std::string text(1 << 20, 'a');
  EXPECT_FALSE(TextMatches(text, "@aab@a"));
  text[text.size() / 2] = 'b';
  EXPECT_TRUE(TextMatches(text, "@AAB@a"));
  EXPECT_FALSE(TextMatches(text, "@aab@ab"));
}

using TextBuiltinsTest = ScriptTest;

// A text as a script literal.
std::string Literal(const std::string& bytes) {
  std::string out = "\"";
  for (char c : bytes) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

TEST_F(TextBuiltinsTest, PositionAndReplaceStringMatchTheModelOverSweptTexts) {
  const std::vector<std::string> texts = AllTexts("aAb.", 4);
  const std::vector<std::string> patterns = {"", "a", "A", "b", "aa", "Ab", "a.", "aAa", "..."};
  const std::vector<std::string> replacements = {"", "x", "XYZ", "aa"};
  std::string script, expected;
  for (const std::string& text : texts) {
    for (const std::string& pattern : patterns) {
      for (int32_t start : {-1, 0, 1, 2, 4, 5, 6}) {
        script += "LOG(String(Position(" + Literal(pattern) + ";" + Literal(text) + ";" +
                  std::to_string(start) + ")))\n";
        const size_t from = static_cast<size_t>(start < 1 ? 0 : start - 1);
        const size_t at = pattern.empty() || from > text.size()
                              ? std::string::npos
                              : ModelFold(text).find(ModelFold(pattern), from);
        expected += std::to_string(at == std::string::npos ? 0 : at + 1) + "\n";
      }
      for (const std::string& replacement : replacements) {
        script += "LOG(\"[\"+Replace string(" + Literal(text) + ";" + Literal(pattern) + ";" +
                  Literal(replacement) + ")+\"]\")\n";
        // Appended piece by piece: "[" + a temporary string trips GCC 12's -Wrestrict
        // false positive in the 32-bit build.
        expected += '[';
        expected += ModelReplace(text, pattern, replacement);
        expected += "]\n";
      }
    }
  }
  EXPECT_EQ(Output(script), expected);
}

TEST_F(TextBuiltinsTest, SubstringAndCharacterCodeAtEveryPosition) {
  const std::string text = "aB\x8E\r.";
  const int32_t size = static_cast<int32_t>(text.size());
  std::string script = "$t:=\"aB\"+Char(142)+\"\\r.\"\n", expected;
  for (int32_t start = -1; start <= size + 2; ++start) {
    for (int32_t count = -1; count <= size + 1; ++count) {
      script += "LOG(\"[\"+Substring($t;" + std::to_string(start) + ";" + std::to_string(count) +
                ")+\"]\")\n";
      const int32_t from = start < 1 ? 1 : start;
      expected += '[';
      if (count >= 0 && from <= size) expected += text.substr(from - 1, count);
      expected += "]\n";
    }
    script += "LOG(\"[\"+Substring($t;" + std::to_string(start) + ")+\"]\")\n";
    expected += '[';
    if (start <= size) expected += text.substr(start < 1 ? 0 : start - 1);
    expected += "]\n";
  }
  script += "For ($i;1;Length($t))\n  LOG(String(Character code(Substring($t;$i;1))))\nEnd for\n";
  for (char c : text) expected += std::to_string(static_cast<unsigned char>(c)) + "\n";
  EXPECT_EQ(Output(script), expected);
}

// Megabyte texts built in the script by appending, searched, replaced and read byte by byte.
TEST_F(TextBuiltinsTest, MegabyteTextsGiveTheModelsResults) {
  const std::string line = "..a dot-stuffed line, forty bytes long\r\n";
  const int units = 80000;  // 3.2 MB, 80,000 matches of CR LF ".."
  std::string text = "\r\n";
  for (int i = 0; i < units; ++i) text += line;
  const std::string replaced = ModelReplace(text, "\r\n..", "\r\n.");
  const std::string script =
      "$line:=\"..a dot-stuffed line, forty bytes long\\r\\n\"\n"
      "$text:=\"\\r\\n\"\n"
      "For ($i;1;" +
      std::to_string(units) +
      ")\n  $text:=$text+$line\nEnd for\n"
      "$out:=Replace string($text;\"\\r\\n..\";\"\\r\\n.\")\n"
      "LOG($out)\n"
      "LOG(String(Length($text)))\n"
      // Every match (the pattern's A in the other case), each found from one byte past the
      // one before.
      "$count:=0\n$at:=Position(\"\\r\\n..A\";$text)\n$last:=0\n"
      "While ($at>0)\n  $count:=$count+1\n  $last:=$at\n  $at:=Position(\"\\r\\n..\";$text;$at+1)\n"
      "End while\n"
      "LOG(String($count)+\" \"+String($last))\n"
      // The first megabyte byte by byte.
      "$sum:=0\nFor ($i;1;1048576)\n  $sum:=$sum+Character code(Substring($text;$i;1))\n"
      "End for\n"
      "LOG(String($sum))\n";
  uint32_t sum = 0;
  for (size_t i = 0; i < 1048576; ++i) sum += static_cast<unsigned char>(text[i]);
  const size_t last = text.rfind("\r\n..");
  EXPECT_EQ(Output(script), replaced + "\n" + std::to_string(text.size()) + "\n" +
                                std::to_string(units) + " " + std::to_string(last + 1) + "\n" +
                                std::to_string(sum) + "\n");
}

}  // namespace
}  // namespace nimbus_script
