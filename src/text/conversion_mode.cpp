// ApplyConversionMode: the conversions the transfer routines apply on the wire.
#include <initializer_list>

#include "text/char_map.h"
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

bool ApplyInPlaceBits(FourDText& text, int32_t mode) {
  if ((mode & kInPlaceBits) == 0) return true;
  InPlaceSteps steps;
  CharMap map;
  if (mode & (kModeMacToISO | kModeISOToMac)) {
    map = IdentityCharMap();
    if (mode & kModeMacToISO) map = LoadCharMap(CharTable::kMac2ISO);
    if (mode & kModeISOToMac) map = ComposeCharMaps(map, LoadCharMap(CharTable::kISO2Mac));
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

}  // namespace nimbus
