// The character tables, TranslateText and the translated copies of routines MacToISO and
// ISOToMac.
#include "text/char_map.h"
#include "text/text_block.h"

namespace nimbus {
namespace {

constexpr ResType kTableType = ResTypeOf("NMBc");
constexpr unsigned char kMac2ISOName[] = "\x07Mac2ISO";
constexpr unsigned char kISO2MacName[] = "\x07ISO2Mac";
constexpr int32_t kTableSize = 256;

}  // namespace

CharMap IdentityCharMap() {
  CharMap map;
  for (int b = 0; b < kTableSize; ++b) map.to[b] = uint8_t(b);
  return map;
}

CharMap LoadCharMap(CharTable table) {
  Handle resource =
      GetNamedResource(kTableType, table == CharTable::kMac2ISO ? kMac2ISOName : kISO2MacName);
  if (resource == nullptr || *resource == nullptr || GetHandleSize(resource) < kTableSize) {
    return IdentityCharMap();
  }
  CharMap map;
  BlockMove(*resource, map.to, kTableSize);
  return map;
}

CharMap ComposeCharMaps(const CharMap& first, const CharMap& second) {
  CharMap map;
  for (int b = 0; b < kTableSize; ++b) map.to[b] = second.to[first.to[b]];
  return map;
}

void TranslateBytes(uint8_t* bytes, int32_t count, const CharMap& map) {
  for (int32_t i = 0; i < count; ++i) bytes[i] = map.to[bytes[i]];
}

void TranslateText(FourDText& text, CharTable table) {
  int32_t count = TextByteCount(text);
  if (count == 0) return;
  CharMap map = LoadCharMap(table);
  LockedBlock block(text.handle);
  TranslateBytes(block.bytes(), count, map);
}

FourDText TranslatedCopy(const FourDText& text, CharTable table) {
  CharMap map = LoadCharMap(table);
  int32_t count = TextByteCount(text);
  Handle copy;
  if (count == 0) {
    copy = NewHandle(0);
  } else {
    LockedBlock source(text.handle);
    copy = NewBlockWithBytes(source.bytes(), count);
  }
  if (copy == nullptr) return kNoText;
  TranslateBytes(reinterpret_cast<uint8_t*>(*copy), count, map);
  return FourDText{int16_t(count), copy};
}

}  // namespace nimbus
