// PictureToGIF and PictureInfo: a picture drawn through the toolbox and written as GIF,
// checked with giflib's decoder against the picture's own pixels.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gif/gif.h"
#include "gif/gif_test_support.h"
#include "gif/giflib_reader.h"
#include "host/toolbox_drawing.h"
#include "toolbox/toolbox_testing.h"

namespace {

using giftest::RasterPicture;

constexpr int32_t kInterlace = 1, kTransparency = 2;

class PictureToGIFTest : public testing::Test {
 protected:
  void SetUp() override {
    TBTest_ResetRecords();
    GetGWorld(&port_, nullptr);
    handles_ = TBTest_LiveHandles();
  }
  void TearDown() override {
    TBTest_SetAllocationBudget(-1);
    CGrafPtr port = nullptr;
    GetGWorld(&port, nullptr);
    EXPECT_EQ(port, port_) << "the caller's port is current again";
    EXPECT_EQ(TBTest_LiveHandles(), handles_) << "no block left behind";
  }

  // Runs PictureToGIF on a block holding `picture` (null block when `nullPicture`); answers
  // the file's bytes, "" when no block came back.
  std::string Run(const std::string& picture, int32_t options, int32_t width, int32_t height,
                  int32_t column = 0, int32_t row = 0, bool nullPicture = false) {
    Handle block = nullPicture ? nullptr : giftest::NewBlock(picture);
    Handle file = nimbus::PictureToGIF(block, options, width, height, column, row);
    std::string bytes = giftest::BlockBytes(file);
    if (file != nullptr) {
      EXPECT_EQ(size_t(GetHandleSize(file)), bytes.size());
      DisposeHandle(file);
    }
    if (block != nullptr) DisposeHandle(block);
    return bytes;
  }

  // The expected image: the raster scaled nearest-neighbour to width x height, each pixel
  // the nearest colour of the palette.
  static std::vector<uint8_t> Expected(const std::vector<uint8_t>& rgb, int fw, int fh, int width,
                                       int height) {
    const std::vector<uint8_t> palette = giftest::SystemPalette();
    std::vector<uint8_t> out;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const uint8_t* c = &rgb[(size_t(y * fh / height) * fw + size_t(x * fw / width)) * 3];
        out.push_back(giftest::NearestEntry(palette, c[0], c[1], c[2]));
      }
    return out;
  }

  CGrafPtr port_ = nullptr;
  int32_t handles_ = 0;
};

TEST_F(PictureToGIFTest, DrawsThePictureAtItsFrameSize) {
  const std::vector<uint8_t> rgb = giftest::RandomBytes(37 * 23 * 3, 1);
  const std::string file = Run(RasterPicture(-5, 100, 18, 137, rgb), 0, 0, 0);
  EXPECT_EQ(file.substr(0, 6), "GIF87a");
  const giftest::DecodedGif gif = giftest::DecodeWithGiflib(file);
  ASSERT_TRUE(gif.ok) << gif.error;
  EXPECT_EQ(gif.width, 37);
  EXPECT_EQ(gif.height, 23);
  EXPECT_FALSE(gif.interlaced);
  EXPECT_EQ(gif.transparentIndex, -1);
  EXPECT_EQ(gif.palette, giftest::SystemPalette());
  EXPECT_EQ(gif.pixels, Expected(rgb, 37, 23, 37, 23));
}

TEST_F(PictureToGIFTest, GivenSizesScaleThePicture) {
  const std::vector<uint8_t> rgb = giftest::RandomBytes(10 * 6 * 3, 2);
  const std::string picture = RasterPicture(0, 0, 6, 10, rgb);
  struct Case {
    int32_t width, height, expectedWidth, expectedHeight;
  } cases[] = {{100, 0, 100, 6},
               {0, 13, 10, 13},
               {-4, -1, 10, 6},
               {3, 2, 3, 2},
               {0x10000 + 21, 0x20007, 21, 7}};  // the low 16 bits count
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
    const giftest::DecodedGif gif = giftest::DecodeWithGiflib(Run(picture, 0, c.width, c.height));
    ASSERT_TRUE(gif.ok) << gif.error;
    ASSERT_EQ(gif.width, c.expectedWidth);
    ASSERT_EQ(gif.height, c.expectedHeight);
    EXPECT_EQ(gif.pixels, Expected(rgb, 10, 6, c.expectedWidth, c.expectedHeight));
  }
}

TEST_F(PictureToGIFTest, InterlacedAndTransparentOptions) {
  std::vector<uint8_t> rgb = giftest::RandomBytes(9 * 11 * 3, 3);
  rgb[0] = rgb[1] = rgb[2] = 0xFF;  // a white top-left corner
  const std::string picture = RasterPicture(0, 0, 11, 9, rgb);
  const std::vector<uint8_t> expected = Expected(rgb, 9, 11, 9, 11);

  std::string file = Run(picture, kTransparency, 0, 0, 0, 0);
  EXPECT_EQ(file.substr(0, 6), "GIF89a");
  EXPECT_EQ(file.substr(781, 8), std::string("\x21\xF9\x04\x01\x00\x00\x00\x00", 8));

  file = Run(picture, kInterlace | kTransparency | 0x7FFC, 0, 0, 4, 7);  // other bits ignored
  giftest::DecodedGif gif = giftest::DecodeWithGiflib(file);
  ASSERT_TRUE(gif.ok) << gif.error;
  EXPECT_TRUE(gif.interlaced);
  EXPECT_EQ(gif.transparentIndex, expected[7 * 9 + 4]);
  EXPECT_EQ(gif.pixels, expected);

  file = Run(picture, kInterlace, 0, 0);
  EXPECT_EQ(file.substr(0, 6), "GIF87a");
  EXPECT_EQ(uint8_t(file[781 + 9]), 0x40);
}

TEST_F(PictureToGIFTest, TransparencyPixelOutsideTheImageMeansNone) {
  const std::string picture = RasterPicture(0, 0, 4, 5, giftest::RandomBytes(60, 4));
  const int32_t outside[][2] = {{5, 0}, {0, 4}, {-1, 0}, {0, -1}, {0x10000, 0x7FFF}};
  for (const auto& at : outside) {
    const std::string file = Run(picture, kTransparency, 0, 0, at[0], at[1]);
    EXPECT_EQ(file.substr(0, 6), "GIF87a") << at[0] << "," << at[1];
    EXPECT_EQ(giftest::DecodeWithGiflib(file).transparentIndex, -1);
  }
  // 0x10004 is column 4 once cut to 16 bits: inside.
  EXPECT_EQ(Run(picture, kTransparency, 0, 0, 0x10004, 3).substr(0, 6), "GIF89a");
}

TEST_F(PictureToGIFTest, PicturesThatDrawNothingGiveWhite) {
  for (const std::string& picture : {giftest::PictureWithBody(0, 0, 3, 4, "JFIF, not a raster"),
                                     RasterPicture(0, 0, 3, 4, {}), std::string("\x01", 1)}) {
    const giftest::DecodedGif gif = giftest::DecodeWithGiflib(Run(picture, 0, 4, 3));
    ASSERT_TRUE(gif.ok) << gif.error;
    EXPECT_EQ(gif.pixels, std::vector<uint8_t>(12, 0));
  }
  const giftest::DecodedGif gif = giftest::DecodeWithGiflib(Run("", 0, 2, 2, 0, 0, true));
  ASSERT_TRUE(gif.ok) << gif.error;
  EXPECT_EQ(gif.pixels, std::vector<uint8_t>(4, 0));
  EXPECT_EQ(TBTest_BeepCount(), 0);
}

TEST_F(PictureToGIFTest, NoImageSizeNoFile) {
  // A frame with no extent (or none at all) and no size given: nothing to encode.
  EXPECT_EQ(Run(RasterPicture(0, 10, 5, 10, {}), 0, 0, 0), "");
  EXPECT_EQ(Run(RasterPicture(8, 0, 2, 4, {}), 0, 0, 0), "");
  EXPECT_EQ(Run("", 0, 0, 0, 0, 0, true), "");
  EXPECT_EQ(Run(std::string("\x00\x00\x00\x00", 4), 0, 5, 0), "");
  EXPECT_EQ(Run(RasterPicture(-32768, -32768, 32767, 32767, {}), 0, 0, 0), "") << "too big";
  EXPECT_EQ(TBTest_BeepCount(), 0);
}

TEST_F(PictureToGIFTest, RowsWiderThanTheStrideFieldAreRefusedWithTheBeep) {
  const std::string picture = RasterPicture(0, 0, 1, 1, {0, 0, 0});
  const std::string widest = Run(picture, 0, 4092, 1);
  const giftest::DecodedGif gif = giftest::DecodeWithGiflib(widest);
  ASSERT_TRUE(gif.ok) << gif.error;
  EXPECT_EQ(gif.pixels, std::vector<uint8_t>(4092, 255));
  EXPECT_EQ(TBTest_BeepCount(), 0);
  for (int32_t width : {4093, 4096, 5000}) {
    EXPECT_EQ(Run(picture, 0, width, 1), "") << width;
    EXPECT_EQ(TBTest_BeepCount(), 1) << width;
    TBTest_ResetRecords();
  }
}

TEST_F(PictureToGIFTest, NoWorldNoFileNoBeep) {
  const std::string picture = RasterPicture(0, 0, 2, 2, giftest::RandomBytes(12, 5));
  Handle block = giftest::NewBlock(picture);
  TBTest_SetAllocationBudget(0);
  EXPECT_EQ(nimbus::PictureToGIF(block, 0, 0, 0, 0, 0), nullptr);
  TBTest_SetAllocationBudget(-1);
  DisposeHandle(block);
  EXPECT_EQ(TBTest_BeepCount(), 0);
  EXPECT_NE(Run(picture, 0, 0, 0), "") << "the next call works";
}

TEST_F(PictureToGIFTest, NoOutputBlockBeepsAndLeavesNothing) {
  const std::string picture = RasterPicture(0, 0, 64, 64, giftest::RandomBytes(64 * 64 * 3, 6));
  Run(picture, 0, 0, 0);  // the code table exists from here on
  Handle block = giftest::NewBlock(picture);
  for (int32_t budget : {3, 4, 6}) {  // the world's three blocks, then the output and growth
    TBTest_ResetRecords();
    TBTest_SetAllocationBudget(budget);
    EXPECT_EQ(nimbus::PictureToGIF(block, 0, 0, 0, 0, 0), nullptr) << budget;
    TBTest_SetAllocationBudget(-1);
    EXPECT_EQ(TBTest_BeepCount(), 1) << budget;
  }
  DisposeHandle(block);
}

TEST(PictureInfo, FrameWordsSizeAndGifFlag) {
  struct Case {
    std::string bytes;
    int32_t size, words[4], gif;
  } cases[] = {
      {std::string("GIF89a\x40\x01\xF0\x00", 10), 10, {0x3846, 0x6139, 320, 240}, 1},
      {RasterPicture(-3, 4, 300, -32768, {1, 2, 3}), 17, {-3, 4, 300, -32768}, 0},
      {std::string("GIF8", 4), 4, {0x3846, 0, 0, 0}, 1},
      {std::string("GIF", 3), 3, {0, 0, 0, 0}, 0},
      {std::string("\x00\x00\x01\x00\x02\x00\x03\x00\x04", 9), 9, {1, 2, 3, 0}, 0},
      {std::string(), 0, {0, 0, 0, 0}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    Handle h = giftest::NewBlock(c.bytes);
    nimbus::PictureInfoResult info{{7, 7, 7, 7}, 7};
    EXPECT_EQ(nimbus::PictureInfo(h, &info), c.size);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(info.frameWords[i], c.words[i]) << i;
    EXPECT_EQ(info.gifFlag, c.gif);
    DisposeHandle(h);
  }
  nimbus::PictureInfoResult info{{7, 7, 7, 7}, 7};
  EXPECT_EQ(nimbus::PictureInfo(nullptr, &info), 0);
  EXPECT_EQ(info.frameWords[3], 0);
  EXPECT_EQ(info.gifFlag, 0);
}

}  // namespace
