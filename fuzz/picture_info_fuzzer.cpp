// PictureInfo and the image finder of the picture routines on any block, against plain
// readings of the same bytes: the size, the four frame words (0 where the block ends first),
// the GIF flag, and the range of the GIF or embedded JPEG. Variants: the block as given, an
// empty block, a null handle.
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

ImageRange ExpectedImage(std::string_view bytes) {
  if (bytes.substr(0, 4) == "GIF8") return {0, int32_t(bytes.size())};
  const size_t start = bytes.find("\xFF\xD8");
  if (start == std::string_view::npos || start == 0) return {0, 0};
  const size_t end = bytes.find("\xFF\xD9", start);
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
