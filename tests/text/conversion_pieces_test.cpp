// Converting a long text piece by piece, holding back each piece's unfinished tail
// (ConversionModeSettledLength), gives the same bytes as converting the whole text at once:
// every split point and many piece sizes, over texts full of CR LF, entities, numeric
// references that spell entities, and "& ", against the literal conversions.
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "text/literal_substitution.h"
#include "text/text.h"
#include "text/text_test_support.h"

namespace nimbus::testing {
namespace {

// The modes whose conversions read past a byte, alone and with the others around them.
constexpr int32_t kModes[] = {8, 32, 64, 9, 10, 12, 40, 33, 34, 36, 44, 72, 96, 112, 76, 127};

// Pieces of texts that conversions read across: line ends, entities, references that
// decode into entity syntax ("&#38;" is "&", "&#59;" is ";"), "&amp;" chains, "& ".
const char* const kParts[] = {
    "\r",       "\n",      "\r\n",  "&",        "& ",           "&amp;",     "&lt;",
    "&Aacute;", "&eacute", "&#38;", "&#59;",    "&#97;",        "&#1",       "&#300;",
    "#",        ";",       "amp",   "lt",       "Aacute",       "a",         "x",
    " ",        "<",       "\x8E",  "&amp;lt;", "&#38;amp;gt;", "&amp&#59;", "&Aacute&#59;",
    "&&",       "\r&",
};

std::string RandomText(std::mt19937& random, size_t parts) {
  std::string text;
  std::uniform_int_distribution<size_t> pick(0, std::size(kParts) - 1);
  for (size_t i = 0; i < parts; ++i) text += kParts[pick(random)];
  return text;
}

class ConversionPiecesTest : public TextTest {
 protected:
  // The package's conversion of the bytes.
  std::string Convert(const std::string& bytes, int32_t mode) {
    if (bytes.empty()) return "";
    FourDText t = MakeText(bytes);
    EXPECT_TRUE(ApplyConversionMode(t, mode));
    std::string out = TextBytes(t);
    DisposeText(t);
    return out;
  }
  int32_t Settled(const std::string& bytes, int32_t mode) {
    return ConversionModeSettledLength(reinterpret_cast<const uint8_t*>(bytes.data()),
                                       int32_t(bytes.size()), mode);
  }
  // Converts the text in pieces that end at the given offsets, as the file routines do.
  std::string ConvertInPieces(const std::string& text, const std::vector<size_t>& ends,
                              int32_t mode) {
    std::string out, held;
    size_t from = 0;
    for (size_t end : ends) {
      std::string piece = held + text.substr(from, end - from);
      from = end;
      const int32_t settled = Settled(piece, mode);
      EXPECT_GE(settled, 0);
      EXPECT_LE(piece.size() - size_t(settled), size_t(kLongestUnfinishedTail));
      held = piece.substr(size_t(settled));
      out += Convert(piece.substr(0, size_t(settled)), mode);
    }
    return out + Convert(held + text.substr(from), mode);  // the last piece: nothing held
  }
};

TEST_F(ConversionPiecesTest, EverySplitPointGivesTheWholeTextsConversion) {
  std::mt19937 random(11);
  for (int round = 0; round < 20; ++round) {
    const std::string text = RandomText(random, 60);
    for (int32_t mode : kModes) {
      const std::optional<std::string> whole = literal::ApplyConversionMode(text, mode);
      ASSERT_TRUE(whole.has_value());
      for (size_t split = 0; split <= text.size(); ++split) {
        ASSERT_EQ(ConvertInPieces(text, {split}, mode), *whole)
            << "mode " << mode << " split " << split << " of " << ::testing::PrintToString(text);
      }
    }
  }
}

TEST_F(ConversionPiecesTest, EveryPieceSizeGivesTheWholeTextsConversion) {
  std::mt19937 random(12);
  for (int round = 0; round < 10; ++round) {
    const std::string text = RandomText(random, 150);
    for (int32_t mode : kModes) {
      const std::optional<std::string> whole = literal::ApplyConversionMode(text, mode);
      ASSERT_TRUE(whole.has_value());
      for (size_t size : {1, 2, 3, 4, 5, 6, 7, 9, 12, 13, 14, 31, 100}) {
        std::vector<size_t> ends;
        for (size_t end = size; end < text.size(); end += size) ends.push_back(end);
        ASSERT_EQ(ConvertInPieces(text, ends, mode), *whole)
            << "mode " << mode << " pieces of " << size << " of " << ::testing::PrintToString(text);
      }
    }
  }
}

TEST_F(ConversionPiecesTest, OnlyWhatCouldStillChangeIsHeldBack) {
  struct Case {
    std::string piece;
    int32_t mode;
    size_t held;
  };
  const Case cases[] = {
      {"line\r", 8, 1},
      {"line\r\n", 8, 0},
      {"line\r", 12, 0},
      {"line\r", 4, 0},
      {"a&", 64, 1},
      {"a& ", 64, 0},
      {"a&", 16, 0},
      {"x&lt", 32, 3},
      {"x&lt;", 32, 0},
      {"x&amp", 32, 4},
      {"x&amp;", 32, 5},
      {"x&amp;lt", 32, 7},
      {"x&amp;lt;", 32, 0},
      {"x&#3", 32, 3},
      {"x&#38;", 32, 5},
      {"x&#38;l", 32, 6},
      {"x&#97;", 32, 0},
      {"x& lt", 32, 0},
      {"x&toolongname", 32, 0},
      {"x&lt\r", 32, 0},
      {"x&lt\r", 40, 1},
      {"&amp&#59;", 32, 9},
      {"no ampersand", 32, 0},
      {"", 32, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.piece.size() - size_t(Settled(c.piece, c.mode)), c.held)
        << "mode " << c.mode << " " << ::testing::PrintToString(c.piece);
  }
}

}  // namespace
}  // namespace nimbus::testing
