// The GIF encoder on any image, read back by giflib's decoder (an implementation independent
// of ours): the same size, pixels, palette, interlacing and transparent colour, or no file
// at all when an allocation was made to fail; and byte for byte the file of the tests'
// step-by-step reference encoder. The code table is kept from one input to the next, as it
// is between PictureToGIF calls, unless the input asks for it to go. Input: the steering
// byte (bit 0 interlaced, bit 1 a transparent colour, bit 2 release the table afterwards),
// width, height, extra stride, transparent index, then the bytes the pixels and palette are
// spun from.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "gif/gif.h"
#include "gif/gif_reference_encoder.h"
#include "gif/giflib_reader.h"
#include "host/toolbox.h"
#include "support/fuzz_support.h"
#include "toolbox/toolbox_testing.h"

namespace {

using namespace nimbus;
using nimbus::fuzz::Check;

constexpr int32_t kLargestSide = 320;  // 100 000 pixels: several resets of the code table
constexpr size_t kHeader = 5;

// Enough pixels from few input bytes: the bytes repeat, each pass shifted, so long images
// hold runs, repeats and noise alike.
uint8_t SpunByte(const uint8_t* bytes, size_t count, size_t i) {
  if (count == 0) return uint8_t(i);
  return uint8_t(bytes[i % count] + i / count);
}

// Encodes the image and checks the file; every block it makes is gone afterwards.
void EncodeAndCheck(const GifImage& image, const std::vector<uint8_t>& pixels,
                    const std::vector<uint8_t>& palette, const fuzz::Steering& steering,
                    const std::string& what) {
  const int32_t width = image.width, height = image.height, stride = image.stride;
  const int16_t transparent = image.transparentIndex;
  fuzz::BlockAccount account;
  steering.LimitAllocations();
  Handle file = EncodeGIF(image);
  TBTest_SetAllocationBudget(-1);
  if (file == nullptr) {
    Check(steering.limited(), what + ": no file");
  } else {
    const std::string bytes(*file, size_t(GetHandleSize(file)));
    DisposeHandle(file);
    const giftest::DecodedGif decoded = giftest::DecodeWithGiflib(bytes);
    Check(decoded.error.empty(), what + ": giflib: " + decoded.error);
    Check(decoded.width == width && decoded.height == height, what + ": size");
    Check(decoded.interlaced == image.interlaced, what + ": interlacing");
    Check(decoded.transparentIndex == transparent, what + ": transparent colour");
    Check(decoded.palette == palette, what + ": palette");
    giftest::ReferenceEncoder reference;
    Check(bytes == reference.Encode(pixels.data(), stride, width, height, palette.data(),
                                    image.interlaced, transparent),
          what + ": not the reference encoder's file");
    for (int32_t y = 0; y < height; ++y) {
      Check(std::equal(pixels.begin() + ptrdiff_t(y) * stride,
                       pixels.begin() + ptrdiff_t(y) * stride + width,
                       decoded.pixels.begin() + ptrdiff_t(y) * width),
            what + ": pixels of row " + std::to_string(y));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::SetUpToolbox();
  const fuzz::Steering steering = fuzz::Steering::Take(data, size);
  if (size < kHeader) return 0;
  const int32_t width = 1 + (data[0] | (data[1] & 1) << 8) % kLargestSide;
  const int32_t height = 1 + (data[2] | (data[1] & 2) << 7) % kLargestSide;
  const int32_t stride = width + data[3] % 4;
  const int16_t transparent = (steering.variant & 2) ? int16_t(data[4]) : int16_t(-1);
  data += kHeader;
  size -= kHeader;

  std::vector<uint8_t> pixels(size_t(stride) * size_t(height));
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = SpunByte(data, size, i);
  std::vector<uint8_t> palette(768);
  for (size_t i = 0; i < palette.size(); ++i) palette[i] = SpunByte(data, size, i * 7 + 3);
  const GifImage image{pixels.data(), stride,         width,
                       height,        palette.data(), (steering.variant & 1) != 0,
                       transparent};
  const std::string what = std::to_string(width) + "x" + std::to_string(height) + " stride " +
                           std::to_string(stride) + ((steering.variant & 1) ? " interlaced" : "") +
                           " transparent " + std::to_string(transparent);

  // The code table is made (when the last input released it) before the blocks are counted.
  const uint8_t onePixel = 0;
  DisposeHandle(EncodeGIF(GifImage{&onePixel, 1, 1, 1, palette.data(), false, -1}));
  EncodeAndCheck(image, pixels, palette, steering, what);
  if (steering.variant & 4) ReleaseGifEncoder();
  return 0;
}
