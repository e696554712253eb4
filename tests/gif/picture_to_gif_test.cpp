// PictureToGIF and PictureInfo: a picture drawn through the toolbox and written as GIF,
// read back with giflib against the picture's own pixels.
#include <gtest/gtest.h>

#include "gif/gif.h"
#include "gif/gif_test_support.h"
#include "gif/giflib_reader.h"
#include "host/toolbox_drawing.h"
#include "toolbox/toolbox_testing.h"

namespace {

using giftest::DecodeWithGiflib;
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
  // The file's bytes ("" for a null answer) for a block holding `picture`, or a null block.
  std::string Run(const std::string* picture, int32_t options, int32_t width, int32_t height,
                  int32_t column = 0, int32_t row = 0) {
    Handle block = picture ? giftest::NewBlock(*picture) : nullptr;
    Handle file = nimbus::PictureToGIF(block, options, width, height, column, row);
    std::string bytes = giftest::BlockBytes(file);
    if (file != nullptr) DisposeHandle(file);
    if (block != nullptr) DisposeHandle(block);
    return bytes;
  }
  CGrafPtr port_ = nullptr;
  int32_t handles_ = 0;
};

TEST_F(PictureToGIFTest, SizesFromTheParametersOrTheFrame) {
  const std::vector<uint8_t> rgb = giftest::RandomBytes(10 * 6 * 3, 1);
  const std::string picture =
      giftest::Picture(-5, 100, 1, 110, "RGB8" + std::string(rgb.begin(), rgb.end()));
  const int32_t cases[][4] = {{0, 0, 10, 6},
                              {100, 0, 100, 6},
                              {-4, 13, 10, 13},
                              {3, 2, 3, 2},
                              {0x10000 + 21, 0x20007, 21, 7}};  // low 16 bits
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c[0] << "x" << c[1]);
    const giftest::DecodedGif gif = DecodeWithGiflib(Run(&picture, 0, c[0], c[1]));
    ASSERT_EQ(gif.error, "");
    EXPECT_EQ(gif.palette, giftest::SystemPalette());
    EXPECT_FALSE(gif.interlaced);
    EXPECT_EQ(gif.transparentIndex, -1);
    EXPECT_EQ(gif.pixels, giftest::ExpectedImage(rgb, 10, 6, c[2], c[3]));
  }
}

TEST_F(PictureToGIFTest, TransparencyAndInterlaceOptions) {
  std::vector<uint8_t> rgb = giftest::RandomBytes(9 * 11 * 3, 2);
  rgb[0] = rgb[1] = rgb[2] = 0xFF;  // a white top-left corner
  const std::string picture = RasterPicture(11, 9, rgb);
  const std::vector<uint8_t> expected = giftest::ExpectedImage(rgb, 9, 11, 9, 11);

  const std::string file = Run(&picture, kTransparency, 0, 0, 0, 0);
  EXPECT_EQ(file.substr(0, 6), "GIF89a");
  EXPECT_EQ(file.substr(781, 8), std::string("\x21\xF9\x04\x01\x00\x00\x00\x00", 8));

  giftest::DecodedGif gif =
      DecodeWithGiflib(Run(&picture, kInterlace | kTransparency | 0x7FFC, 0, 0, 4, 7));
  EXPECT_TRUE(gif.interlaced);
  EXPECT_EQ(gif.transparentIndex, expected[7 * 9 + 4]);
  EXPECT_EQ(gif.pixels, expected);

  // A transparency pixel outside the image (after cutting to 16 bits): no transparent colour.
  for (const auto& at : {std::pair{9, 0}, {0, 11}, {-1, 0}, {0, -1}, {0x10000, 0x7FFF}})
    EXPECT_EQ(Run(&picture, kTransparency, 0, 0, at.first, at.second).substr(0, 6), "GIF87a");
  EXPECT_EQ(Run(&picture, kTransparency, 0, 0, 0x10004, 3).substr(0, 6), "GIF89a");
}

TEST_F(PictureToGIFTest, PicturesThatDrawNothingGiveWhite) {
  const std::string other = giftest::Picture(0, 0, 3, 4, "JFIF"), cut("\x01", 1);
  for (const std::string* picture : {&other, &cut, static_cast<const std::string*>(nullptr)})
    EXPECT_EQ(DecodeWithGiflib(Run(picture, 0, 4, 3)).pixels, std::vector<uint8_t>(12, 0));
  EXPECT_EQ(TBTest_BeepCount(), 0);
}

TEST_F(PictureToGIFTest, NoImageSizeMeansNoFile) {
  const std::string noWidth = giftest::Picture(0, 10, 5, 10),
                    upsideDown = giftest::Picture(8, 0, 2, 4),
                    tooBig = giftest::Picture(-32768, -32768, 32767, 32767);
  for (const std::string* picture :
       {&noWidth, &upsideDown, &tooBig, static_cast<const std::string*>(nullptr)})
    EXPECT_EQ(Run(picture, 0, 0, 0), "");
  EXPECT_EQ(TBTest_BeepCount(), 0);
}

TEST_F(PictureToGIFTest, RowsWiderThanTheStrideFieldAreRefusedWithTheBeep) {
  const std::string black = RasterPicture(1, 1, {0, 0, 0});
  EXPECT_EQ(DecodeWithGiflib(Run(&black, 0, 4092, 1)).pixels, std::vector<uint8_t>(4092, 255));
  EXPECT_EQ(TBTest_BeepCount(), 0);
  for (int32_t width : {4093, 4096, 5000}) {
    EXPECT_EQ(Run(&black, 0, width, 1), "") << width;
    EXPECT_EQ(TBTest_BeepCount(), 1) << width;
    TBTest_ResetRecords();
  }
}

TEST_F(PictureToGIFTest, MissingBlocks) {
  const std::string picture = RasterPicture(64, 64, giftest::RandomBytes(64 * 64 * 3, 3));
  Run(&picture, 0, 0, 0);  // the code table exists from here on
  // No world (no beep); then the world's three blocks but no output block, or no growth.
  for (int32_t budget : {0, 3, 4, 6}) {
    TBTest_ResetRecords();
    TBTest_SetAllocationBudget(budget + 1);  // +1: the picture block itself
    EXPECT_EQ(Run(&picture, 0, 0, 0), "") << budget;
    TBTest_SetAllocationBudget(-1);
    EXPECT_EQ(TBTest_BeepCount(), budget == 0 ? 0 : 1) << budget;
  }
  EXPECT_NE(Run(&picture, 0, 0, 0), "") << "the next call works";
}

TEST(PictureInfo, SizeFrameWordsAndGifFlag) {
  struct Case {
    std::string bytes;
    int32_t words[4], gif;
  } cases[] = {
      {std::string("GIF89a\x40\x01\xF0\x00", 10), {0x3846, 0x6139, 320, 240}, 1},
      {giftest::Picture(-3, 4, 300, -32768, "RGB8"), {-3, 4, 300, -32768}, 0},
      {"GIF8", {0x3846, 0, 0, 0}, 1},
      {"GIF", {0, 0, 0, 0}, 0},
      {std::string("\x00\x00\x01\x00\x02\x00\x03\x00\x04", 9), {1, 2, 3, 0}, 0},
  };
  for (const Case& c : cases) {
    Handle h = giftest::NewBlock(c.bytes);
    nimbus::PictureInfoResult info{{7, 7, 7, 7}, 7};
    EXPECT_EQ(nimbus::PictureInfo(h, &info), int32_t(c.bytes.size()));
    EXPECT_EQ(std::vector<int32_t>(info.frameWords, info.frameWords + 4),
              std::vector<int32_t>(c.words, c.words + 4))
        << c.bytes.size();
    EXPECT_EQ(info.gifFlag, c.gif) << c.bytes.size();
    DisposeHandle(h);
  }
}

}  // namespace
