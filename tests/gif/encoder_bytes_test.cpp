// The encoder's file at the byte level, and the failures that leave no file.
#include <gtest/gtest.h>

#include "gif/gif.h"
#include "gif/gif_test_support.h"
#include "toolbox/toolbox_testing.h"

namespace {

const std::vector<uint8_t> kPalette = giftest::SystemPalette();

// Encodes a width x height image of the given pixels (noise when empty); answers the file's
// bytes, "" when no block came back.
std::string Encode(int32_t width, int32_t height, std::vector<uint8_t> pixels = {},
                   bool interlaced = false, int16_t transparent = -1) {
  if (pixels.empty()) pixels = giftest::RandomBytes(size_t(width) * height, uint32_t(width));
  Handle h = nimbus::EncodeGIF(
      {pixels.data(), width, width, height, kPalette.data(), interlaced, transparent});
  std::string bytes = giftest::BlockBytes(h);
  if (h != nullptr) DisposeHandle(h);
  return bytes;
}

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.push_back(char(v));
  return s;
}

TEST(EncoderBytes, SinglePixelFiles) {
  const std::string table(kPalette.begin(), kPalette.end());
  // Clear (256), the pixel, End (257): three 9-bit codes, low bit first, in one sub-block.
  EXPECT_EQ(Encode(1, 1, {0xFF}), "GIF87a" + Bytes({1, 0, 1, 0, 0xF7, 0, 0}) + table +
                                      Bytes({0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0}) +
                                      Bytes({8, 4, 0x00, 0xFF, 0x05, 0x04, 0, 0x3B}));
  EXPECT_EQ(Encode(1, 1, {0}).substr(791), Bytes({8, 4, 0x00, 0x01, 0x04, 0x04, 0, 0x3B}));
}

TEST(EncoderBytes, TransparencyAndInterlaceBytes) {
  const std::string file = Encode(300, 2, {}, true, 0xAB);
  EXPECT_EQ(file.substr(0, 13), "GIF89a" + Bytes({0x2C, 0x01, 2, 0, 0xF7, 0, 0}));
  EXPECT_EQ(file.substr(781, 18), Bytes({0x21, 0xF9, 4, 1, 0, 0, 0xAB, 0,  // extension
                                         0x2C, 0, 0, 0, 0, 0x2C, 0x01, 2, 0, 0x40}));
}

TEST(EncoderBytes, SubBlocksOfAtMost254BytesThenTheTrailer) {
  const std::vector<uint8_t> flat(640 * 480, 7);
  for (const std::string& file : {Encode(211, 97), Encode(5, 3), Encode(640, 480, flat)}) {
    std::vector<int> lengths;
    size_t at = 792;  // after the minimum code size byte
    for (; at < file.size() && file[at] != 0; at += 1 + size_t(lengths.back()))
      lengths.push_back(uint8_t(file[at]));
    ASSERT_FALSE(lengths.empty());
    for (size_t i = 0; i + 1 < lengths.size(); ++i) ASSERT_EQ(lengths[i], 254) << i;
    EXPECT_LE(lengths.back(), 254);
    EXPECT_EQ(at + 2, file.size()) << "terminator and trailer end the block";
    EXPECT_EQ(file.back(), 0x3B);
  }
}

class EncoderFailure : public testing::Test {
 protected:
  void SetUp() override {
    Encode(1, 1);  // the code table exists from here on
    handles_ = TBTest_LiveHandles(), pointers_ = TBTest_LivePointers();
    TBTest_ResetRecords();
  }
  void TearDown() override { TBTest_SetAllocationBudget(-1); }
  // With `budget` allocations left, encoding gives no file, one beep and leaves no block.
  void ExpectNoFile(int32_t budget) {
    TBTest_ResetRecords();
    TBTest_SetAllocationBudget(budget);
    EXPECT_EQ(Encode(100, 100), "") << budget;
    TBTest_SetAllocationBudget(-1);
    EXPECT_EQ(TBTest_BeepCount(), 1) << budget;
    EXPECT_EQ(TBTest_LiveHandles(), handles_);
    EXPECT_EQ(TBTest_LivePointers(), pointers_);
  }
  int32_t handles_ = 0, pointers_ = 0;
};

TEST_F(EncoderFailure, OutputBlockMissingOrUnableToGrow) {
  for (int32_t budget : {0, 1, 2, 5}) ExpectNoFile(budget);
  EXPECT_GT(Encode(100, 100).size(), 10000u) << "whole again afterwards";
}

TEST_F(EncoderFailure, NoCodeTable) {
  nimbus::ReleaseGifEncoder();
  pointers_ = TBTest_LivePointers();
  ExpectNoFile(1);  // the output block, not the table
  EXPECT_EQ(Encode(1, 1).size(), 799u);
}

}  // namespace
