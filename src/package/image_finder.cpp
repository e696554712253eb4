#include "package/image_finder.h"

namespace nimbus {
namespace {

constexpr unsigned char kGifSignature[] = {'G', 'I', 'F', '8'};
constexpr unsigned char kJpegStart[] = {0xFF, 0xD8};
constexpr unsigned char kJpegEnd[] = {0xFF, 0xD9};
constexpr ImageRange kNoImage = {0, 0};

// JPEG markers: FF then the marker byte. FF 00 inside entropy-coded data is a stuffed FF
// data byte; FF FF is fill before a marker.
constexpr uint8_t kMarkerPrefix = 0xFF;
constexpr uint8_t kStuffedZero = 0x00;
constexpr uint8_t kTemporary = 0x01;                          // TEM: no length
constexpr uint8_t kFirstRestart = 0xD0, kLastRestart = 0xD7;  // RSTn: no length
constexpr uint8_t kStartOfImage = 0xD8;
constexpr uint8_t kEndOfImage = 0xD9;
constexpr uint8_t kStartOfScan = 0xDA;
constexpr int32_t kNotStructured = -1;

bool BeginsWithGifSignature(Handle block, int32_t size) {
  if (size < int32_t(sizeof kGifSignature)) return false;
  const auto* bytes = reinterpret_cast<const unsigned char*>(*block);
  for (size_t i = 0; i < sizeof kGifSignature; ++i) {
    if (bytes[i] != kGifSignature[i]) return false;
  }
  return true;
}

bool IsRestart(uint8_t marker) {
  return marker >= kFirstRestart && marker <= kLastRestart;
}

// Follows the JPEG that starts with the FF D8 at `start`: marker segments skipped by their
// lengths, and after each start of scan the entropy-coded data read up to the next marker
// (stuffed FF 00 and restart markers belong to the data). A thumbnail inside an APP1 segment
// is skipped with its segment. The offset of the end marker's FF; kNotStructured when the
// bytes stop following that structure or the block ends first.
int32_t FollowJpeg(const uint8_t* bytes, int32_t size, int32_t start) {
  int32_t p = start + int32_t(sizeof kJpegStart);
  bool inScan = false;  // after a start of scan: entropy-coded data until the next marker
  while (p < size) {
    if (inScan) {
      if (bytes[p] != kMarkerPrefix) {
        ++p;
        continue;
      }
      if (p + 1 >= size) return kNotStructured;
      const uint8_t next = bytes[p + 1];
      if (next == kStuffedZero || IsRestart(next)) {
        p += 2;
        continue;
      }
      inScan = false;  // a marker: the data of this scan ends here
    }
    // A marker is expected here, after any number of fill bytes.
    if (bytes[p] != kMarkerPrefix) return kNotStructured;
    while (p + 1 < size && bytes[p + 1] == kMarkerPrefix) ++p;
    if (p + 1 >= size) return kNotStructured;
    const uint8_t marker = bytes[p + 1];
    if (marker == kEndOfImage) return p;
    if (marker == kStuffedZero || marker == kStartOfImage) return kNotStructured;
    if (marker == kTemporary || IsRestart(marker)) {
      p += 2;
      continue;
    }
    // A segment: two bytes of length (itself included), big-endian, then its contents.
    if (p + 4 > size) return kNotStructured;
    const int32_t length = (int32_t(bytes[p + 2]) << 8) | bytes[p + 3];
    if (length < 2 || length > size - (p + 2)) return kNotStructured;
    p += 2 + length;
    inScan = marker == kStartOfScan;
  }
  return kNotStructured;
}

}  // namespace

ImageRange FindImage(Handle block) {
  if (block == nullptr) return kNoImage;
  const int32_t size = GetHandleSize(block);
  if (size <= 0) return kNoImage;
  if (BeginsWithGifSignature(block, size)) return {0, size};

  const int32_t start = Munger(block, 0, kJpegStart, sizeof kJpegStart, nullptr, 0);
  if (start <= 0) return kNoImage;  // none, or at 0: the block is not a wrapped JPEG
  // Nothing here allocates, so the block stays where it is while it is read.
  const int32_t followed = FollowJpeg(reinterpret_cast<const uint8_t*>(*block), size, start);
  if (followed != kNotStructured) return {start, followed + 1};
  // Bytes that are no well-formed JPEG: the first end marker after the start.
  const int32_t endMarker = Munger(block, start, kJpegEnd, sizeof kJpegEnd, nullptr, 0);
  if (endMarker < 0) return kNoImage;
  return {start, endMarker + 1};
}

}  // namespace nimbus
