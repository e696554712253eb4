// PictureInfo and the image finder of the picture routines on any block, against plain
// readings of the same bytes: the size, the four frame words (0 where the block ends first),
// the GIF flag, and the range of the GIF or embedded JPEG (followed by its structure, or up to
// the first end marker when it has none). Variants: the block as given, an empty block, a
// null handle.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "gif/gif.h"
#include "host/toolbox.h"
#include "package/image_finder.h"
#include "support/fuzz_support.h"

namespace {

using namespace nimbus;
using nimbus::fuzz::Check;

int32_t WordAt(std::string_view bytes, size_t offset) {
  if (bytes.size() < offset + 2) return 0;
  return int16_t(uint8_t(bytes[offset]) | (uint8_t(bytes[offset + 1]) << 8));
}

// The offset of the end marker of the JPEG whose start marker is at `start`, read by its
// structure: segments by their lengths, each scan's data up to the first FF that is not
// followed by 00 or a restart marker. npos when the bytes do not follow that structure.
size_t StructuredEnd(std::string_view bytes, size_t start) {
  auto at = [&](size_t i) { return uint8_t(bytes[i]); };
  auto restart = [](uint8_t b) { return b >= 0xD0 && b <= 0xD7; };
  size_t p = start + 2;
  for (;;) {
    if (p >= bytes.size() || at(p) != 0xFF) return std::string_view::npos;
    while (p + 1 < bytes.size() && at(p + 1) == 0xFF) ++p;  // fill bytes
    if (p + 1 >= bytes.size()) return std::string_view::npos;
    const uint8_t marker = at(p + 1);
    if (marker == 0xD9) return p;
    if (marker == 0x00 || marker == 0xD8) return std::string_view::npos;
    if (marker == 0x01 || restart(marker)) {
      p += 2;
      continue;
    }
    if (p + 3 >= bytes.size()) return std::string_view::npos;
    const size_t length = size_t(at(p + 2)) << 8 | at(p + 3);
    if (length < 2 || p + 2 + length > bytes.size()) return std::string_view::npos;
    p += 2 + length;
    if (marker != 0xDA) continue;
    for (;; ++p) {
      if (p + 1 >= bytes.size()) return std::string_view::npos;
      if (at(p) != 0xFF) continue;
      if (at(p + 1) != 0x00 && !restart(at(p + 1))) break;  // the next marker
      ++p;
    }
  }
}

ImageRange ExpectedImage(std::string_view bytes) {
  if (bytes.substr(0, 4) == "GIF8") return {0, int32_t(bytes.size())};
  const size_t start = bytes.find("\xFF\xD8");
  if (start == std::string_view::npos || start == 0) return {0, 0};
  size_t end = StructuredEnd(bytes, start);
  if (end == std::string_view::npos) end = bytes.find("\xFF\xD9", start);
  if (end == std::string_view::npos) return {0, 0};
  return {int32_t(start), int32_t(end) + 1};
}

void CheckBlock(Handle block, std::string_view bytes) {
  const std::string what = "block \"" + fuzz::Printable(bytes) + "\"";
  PictureInfoResult info{};
  const int32_t size = PictureInfo(block, &info);
  Check(size == int32_t(bytes.size()), what + ": size " + std::to_string(size));
  for (int i = 0; i < 4; ++i) {
    Check(info.frameWords[i] == WordAt(bytes, 2 + 2 * size_t(i)),
          what + ": frame word " + std::to_string(i));
  }
  Check(info.gifFlag == (bytes.substr(0, 4) == "GIF8" ? 1 : 0), what + ": GIF flag");

  const ImageRange found = FindImage(block);
  const ImageRange expected = ExpectedImage(bytes);
  Check(found.first == expected.first && found.end == expected.end,
        what + ": image " + std::to_string(found.first) + ".." + std::to_string(found.end) +
            ", expected " + std::to_string(expected.first) + ".." + std::to_string(expected.end));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::SetUpToolbox();
  const fuzz::Steering steering = fuzz::Steering::Take(data, size);
  fuzz::BlockAccount account;
  switch (steering.variant % 3) {
    case 0: {
      const std::string_view bytes(reinterpret_cast<const char*>(data), size);
      Handle block = NewHandle(int32_t(size));
      if (size > 0) std::memcpy(*block, data, size);
      CheckBlock(block, bytes);
      DisposeHandle(block);
      break;
    }
    case 1: {
      Handle block = NewHandle(0);
      CheckBlock(block, {});
      DisposeHandle(block);
      break;
    }
    default:
      CheckBlock(nullptr, {});
      break;
  }
  return 0;
}
