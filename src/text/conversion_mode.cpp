// ApplyConversionMode: the conversions the transfer routines apply on the wire.
#include <algorithm>
#include <initializer_list>

#include "text/char_map.h"
#include "text/html_decoder.h"
#include "text/line_breaks.h"
#include "text/text_block.h"

namespace nimbus {
namespace {

constexpr int32_t kInPlaceBits = kModeMacToISO | kModeISOToMac | kModeCRToCRLF | kModeCRLFToCR;
constexpr int32_t kHTMLBits = kModeEncodeHTML | kModeDecodeHTML | kModeEncodeMarkup;
constexpr int32_t kMarkupOption = 1;
constexpr int32_t kCRLFGrowth = 2;
constexpr int32_t kEntityGrowth = 8;  // "&Aacute;", "&lt;&lt;", "&#ddd;" and shorter

// Of the HTML bits only the last one set counts: each would start from the same text and
// replace the result of the one before, so the earlier ones need not run at all.
int32_t LastHTMLBit(int32_t mode) {
  for (int32_t bit : {kModeEncodeMarkup, kModeDecodeHTML, kModeEncodeHTML}) {
    if (mode & bit) return bit;
  }
  return 0;
}

FourDText RunHTMLBit(const FourDText& text, int32_t bit) {
  if (bit == kModeDecodeHTML) return HTMLToText(text, 0);
  return TextToHTML(text, bit == kModeEncodeMarkup ? kMarkupOption : 0);
}

// The translation of the mode's character-set bits (the identity when it has none).
CharMap TranslationOf(int32_t mode) {
  CharMap map = IdentityCharMap();
  if (mode & kModeMacToISO) map = LoadCharMap(CharTable::kMac2ISO);
  if (mode & kModeISOToMac) map = ComposeCharMaps(map, LoadCharMap(CharTable::kISO2Mac));
  return map;
}

bool ApplyInPlaceBits(FourDText& text, int32_t mode) {
  if ((mode & kInPlaceBits) == 0) return true;
  InPlaceSteps steps;
  CharMap map;
  if (mode & (kModeMacToISO | kModeISOToMac)) {
    map = TranslationOf(mode);
    steps.map = &map;
  }
  steps.crToCRLF = (mode & kModeCRToCRLF) != 0;
  steps.crlfToCR = (mode & kModeCRLFToCR) != 0;
  return ConvertInPlace(text, steps);
}

}  // namespace

bool ApplyConversionMode(FourDText& text, int32_t mode) {
  int32_t count = TextByteCount(text);
  if ((mode & (kInPlaceBits | kHTMLBits)) == 0 || count == 0) return true;
  int32_t htmlBit = LastHTMLBit(mode);
  if (htmlBit == 0) return ApplyInPlaceBits(text, mode);

  // The HTML conversion replaces the block; the in-place steps before it work on a copy, so
  // that a failure anywhere leaves the caller's Text as it was.
  FourDText converted;
  if ((mode & kInPlaceBits) == 0) {
    converted = RunHTMLBit(text, htmlBit);
  } else {
    Handle copy;
    {
      LockedBlock source(text.handle);
      copy = NewBlockWithBytes(source.bytes(), count);
    }
    if (copy == nullptr) return false;
    FourDText work{int16_t(count), copy};
    converted = ApplyInPlaceBits(work, mode) ? RunHTMLBit(work, htmlBit) : kNoText;
    DisposeHandle(copy);
  }
  if (converted.handle == nullptr) return false;
  DisposeHandle(text.handle);
  text = converted;
  return true;
}

int32_t ConversionModeGrowth(int32_t mode) {
  // CR to CR LF followed by CR LF to CR changes no length.
  bool crlf = (mode & kModeCRToCRLF) && !(mode & kModeCRLFToCR);
  int32_t growth = crlf ? kCRLFGrowth : 1;
  int32_t htmlBit = LastHTMLBit(mode);
  if (htmlBit == kModeEncodeHTML || htmlBit == kModeEncodeMarkup) growth *= kEntityGrowth;
  return growth;
}

int32_t ConversionModeInputCap(int32_t mode) {
  return kMaxTextLength / ConversionModeGrowth(mode);
}

// Only three conversions read past a byte: CR LF to CR (unless CR to CR LF ran first, which
// leaves no lone CR), the decoding and the markup option's "& ". Each sees the bytes after the
// translation. The line steps between the translation and the HTML bit only add or drop LFs
// after CRs, and the decoder takes neither for part of an entity or reference, so its tail is
// found on the translated bytes alone. Each tail starts at a CR or an ampersand, where no other
// conversion's pattern is cut in two, so the earliest of them settles every conversion.
int32_t ConversionModeSettledLength(const uint8_t* bytes, int32_t count, int32_t mode) {
  if (count <= 0) return 0;
  const bool joinsCRLF = (mode & kModeCRLFToCR) && !(mode & kModeCRToCRLF);
  const int32_t htmlBit = LastHTMLBit(mode);
  if (!joinsCRLF && htmlBit != kModeDecodeHTML && htmlBit != kModeEncodeMarkup) return count;
  const CharMap map = TranslationOf(mode);
  const uint8_t last = map.to[bytes[count - 1]];
  int32_t settled = count;
  if (joinsCRLF && last == '\r') settled = count - 1;
  if (htmlBit == kModeEncodeMarkup && last == '&') settled = count - 1;
  if (htmlBit == kModeDecodeHTML)
    settled = std::min(settled, DecodingSettledLength(bytes, count, map));
  return settled;
}

}  // namespace nimbus
