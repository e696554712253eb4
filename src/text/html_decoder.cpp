// HTMLToText: entity decoding in two passes, and tag removal.
//
// The decoder is defined as: numeric references decoded, the text translated through
// "ISO2Mac", then one whole-text replacement pass per entity ("&amp;", "&lt;", "&gt;",
// "&quot;" under option 0, then the named entities). The passes are fused as follows.
// - Numeric references and the translation: one pass (the translation applies to every byte).
// - "&amp;" first: each occurrence becomes "&", which the later passes may read as the start
//   of an entity ("&amp;lt;" gives "<"); it is never read as the start of another "&amp;".
// - All later entities have the form "&name;" with a name of letters only, and each becomes
//   one byte that is not a letter, "&" or ";". So their matches never overlap, a replacement
//   never completes another match, and running them one after another gives the same text as
//   replacing every "&name;" in a single left-to-right pass.
#include "text/html_decoder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "text/byte_scan.h"
#include "text/char_map.h"
#include "text/html_entities.h"
#include "text/text_block.h"

namespace nimbus {
namespace {

constexpr uint8_t kAmpersand = '&';
constexpr std::string_view kEscapedAmpersand = "&amp;";
static_assert(html::kMarkupEscapes[0].pattern == "&" &&
              html::kMarkupEscapes[0].replacement == kEscapedAmpersand);

// ---- Numeric references --------------------------------------------------------------------

constexpr int32_t kMostReferenceDigits = 3;

// Reads "&#" + 1 to 3 decimal digits + ";" at the start of p; the byte is the low 8 bits of
// the number, as the three-digit form has always read (&#300; gives 44). Other forms (no
// digits, four or more, no ";") are not references and stay in the text as they are.
bool ReadNumericReference(const uint8_t* p, int32_t available, uint8_t* value, int32_t* length) {
  if (available < 4 || p[0] != kAmpersand || p[1] != '#') return false;
  int32_t digits = 0;
  int32_t number = 0;
  while (digits < kMostReferenceDigits && 2 + digits < available && p[2 + digits] >= '0' &&
         p[2 + digits] <= '9') {
    number = number * 10 + (p[2 + digits] - '0');
    ++digits;
  }
  if (digits == 0 || 2 + digits >= available || p[2 + digits] != ';') return false;
  *value = uint8_t(number & 0xFF);
  *length = 3 + digits;
  return true;
}

// Decodes numeric references and translates every byte; the scan goes on after each decoded
// byte. out may be in: it never overtakes the reading position.
int32_t DecodeNumericAndTranslate(const uint8_t* in, int32_t count, uint8_t* out,
                                  const CharMap& map) {
  int32_t written = 0;
  for (int32_t i = 0; i < count;) {
    int32_t stop = int32_t(FindByte(in + i, in + count, kAmpersand) - in);
    for (; i < stop; ++i) out[written++] = map.to[in[i]];
    if (i == count) break;
    uint8_t value;
    int32_t length;
    if (ReadNumericReference(in + i, count - i, &value, &length)) {
      out[written++] = map.to[value];
      i += length;
    } else {
      out[written++] = map.to[kAmpersand];
      ++i;
    }
  }
  return written;
}

// ---- Named entities --------------------------------------------------------------------

struct NamedEntity {
  std::string_view name;  // without "&" and ";"
  uint8_t code;
  bool markup;  // decoded under option 0 only
};

constexpr std::string_view NameOf(std::string_view entity) {
  return entity.substr(1, entity.size() - 2);
}

constexpr size_t CountReadableRows() {
  size_t n = 0;
  for (const auto& row : html::kEntityRows) n += !row.read.empty();
  return n;
}

constexpr size_t kNamedEntityCount = std::size(html::kMarkupEscapes) - 1 + CountReadableRows();

// Every entity the single pass knows. "&amp;" is not among them: it chains.
constexpr std::array<NamedEntity, kNamedEntityCount> BuildNamedEntities() {
  std::array<NamedEntity, kNamedEntityCount> entities{};
  size_t n = 0;
  for (size_t i = 1; i < std::size(html::kMarkupEscapes); ++i) {
    const auto& escape = html::kMarkupEscapes[i];
    entities[n++] = {NameOf(escape.replacement), uint8_t(escape.pattern[0]), true};
  }
  for (const auto& row : html::kEntityRows) {
    if (!row.read.empty()) entities[n++] = {NameOf(row.read), row.macCode, false};
  }
  return entities;
}

constexpr auto kNamedEntities = BuildNamedEntities();

constexpr size_t LongestName() {
  size_t longest = 0;
  for (const auto& e : kNamedEntities) longest = std::max(longest, e.name.size());
  return longest;
}

constexpr bool NamesAreLettersOnly() {
  for (const auto& e : kNamedEntities) {
    for (char c : e.name) {
      if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return false;
    }
  }
  return true;
}
static_assert(NamesAreLettersOnly(), "the single-pass argument above needs letter-only names");

// Entity names as integers: the length in the top byte, then the letters. A small
// open-addressed hash of them finds a name in one or two probes.
constexpr size_t kLongestPackedName = 7;
static_assert(LongestName() <= kLongestPackedName);

constexpr uint64_t PackName(const uint8_t* letters, size_t length) {
  uint64_t key = uint64_t(length) << 56;
  for (size_t i = 0; i < length; ++i) key |= uint64_t(letters[i]) << (8 * i);
  return key;
}

constexpr int kHashBits = 7;
constexpr size_t kHashSlots = size_t(1) << kHashBits;
static_assert(kNamedEntityCount * 2 <= kHashSlots);

constexpr size_t HashSlot(uint64_t key) {
  return size_t((key * 0x9E3779B97F4A7C15ull) >> (64 - kHashBits));
}

struct EntityHash {
  uint64_t keys[kHashSlots] = {};
  uint8_t entityPlusOne[kHashSlots] = {};  // 0: empty slot
};

constexpr EntityHash BuildEntityHash() {
  EntityHash hash;
  for (size_t e = 0; e < kNamedEntityCount; ++e) {
    uint8_t letters[kLongestPackedName] = {};
    const std::string_view name = kNamedEntities[e].name;
    for (size_t i = 0; i < name.size(); ++i) letters[i] = uint8_t(name[i]);
    uint64_t key = PackName(letters, name.size());
    size_t slot = HashSlot(key);
    while (hash.entityPlusOne[slot] != 0) slot = (slot + 1) % kHashSlots;
    hash.keys[slot] = key;
    hash.entityPlusOne[slot] = uint8_t(e + 1);
  }
  return hash;
}

constexpr EntityHash kEntityHash = BuildEntityHash();

// The entity whose name and ";" begin p, or null.
const NamedEntity* MatchNamedEntity(const uint8_t* p, int32_t available, bool withMarkup) {
  int32_t limit = std::min<int32_t>(available, int32_t(kLongestPackedName) + 1);
  int32_t length = 0;
  while (length < limit && p[length] != ';') ++length;
  if (length == limit) return nullptr;
  uint64_t key = PackName(p, size_t(length));
  for (size_t slot = HashSlot(key); kEntityHash.entityPlusOne[slot] != 0;
       slot = (slot + 1) % kHashSlots) {
    if (kEntityHash.keys[slot] != key) continue;
    const NamedEntity& found = kNamedEntities[kEntityHash.entityPlusOne[slot] - 1];
    return found.markup && !withMarkup ? nullptr : &found;
  }
  return nullptr;
}

bool StartsWith(const uint8_t* p, int32_t available, std::string_view prefix) {
  return available >= int32_t(prefix.size()) && std::memcmp(p, prefix.data(), prefix.size()) == 0;
}

// Replaces the named entities in place; withMarkup: option 0's markup escapes too.
int32_t DecodeNamedEntities(uint8_t* text, int32_t count, bool withMarkup) {
  int32_t written = 0;
  for (int32_t i = 0; i < count;) {
    int32_t stop = int32_t(FindByte(text + i, text + count, kAmpersand) - text);
    std::memmove(text + written, text + i, size_t(stop - i));
    written += stop - i;
    i = stop;
    if (i == count) break;

    // The ampersand here, or the one "&amp;" becomes, may begin an entity.
    int32_t nameStart = i + 1;
    if (withMarkup && StartsWith(text + i, count - i, kEscapedAmpersand)) {
      nameStart = i + int32_t(kEscapedAmpersand.size());
    }
    const NamedEntity* entity = MatchNamedEntity(text + nameStart, count - nameStart, withMarkup);
    if (entity != nullptr) {
      text[written++] = entity->code;
      i = nameStart + int32_t(entity->name.size()) + 1;
    } else {
      text[written++] = kAmpersand;
      i = nameStart;
    }
  }
  return written;
}

// ---- Where a piece's decoding is settled --------------------------------------------------
//
// Both passes are followed over the piece as they would run on it, the named pass reading the
// numeric pass's output as it comes. The first token whose outcome could still change with the
// bytes after the piece ends the settled part: a numeric reference cut short, or an ampersand
// whose entity window (13 characters, "&amp;" and a name of up to 7 letters with its ";") runs
// past the end while its outcome is open. Every token starts at an ampersand and holds no other,
// so cutting there leaves the tokens before it, and the pass positions, as the whole text has
// them.

constexpr int32_t kLongestReference = 6;  // "&#ddd;"
constexpr int32_t kEntityWindow = int32_t(kEscapedAmpersand.size() + kLongestPackedName + 1);
static_assert((kEntityWindow - 1) * kLongestReference + kLongestReference - 1 <=
              kLongestUnfinishedTail);

// p[0..available) could still grow into a numeric reference: "&", "&#", then up to 3 digits.
bool MayBecomeReference(const uint8_t* p, int32_t available) {
  if (available >= kLongestReference || available < 1 || p[0] != kAmpersand) return false;
  if (available >= 2 && p[1] != '#') return false;
  for (int32_t k = 2; k < available; ++k) {
    if (p[k] < '0' || p[k] > '9' || k >= 2 + kMostReferenceDigits) return false;
  }
  return true;
}

bool IsLetter(uint8_t c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The numeric pass's output, one byte at a time, with the raw offset each came from; the last
// kRingSize bytes are kept for the named pass's window.
class NumericPassOutput {
 public:
  NumericPassOutput(const uint8_t* bytes, int32_t count, const CharMap& before, const CharMap& map)
      : bytes_(bytes), count_(count), before_(before), map_(map) {}

  // The output byte at index k (k >= produced() - kRingSize); false past the settled output.
  bool Get(int32_t k, uint8_t* byte) {
    while (produced_ <= k) {
      if (!Produce()) return false;
    }
    *byte = ring_[k % kRingSize].byte;
    return true;
  }
  int32_t StartOf(int32_t k) const { return ring_[k % kRingSize].start; }
  // Where the numeric pass stopped: count, or a reference the piece's end cuts short.
  int32_t openReference() const { return openReference_; }

 private:
  static constexpr int32_t kRingSize = 16;
  static_assert(kRingSize >= kEntityWindow);

  bool Produce() {
    if (raw_ >= count_ || openReference_ < count_) return false;
    const int32_t start = raw_;
    uint8_t out;
    const uint8_t y = before_.to[bytes_[raw_]];
    if (y != kAmpersand) {
      out = map_.to[y];
      ++raw_;
    } else {
      uint8_t view[kLongestReference];
      const int32_t available = std::min(kLongestReference, count_ - raw_);
      for (int32_t k = 0; k < available; ++k) view[k] = before_.to[bytes_[raw_ + k]];
      uint8_t value;
      int32_t length;
      if (ReadNumericReference(view, available, &value, &length)) {
        out = map_.to[value];
        raw_ += length;
      } else if (MayBecomeReference(view, available)) {
        openReference_ = raw_;
        return false;
      } else {
        out = map_.to[kAmpersand];
        ++raw_;
      }
    }
    ring_[produced_ % kRingSize] = {out, start};
    ++produced_;
    return true;
  }

  struct Entry {
    uint8_t byte;
    int32_t start;
  };
  const uint8_t* bytes_;
  int32_t count_;
  const CharMap& before_;
  const CharMap& map_;
  int32_t raw_ = 0;
  int32_t produced_ = 0;
  int32_t openReference_ = count_;
  Entry ring_[kRingSize] = {};
};

// Where the named pass goes on after the ampersand that begins window[0..have), or -1 when the
// bytes after the window could still change that. The window is whole (kEntityWindow bytes)
// unless the output ended.
int32_t NextAfterAmpersand(const uint8_t* window, int32_t have) {
  int32_t nameStart = 1;
  if (StartsWith(window, have, kEscapedAmpersand)) {
    nameStart = int32_t(kEscapedAmpersand.size());
  } else if (have < int32_t(kEscapedAmpersand.size()) &&
             std::memcmp(window, kEscapedAmpersand.data(), size_t(have)) == 0) {
    return -1;  // "&", "&a", "&am" or "&amp" at the end
  }
  const int32_t limit = int32_t(kLongestPackedName) + 1;
  bool lettersOnly = true;
  int32_t length = 0;
  for (; length < limit && nameStart + length < have; ++length) {
    const uint8_t c = window[nameStart + length];
    if (c == ';') break;
    lettersOnly = lettersOnly && IsLetter(c);
  }
  const bool decided = length == limit || nameStart + length < have || !lettersOnly;
  if (!decided) return -1;
  const NamedEntity* entity = MatchNamedEntity(window + nameStart, have - nameStart, true);
  return entity != nullptr ? nameStart + int32_t(entity->name.size()) + 1 : nameStart;
}

// ---- Tags ----------------------------------------------------------------------------------

// Copies what lies outside tags: "<" opens a tag and the next ">" closes it. No nesting,
// quoting or comments; an unclosed tag drops the rest, and a ">" outside a tag stays.
int32_t RemoveTags(const uint8_t* in, int32_t count, uint8_t* out) {
  int32_t written = 0;
  for (int32_t i = 0; i < count;) {
    const void* open = std::memchr(in + i, '<', size_t(count - i));
    int32_t stop = open != nullptr ? int32_t(static_cast<const uint8_t*>(open) - in) : count;
    std::memcpy(out + written, in + i, size_t(stop - i));
    written += stop - i;
    if (open == nullptr) break;
    const void* close = std::memchr(in + stop + 1, '>', size_t(count - stop - 1));
    if (close == nullptr) break;
    i = int32_t(static_cast<const uint8_t*>(close) - in) + 1;
  }
  return written;
}

constexpr int32_t kRemoveTagsOption = 2;

}  // namespace

FourDText HTMLToText(const FourDText& text, int32_t option) {
  int32_t count = TextByteCount(text);
  if (count == 0) return NewEmptyText();
  CharMap map = LoadCharMap(CharTable::kISO2Mac);
  bool withMarkup = option == 0 || option == kRemoveTagsOption;

  LockedBlock source(text.handle);
  Handle result = NewHandle(count);
  if (result == nullptr) return kNoText;
  int32_t size;
  {
    LockedBlock out(result);
    const uint8_t* in = source.bytes();
    size = count;
    if (option == kRemoveTagsOption) {
      size = RemoveTags(in, size, out.bytes());
      in = out.bytes();
    }
    size = DecodeNumericAndTranslate(in, size, out.bytes(), map);
    size = DecodeNamedEntities(out.bytes(), size, withMarkup);
  }
  TrimBlock(result, size);
  return FourDText{int16_t(size), result};
}

int32_t DecodingSettledLength(const uint8_t* bytes, int32_t count, const CharMap& before) {
  const CharMap map = LoadCharMap(CharTable::kISO2Mac);
  NumericPassOutput output(bytes, count, before, map);
  uint8_t window[kEntityWindow];
  for (int32_t at = 0;;) {
    if (!output.Get(at, &window[0])) return output.openReference();
    if (window[0] != kAmpersand) {
      ++at;
      continue;
    }
    int32_t have = 1;
    while (have < kEntityWindow && output.Get(at + have, &window[have])) ++have;
    const int32_t next = NextAfterAmpersand(window, have);
    if (next < 0) return output.StartOf(at);
    at += next;
  }
}

}  // namespace nimbus
