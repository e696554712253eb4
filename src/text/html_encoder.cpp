// TextToHTML: entity encoding in one pass.
//
// The encoder is defined as a sequence of whole-text substitutions followed by a translation
// through "Mac2ISO" and numeric references for what is left above 127. Every substitution but
// the spaced ampersand replaces a single byte, so the sequence maps each source byte to a
// fixed expansion; the tables below are those expansions, computed at compile time from the
// substitution lists. The spaced ampersand ("& " under options other than 0) is the one
// two-byte pattern; the earlier substitutions never write an ampersand or a space, so it
// matches exactly where the source holds "& ".
#include <array>
#include <cstring>
#include <stdexcept>

#include "text/char_map.h"
#include "text/html_entities.h"
#include "text/text_block.h"

namespace nimbus {
namespace {

constexpr int32_t kLongestExpansion = 8;  // "&Aacute;", "&lt;&lt;"

struct Expansion {
  uint8_t length = 0;
  uint8_t bytes[kLongestExpansion] = {};
};
using ExpansionTable = std::array<Expansion, 256>;

// Replaces every `from` byte of the expansion by `to`.
constexpr void Substitute(Expansion& e, uint8_t from, std::string_view to) {
  Expansion result;
  auto append = [&result](uint8_t c) {
    if (result.length == kLongestExpansion) throw std::length_error("expansion too long");
    result.bytes[result.length++] = c;
  };
  for (int i = 0; i < e.length; ++i) {
    if (e.bytes[i] != from) {
      append(e.bytes[i]);
      continue;
    }
    for (char c : to) append(uint8_t(c));
  }
  e = result;
}

constexpr void SubstituteAll(Expansion& e, const html::Substitution& s) {
  Substitute(e, uint8_t(s.pattern[0]), s.replacement);
}

// The substitutions that follow the markup escapes.
constexpr void ApplyQuotesAndEntities(Expansion& e) {
  for (const auto& s : html::kSingleQuotes) SubstituteAll(e, s);
  for (const auto& row : html::kEntityRows) Substitute(e, row.macCode, row.written);
}

constexpr ExpansionTable BuildExpansions(bool escapeMarkup) {
  ExpansionTable table;
  for (int b = 0; b < 256; ++b) {
    Expansion& e = table[b];
    e.length = 1;
    e.bytes[0] = uint8_t(b);
    for (const auto& s : html::kEncoderPrefix) SubstituteAll(e, s);
    if (escapeMarkup) {
      for (const auto& s : html::kMarkupEscapes) SubstituteAll(e, s);
    }
    ApplyQuotesAndEntities(e);
  }
  return table;
}

constexpr Expansion BuildSpacedAmpersand() {
  Expansion e;
  for (char c : html::kSpacedAmpersand.replacement) e.bytes[e.length++] = uint8_t(c);
  ApplyQuotesAndEntities(e);
  return e;
}

constexpr ExpansionTable kMarkupExpansions = BuildExpansions(true);
constexpr ExpansionTable kPlainExpansions = BuildExpansions(false);
constexpr Expansion kSpacedAmpersandExpansion = BuildSpacedAmpersand();
static_assert(html::kSpacedAmpersand.pattern == "& ");

// One encoding: the expansions of an option, and the translation that follows them.
class HTMLEncoder {
 public:
  HTMLEncoder(const CharMap& map, int32_t option)
      : map_(map),
        expansions_(option == 0 ? kMarkupExpansions : kPlainExpansions),
        spacedAmpersand_(option != 0) {
    for (int b = 0; b < 256; ++b) {
      const Expansion& e = expansions_[b];
      outputLength_[b] = OutputLength(e);
      unchanged_[b] = e.length == 1 && e.bytes[0] == b && map_.to[b] == b && b <= 127;
    }
    if (spacedAmpersand_) unchanged_[uint8_t('&')] = false;
  }

  int32_t EncodedSize(const uint8_t* in, int32_t count) const {
    int32_t size = 0;
    for (int32_t i = 0; i < count; ++i) {
      if (IsSpacedAmpersand(in, count, i)) {
        size += OutputLength(kSpacedAmpersandExpansion);
        ++i;
      } else {
        size += outputLength_[in[i]];
      }
    }
    return size;
  }

  void Encode(const uint8_t* in, int32_t count, uint8_t* out) const {
    for (int32_t i = 0; i < count;) {
      int32_t runStart = i;
      while (i < count && unchanged_[in[i]]) ++i;
      std::memcpy(out, in + runStart, size_t(i - runStart));
      out += i - runStart;
      if (i == count) break;
      if (IsSpacedAmpersand(in, count, i)) {
        out = Emit(kSpacedAmpersandExpansion, out);
        i += 2;
      } else {
        out = Emit(expansions_[in[i]], out);
        ++i;
      }
    }
  }

 private:
  bool IsSpacedAmpersand(const uint8_t* in, int32_t count, int32_t i) const {
    return spacedAmpersand_ && in[i] == '&' && i + 1 < count && in[i + 1] == ' ';
  }

  // Bytes the translation leaves above 127 become "&#ddd;".
  int32_t OutputLength(const Expansion& e) const {
    int32_t length = 0;
    for (int i = 0; i < e.length; ++i) {
      length += map_.to[e.bytes[i]] > 127 ? html::kNumericReferenceLength : 1;
    }
    return length;
  }

  uint8_t* Emit(const Expansion& e, uint8_t* out) const {
    for (int i = 0; i < e.length; ++i) {
      uint8_t c = map_.to[e.bytes[i]];
      if (c <= 127) {
        *out++ = c;
        continue;
      }
      *out++ = '&';
      *out++ = '#';
      *out++ = uint8_t('0' + c / 100);
      *out++ = uint8_t('0' + c / 10 % 10);
      *out++ = uint8_t('0' + c % 10);
      *out++ = ';';
    }
    return out;
  }

  const CharMap& map_;
  const ExpansionTable& expansions_;
  bool spacedAmpersand_;
  int32_t outputLength_[256];
  bool unchanged_[256];
};

}  // namespace

FourDText TextToHTML(const FourDText& text, int32_t option) {
  int32_t count = TextByteCount(text);
  if (count == 0) return NewEmptyText();
  CharMap map = LoadCharMap(CharTable::kMac2ISO);
  HTMLEncoder encoder(map, option);

  LockedBlock source(text.handle);
  int32_t size = encoder.EncodedSize(source.bytes(), count);
  if (size > kMaxTextLength) return kNoText;
  Handle result = NewHandle(size);
  if (result == nullptr) return kNoText;
  encoder.Encode(source.bytes(), count, reinterpret_cast<uint8_t*>(*result));
  return FourDText{int16_t(size), result};
}

}  // namespace nimbus
