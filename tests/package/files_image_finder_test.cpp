// The image finder: a GIF filling the block, a JPEG stream inside a picture, and blocks that
// hold neither or are too short for what is looked for.
#include <gtest/gtest.h>

#include <string>

#include "package/files_test_support.h"
#include "package/image_finder.h"

namespace {

using files_test::BlockOf;
using nimbus::FindImage;
using nimbus::ImageRange;

const std::string kStart = "\xFF\xD8";
const std::string kEnd = "\xFF\xD9";

ImageRange Find(const std::string& bytes) {
  Handle block = BlockOf(bytes);
  const ImageRange range = FindImage(block);
  DisposeHandle(block);
  return range;
}

void ExpectRange(const std::string& bytes, int32_t first, int32_t end) {
  SCOPED_TRACE(testing::PrintToString(bytes));
  const ImageRange range = Find(bytes);
  EXPECT_EQ(range.first, first);
  EXPECT_EQ(range.end, end);
}

TEST(ImageFinderTest, AGifFillsTheWholeBlockWhateverItHolds) {
  ExpectRange("GIF89a", 0, 6);
  ExpectRange("GIF8", 0, 4);
  ExpectRange("GIF8" + kStart + "........" + kEnd, 0, 16);  // JPEG markers inside do not count
  ExpectRange(std::string("GIF8") + std::string(70000 - 4, '\0'), 0, 70000);
}

TEST(ImageFinderTest, TheGifSignatureNeedsAllFourBytesInsideTheBlock) {
  for (const char* partial : {"", "G", "GI", "GIF", "GIF7a", "gif8", "xGIF8"}) {
    ExpectRange(partial, 0, 0);
  }
}

TEST(ImageFinderTest, AJpegRunsFromItsStartMarkerThroughTheEndMarkersSecondByte) {
  std::string picture(10000, 'p');
  picture.replace(512, 2, kStart);
  picture.replace(9000, 2, kEnd);
  ExpectRange(picture, 512, 9001);

  ExpectRange("x" + kStart + kEnd, 1, 4);
  // The first end marker after the start ends the image.
  ExpectRange("hdr" + kStart + "a" + kEnd + "b" + kEnd, 3, 7);
  // A start marker later in the block is part of the image, not a new one.
  ExpectRange("hdr" + kStart + kStart + kEnd, 3, 8);
}

TEST(ImageFinderTest, NoImageWithoutBothMarkersInOrder) {
  ExpectRange("just a picture", 0, 0);
  ExpectRange("hdr" + kStart + "no end", 0, 0);
  ExpectRange("hdr" + kEnd + "no start", 0, 0);
  ExpectRange("hdr" + kEnd + kStart, 0, 0);
  ExpectRange("hdr\xFF", 0, 0);  // half a marker at the very end
  ExpectRange("hdr" + kStart + "\xFF", 0, 0);
}

TEST(ImageFinderTest, AStartMarkerAtOffsetZeroMeansNoImage) {
  ExpectRange(kStart + "data" + kEnd, 0, 0);
  ExpectRange(kStart, 0, 0);
  // Only the first start marker is looked at.
  ExpectRange(kStart + "x" + kStart + "y" + kEnd, 0, 0);
}

TEST(ImageFinderTest, NullAndEmptyBlocksHoldNothing) {
  const ImageRange none = FindImage(nullptr);
  EXPECT_EQ(none.first, 0);
  EXPECT_EQ(none.end, 0);
  ExpectRange("", 0, 0);
}

TEST(ImageFinderTest, LeavesTheBlockAsItWas) {
  const std::string bytes = "hdr" + kStart + "img" + kEnd;
  Handle block = BlockOf(bytes);
  HLock(block);
  const int8_t state = HGetState(block);
  FindImage(block);
  EXPECT_EQ(HGetState(block), state);
  EXPECT_EQ(files_test::BytesOf(block), bytes);
  DisposeHandle(block);
}

}  // namespace
