// The encoder's file at the byte level: structure, the sub-blocks, the code stream and the
// failures that leave no file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gif/gif.h"
#include "gif/gif_test_support.h"
#include "toolbox/toolbox_testing.h"

namespace {

using giftest::SystemPalette;

struct TestImage {
  int32_t width;
  int32_t height;
  std::vector<uint8_t> pixels;
};

TestImage NoiseImage(int32_t width, int32_t height, uint32_t seed) {
  return {width, height, giftest::RandomBytes(size_t(width) * height, seed)};
}

// Encodes and answers the file's bytes ("" when no block came back); the block is disposed.
std::string Encode(const TestImage& image, bool interlaced = false, int16_t transparent = -1) {
  const std::vector<uint8_t> palette = SystemPalette();
  Handle h = nimbus::EncodeGIF({image.pixels.data(), image.width, image.width, image.height,
                                palette.data(), interlaced, transparent});
  std::string bytes = giftest::BlockBytes(h);
  if (h != nullptr) DisposeHandle(h);
  return bytes;
}

TEST(EncoderBytes, SinglePixelFileIsExact) {
  const std::vector<uint8_t> palette = SystemPalette();
  std::string expected = "GIF87a";
  expected += std::string("\x01\x00\x01\x00\xF7\x00\x00", 7);
  expected.append(palette.begin(), palette.end());
  expected += std::string("\x2C\x00\x00\x00\x00\x01\x00\x01\x00\x00", 10);
  // Clear (256), pixel 0xFF, End (257), 9 bits each, low bit first.
  expected += std::string("\x08\x04\x00\xFF\x05\x04\x00\x3B", 8);
  EXPECT_EQ(Encode({1, 1, {0xFF}}), expected);

  // Pixel 0: the same codes with a zero pixel.
  const std::string white = Encode({1, 1, {0x00}});
  EXPECT_EQ(white.substr(white.size() - 8), std::string("\x08\x04\x00\x01\x04\x04\x00\x3B", 8));
}

TEST(EncoderBytes, ScreenDescriptorAndColourTable) {
  const std::string file = Encode(NoiseImage(300, 2, 1));
  ASSERT_GT(file.size(), 13u + 768u);
  EXPECT_EQ(file.substr(0, 6), "GIF87a");
  EXPECT_EQ(file.substr(6, 7), std::string("\x2C\x01\x02\x00\xF7\x00\x00", 7));
  const std::vector<uint8_t> palette = SystemPalette();
  EXPECT_EQ(file.substr(13, 768), std::string(palette.begin(), palette.end()));
  // No extension: the image descriptor follows the table at once, packed byte 0.
  EXPECT_EQ(file.substr(781, 10), std::string("\x2C\x00\x00\x00\x00\x2C\x01\x02\x00\x00", 10));
  EXPECT_EQ(file[791], 8);  // minimum code size
}

TEST(EncoderBytes, TransparencyAddsGraphicControlExtension) {
  const std::string file = Encode(NoiseImage(4, 4, 2), false, 0xAB);
  EXPECT_EQ(file.substr(0, 6), "GIF89a");
  EXPECT_EQ(file.substr(781, 8), std::string("\x21\xF9\x04\x01\x00\x00\xAB\x00", 8));
  EXPECT_EQ(uint8_t(file[789]), 0x2C);

  const std::string interlaced = Encode(NoiseImage(4, 4, 2), true, 0);
  EXPECT_EQ(interlaced.substr(781, 8), std::string("\x21\xF9\x04\x01\x00\x00\x00\x00", 8));
  EXPECT_EQ(uint8_t(interlaced[789 + 9]), 0x40);  // image descriptor's packed byte
}

TEST(EncoderBytes, SubBlocksHoldAtMost254BytesAndEndTheFile) {
  for (const TestImage& image : {NoiseImage(211, 97, 3), NoiseImage(5, 3, 4),
                                 TestImage{640, 480, std::vector<uint8_t>(640 * 480, 7)}}) {
    const std::string file = Encode(image);
    size_t end = 0;
    const std::vector<int> lengths =
        giftest::SubBlockLengths(file, giftest::ImageDataOffset(file), nullptr, &end);
    ASSERT_FALSE(lengths.empty());
    for (size_t i = 0; i + 1 < lengths.size(); ++i) ASSERT_EQ(lengths[i], 254) << i;
    EXPECT_GE(lengths.back(), 1);
    EXPECT_LE(lengths.back(), 254);
    EXPECT_EQ(end + 1, file.size());  // only the trailer after the terminator
    EXPECT_EQ(uint8_t(file.back()), 0x3B);
  }
}

TEST(EncoderBytes, FullTableEmitsClearAtTwelveBitsThenGoesOnAtNine) {
  const std::string file = Encode(NoiseImage(200, 200, 5));
  std::string data;
  giftest::SubBlockLengths(file, giftest::ImageDataOffset(file), &data, nullptr);
  const std::vector<giftest::ReadCode> codes = giftest::ReadCodes(data, 8);
  ASSERT_GT(codes.size(), 2u);
  EXPECT_EQ(codes.front().code, 256);
  EXPECT_EQ(codes.front().width, 9);
  EXPECT_EQ(codes.back().code, 257);
  int clears = 0;
  for (size_t i = 1; i + 1 < codes.size(); ++i) {
    if (codes[i].code != 256) continue;
    ++clears;
    EXPECT_EQ(codes[i].width, 12) << i;
    EXPECT_EQ(codes[i + 1].width, 9) << i;
    EXPECT_LT(codes[i + 1].code, 256) << "a single pixel follows a Clear";
  }
  EXPECT_GE(clears, 5);  // 40000 noisy pixels fill the table many times
  // Nothing past the End code but padding bits.
  size_t bits = 0;
  for (const auto& c : codes) bits += size_t(c.width);
  EXPECT_EQ((bits + 7) / 8, data.size());
}

TEST(EncoderBytes, RejectsImagesItCannotDescribe) {
  const std::vector<uint8_t> palette = SystemPalette();
  const uint8_t pixel = 0;
  TBTest_ResetRecords();
  for (const nimbus::GifImage& bad : {
           nimbus::GifImage{&pixel, 1, 0, 1, palette.data(), false, -1},
           nimbus::GifImage{&pixel, 1, 1, -1, palette.data(), false, -1},
           nimbus::GifImage{&pixel, 0, 1, 1, palette.data(), false, -1},
           nimbus::GifImage{nullptr, 1, 1, 1, palette.data(), false, -1},
           nimbus::GifImage{&pixel, 1, 1, 1, nullptr, false, -1},
           nimbus::GifImage{&pixel, 1, 1, 1, palette.data(), false, 256},
           nimbus::GifImage{&pixel, 70000, 70000, 1, palette.data(), false, -1},
       })
    EXPECT_EQ(nimbus::EncodeGIF(bad), nullptr);
  EXPECT_EQ(TBTest_BeepCount(), 0);
}

class EncoderFailure : public testing::Test {
 protected:
  void SetUp() override {
    Encode({1, 1, {0}});  // the code table exists from here on
    handles = TBTest_LiveHandles();
    pointers = TBTest_LivePointers();
    TBTest_ResetRecords();
  }
  void TearDown() override { TBTest_SetAllocationBudget(-1); }
  void ExpectNoFileNothingLeft(const TestImage& image) {
    EXPECT_EQ(Encode(image), "");
    TBTest_SetAllocationBudget(-1);
    EXPECT_EQ(TBTest_BeepCount(), 1);
    EXPECT_EQ(TBTest_LiveHandles(), handles);
    EXPECT_EQ(TBTest_LivePointers(), pointers);
  }
  int32_t handles = 0;
  int32_t pointers = 0;
};

TEST_F(EncoderFailure, NoOutputBlock) {
  TBTest_SetAllocationBudget(0);
  ExpectNoFileNothingLeft(NoiseImage(10, 10, 7));
}

TEST_F(EncoderFailure, OutputBlockCannotGrowMidway) {
  for (int32_t growths : {0, 1, 4}) {
    TBTest_ResetRecords();
    TBTest_SetAllocationBudget(1 + growths);
    ExpectNoFileNothingLeft(NoiseImage(100, 100, 8));
  }
  // The encoder is whole again afterwards.
  const TestImage image = NoiseImage(100, 100, 8);
  EXPECT_GT(Encode(image).size(), 10000u);
}

TEST_F(EncoderFailure, NoCodeTable) {
  nimbus::ReleaseGifEncoder();
  pointers = TBTest_LivePointers();
  TBTest_SetAllocationBudget(1);  // the output block, not the table
  ExpectNoFileNothingLeft(NoiseImage(3, 3, 9));
  EXPECT_EQ(Encode({1, 1, {0xFF}}).size(), 799u);
}

}  // namespace
