#include "package/image_finder.h"

namespace nimbus {
namespace {

constexpr unsigned char kGifSignature[] = {'G', 'I', 'F', '8'};
constexpr unsigned char kJpegStart[] = {0xFF, 0xD8};
constexpr unsigned char kJpegEnd[] = {0xFF, 0xD9};
constexpr ImageRange kNoImage = {0, 0};

bool BeginsWithGifSignature(Handle block, int32_t size) {
  if (size < int32_t(sizeof kGifSignature)) return false;
  const auto* bytes = reinterpret_cast<const unsigned char*>(*block);
  for (size_t i = 0; i < sizeof kGifSignature; ++i) {
    if (bytes[i] != kGifSignature[i]) return false;
  }
  return true;
}

}  // namespace

ImageRange FindImage(Handle block) {
  if (block == nullptr) return kNoImage;
  const int32_t size = GetHandleSize(block);
  if (size <= 0) return kNoImage;
  if (BeginsWithGifSignature(block, size)) return {0, size};

  const int32_t start = Munger(block, 0, kJpegStart, sizeof kJpegStart, nullptr, 0);
  if (start <= 0) return kNoImage;  // none, or at 0: the block is not a wrapped JPEG
  const int32_t endMarker = Munger(block, start, kJpegEnd, sizeof kJpegEnd, nullptr, 0);
  if (endMarker < 0) return kNoImage;
  return {start, endMarker + 1};
}

}  // namespace nimbus
