// Every file the encoder writes, read back by giflib's decoder, gives exactly the image's
// pixels, colours and transparency.
#include <gtest/gtest.h>

#include "gif/gif.h"
#include "gif/gif_test_support.h"
#include "gif/giflib_reader.h"

namespace {

struct Case {
  int32_t width, height, padding;
  int colours;  // noise of this many colours
  bool interlaced;
  int16_t transparent;
};

// The image sits in a buffer of exactly stride * (height - 1) + width bytes, so a read past
// it is caught; row padding holds 0xFF, a value the image never uses.
void ExpectRoundTrip(const Case& c, uint32_t seed) {
  SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " +" << c.padding << " colours "
                                  << c.colours << (c.interlaced ? " interlaced" : ""));
  const int32_t stride = c.width + c.padding;
  std::vector<uint8_t> buffer(size_t(stride) * (c.height - 1) + c.width, 0xFF), expected;
  const std::vector<uint8_t> noise = giftest::RandomBytes(size_t(c.width) * c.height, seed);
  for (int32_t y = 0; y < c.height; ++y)
    for (int32_t x = 0; x < c.width; ++x) {
      const uint8_t pixel = uint8_t(noise[size_t(y) * c.width + x] % c.colours % 0xFF);
      buffer[size_t(y) * stride + x] = pixel;
      expected.push_back(pixel);
    }
  std::vector<uint8_t> palette = giftest::RandomBytes(768, seed + 1);
  Handle h = nimbus::EncodeGIF(
      {buffer.data(), stride, c.width, c.height, palette.data(), c.interlaced, c.transparent});
  ASSERT_NE(h, nullptr);
  const giftest::DecodedGif gif = giftest::DecodeWithGiflib(giftest::BlockBytes(h));
  DisposeHandle(h);
  ASSERT_EQ(gif.error, "");
  EXPECT_EQ(gif.width, c.width);
  EXPECT_EQ(gif.height, c.height);
  EXPECT_EQ(gif.interlaced, c.interlaced);
  EXPECT_EQ(gif.transparentIndex, c.transparent);
  EXPECT_EQ(gif.palette, palette);
  EXPECT_EQ(gif.pixels, expected);
}

TEST(EncoderDecode, SmallOddAndOnePixelWide) {
  const int32_t sizes[][2] = {{1, 1}, {2, 1}, {3, 5}, {17, 13}, {1, 4095}, {4095, 1}, {255, 3}};
  for (const auto& s : sizes)
    for (int32_t padding : {0, 3}) ExpectRoundTrip({s[0], s[1], padding, 256, false, -1}, 1);
}

TEST(EncoderDecode, FillingTheCodeTableSeveralTimes) {
  for (int colours : {256, 16, 2, 1}) ExpectRoundTrip({517, 389, 1, colours, false, -1}, 2);
}

TEST(EncoderDecode, InterlacedHeightsOneToNineAndMore) {
  for (int32_t height = 1; height <= 9; ++height)
    for (int32_t width : {1, 6}) ExpectRoundTrip({width, height, 1, 256, true, -1}, 3);
  ExpectRoundTrip({123, 301, 0, 4, true, -1}, 3);
}

TEST(EncoderDecode, TransparentColours) {
  for (int16_t transparent : {0, 1, 200, 255})
    ExpectRoundTrip({31, 29, 0, 256, false, transparent}, 4);
}

}  // namespace
