// Character translation and the line-break conversions inside a Text's block.
#include "text/line_breaks.h"

#include <cstring>

#include "text/byte_scan.h"
#include "text/text_block.h"

namespace nimbus {
namespace {

int32_t CountCRsAfterMap(const uint8_t* bytes, int32_t count, const CharMap& map) {
  int32_t crs = 0;
  for (int32_t i = 0; i < count; ++i) crs += map.to[bytes[i]] == kCR;
  return crs;
}

// Translates bytes[0..count) and writes each of its crs CRs as CR LF, working from the end
// so that the growing text never overwrites bytes not yet read. bytes must hold count + crs.
void TranslateAndExpandCRs(uint8_t* bytes, int32_t count, int32_t crs, const CharMap& map) {
  if (crs == 0) {
    TranslateBytes(bytes, count, map);
    return;
  }
  int32_t to = count + crs;
  for (int32_t from = count - 1; from >= 0; --from) {
    uint8_t c = map.to[bytes[from]];
    if (c == kCR) bytes[--to] = kLF;
    bytes[--to] = c;
  }
}

// CR LF to CR, left to right; answers the new count.
int32_t CollapseCRLFs(uint8_t* bytes, int32_t count) {
  const uint8_t* end = bytes + count;
  uint8_t* out = bytes;
  for (const uint8_t* in = bytes; in < end;) {
    const uint8_t* cr = FindByte(in, end, kCR);
    const uint8_t* stop = cr == end ? end : cr + 1;
    std::memmove(out, in, size_t(stop - in));
    out += stop - in;
    in = stop;
    if (cr != end && in < end && *in == kLF) ++in;
  }
  return int32_t(out - bytes);
}

}  // namespace

bool ConvertInPlace(FourDText& text, const InPlaceSteps& steps) {
  int32_t count = TextByteCount(text);
  if (count == 0) return true;
  CharMap map = steps.map != nullptr ? *steps.map : IdentityCharMap();
  // CR to CR LF and straight back gives the text it started from: every CR LF the second
  // step finds is one the first step made. So the pair runs as neither, and never fails.
  bool expand = steps.crToCRLF && !steps.crlfToCR;
  bool collapse = steps.crlfToCR && !steps.crToCRLF;

  int32_t crs = 0;
  if (expand) {
    crs = CountCRsAfterMap(reinterpret_cast<const uint8_t*>(*text.handle), count, map);
    if (count + crs > kMaxTextLength) return false;
    if (crs > 0 && GetHandleSize(text.handle) < count + crs) {
      SetHandleSize(text.handle, count + crs);
      if (MemError() != noErr) return false;
    }
  }
  int32_t result = count + crs;
  {
    LockedBlock block(text.handle);
    if (steps.map != nullptr || crs > 0) TranslateAndExpandCRs(block.bytes(), count, crs, map);
    if (collapse) result = CollapseCRLFs(block.bytes(), result);
  }
  if (result < count) TrimBlock(text.handle, result);
  text.length = int16_t(result);
  return true;
}

bool ConvertCRToCRLF(FourDText& text) {
  return ConvertInPlace(text, {.crToCRLF = true});
}

void ConvertCRLFToCR(FourDText& text) {
  ConvertInPlace(text, {.crlfToCR = true});
}

}  // namespace nimbus
