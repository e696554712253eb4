// Every file the encoder writes, read back by giflib's decoder, gives exactly the image's
// pixels, colours and transparency.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gif/gif.h"
#include "gif/gif_test_support.h"
#include "gif/giflib_reader.h"

namespace {

// An image in a buffer of exactly stride * (height - 1) + width bytes, so that reading past
// it is caught; the padding of each row holds a value the image does not use.
struct StridedImage {
  int32_t width;
  int32_t height;
  int32_t stride;
  std::vector<uint8_t> buffer;
  uint8_t At(int32_t x, int32_t y) const { return buffer[size_t(y) * stride + x]; }
};

constexpr uint8_t kPadding = 0xEE;

StridedImage MakeImage(int32_t width, int32_t height, int32_t padding, uint32_t seed,
                       int colours = 256) {
  StridedImage image{width, height, width + padding, {}};
  image.buffer.assign(size_t(image.stride) * (height - 1) + width, kPadding);
  const std::vector<uint8_t> noise = giftest::RandomBytes(size_t(width) * height, seed);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      image.buffer[size_t(y) * image.stride + x] =
          uint8_t(noise[size_t(y) * width + x] % colours % kPadding);
  return image;
}

giftest::DecodedGif EncodeAndDecode(
    const StridedImage& image, bool interlaced = false, int16_t transparent = -1,
    const std::vector<uint8_t>& palette = giftest::SystemPalette()) {
  Handle h = nimbus::EncodeGIF({image.buffer.data(), image.stride, image.width, image.height,
                                palette.data(), interlaced, transparent});
  EXPECT_NE(h, nullptr);
  const std::string file = giftest::BlockBytes(h);
  if (h != nullptr) DisposeHandle(h);
  return giftest::DecodeWithGiflib(file);
}

void ExpectSamePixels(const StridedImage& image, const giftest::DecodedGif& gif) {
  ASSERT_TRUE(gif.ok) << gif.error;
  ASSERT_EQ(gif.width, image.width);
  ASSERT_EQ(gif.height, image.height);
  ASSERT_EQ(gif.imageWidth, image.width);
  ASSERT_EQ(gif.imageHeight, image.height);
  for (int32_t y = 0; y < image.height; ++y)
    for (int32_t x = 0; x < image.width; ++x)
      ASSERT_EQ(gif.pixels[size_t(y) * image.width + x], image.At(x, y)) << x << "," << y;
}

TEST(EncoderDecode, SmallOddAndDegenerateSizes) {
  const int32_t sizes[][2] = {{1, 1},   {2, 1},    {1, 2},    {3, 5},   {7, 3},
                              {17, 13}, {1, 4095}, {4095, 1}, {255, 3}, {3, 255}};
  uint32_t seed = 10;
  for (const auto& size : sizes)
    for (int32_t padding : {0, 3}) {
      SCOPED_TRACE(testing::Message() << size[0] << "x" << size[1] << " +" << padding);
      const StridedImage image = MakeImage(size[0], size[1], padding, ++seed);
      ExpectSamePixels(image, EncodeAndDecode(image));
    }
}

TEST(EncoderDecode, ImagesThatFillTheCodeTableSeveralTimes) {
  // Noise of all 256 colours, of a few, and of two: each fills and clears the table.
  for (int colours : {256, 16, 2}) {
    SCOPED_TRACE(colours);
    const StridedImage image = MakeImage(517, 389, 1, 20 + colours, colours);
    ExpectSamePixels(image, EncodeAndDecode(image));
  }
}

TEST(EncoderDecode, LongRunsAndRepeatingPatterns) {
  StridedImage flat = MakeImage(1024, 300, 0, 30);
  std::fill(flat.buffer.begin(), flat.buffer.end(), 0);
  ExpectSamePixels(flat, EncodeAndDecode(flat));

  StridedImage stripes = MakeImage(333, 211, 2, 31);
  for (int32_t y = 0; y < stripes.height; ++y)
    for (int32_t x = 0; x < stripes.width; ++x)
      stripes.buffer[size_t(y) * stripes.stride + x] = uint8_t((x / 3 + y) % 7 * 31);
  ExpectSamePixels(stripes, EncodeAndDecode(stripes));
}

TEST(EncoderDecode, InterlacedHeightsOneToNine) {
  for (int32_t height = 1; height <= 9; ++height)
    for (int32_t width : {1, 6, 40}) {
      SCOPED_TRACE(testing::Message() << width << "x" << height);
      StridedImage image = MakeImage(width, height, 1, 40 + height);
      // Every row starts with its own value, so that a row out of order cannot go unseen.
      for (int32_t y = 0; y < height; ++y)
        image.buffer[size_t(y) * image.stride] = uint8_t(100 + y);
      const giftest::DecodedGif gif = EncodeAndDecode(image, true);
      EXPECT_TRUE(gif.interlaced);
      ExpectSamePixels(image, gif);
    }
  const StridedImage big = MakeImage(123, 301, 0, 49);
  ExpectSamePixels(big, EncodeAndDecode(big, true));
}

TEST(EncoderDecode, TransparencyAndPalette) {
  std::vector<uint8_t> palette(768);
  for (int i = 0; i < 768; ++i) palette[size_t(i)] = uint8_t(i * 7 + 3);
  const StridedImage image = MakeImage(31, 29, 0, 50);
  for (int16_t transparent : {0, 1, 200, 255}) {
    const giftest::DecodedGif gif =
        EncodeAndDecode(image, transparent == 200, transparent, palette);
    ExpectSamePixels(image, gif);
    EXPECT_EQ(gif.transparentIndex, transparent);
    EXPECT_EQ(gif.palette, palette);
  }
  EXPECT_EQ(EncodeAndDecode(image).transparentIndex, -1);
}

TEST(EncoderDecode, ManyEncodingsReuseTheState) {
  // Alternating sizes and modes: nothing of one encoding leaks into the next.
  for (int round = 0; round < 6; ++round) {
    const StridedImage image =
        MakeImage(round % 2 ? 97 : 3, round % 3 ? 5 : 61, round % 2, 60 + round);
    ExpectSamePixels(image, EncodeAndDecode(image, round % 2 == 0, round == 3 ? 9 : -1));
  }
}

}  // namespace
