// The order in which the cursor delivers pixels: row by row, or in the four interlace passes.
#include "gif/pixel_cursor.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using nimbus::gif::kEndOfPixels;
using nimbus::gif::NextPixel;
using nimbus::gif::PixelCursor;
using nimbus::gif::StartCursor;

// Delivers every pixel of an image whose pixels hold their row number, with padding between
// rows; answers the rows in delivery order, one entry per row, checking each row is whole.
std::vector<int> DeliveredRows(int32_t width, int32_t height, bool interlaced) {
  const int32_t stride = width + 2;
  std::vector<uint8_t> image(size_t(stride) * (height - 1) + width, 0xFF);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) image[size_t(y) * stride + x] = uint8_t(y);
  PixelCursor cursor{};
  StartCursor(cursor, image.data(), stride, width, height, interlaced);
  std::vector<int> rows;
  for (int32_t n = 0;; ++n) {
    const int32_t pixel = NextPixel(cursor);
    if (pixel == kEndOfPixels) {
      EXPECT_EQ(n, width * height);
      break;
    }
    if (n % width == 0)
      rows.push_back(pixel);
    else
      EXPECT_EQ(pixel, rows.back()) << "row changed inside a row at pixel " << n;
  }
  EXPECT_EQ(NextPixel(cursor), kEndOfPixels) << "the end stays the end";
  return rows;
}

std::vector<int> Sequential(int height) {
  std::vector<int> rows(size_t(height), 0);
  for (int i = 0; i < height; ++i) rows[size_t(i)] = i;
  return rows;
}

TEST(PixelCursor, RowByRow) {
  for (int32_t height : {1, 2, 9, 100})
    for (int32_t width : {1, 5})
      EXPECT_EQ(DeliveredRows(width, height, false), Sequential(height)) << width << "x" << height;
}

TEST(PixelCursor, InterlacedSmallHeights) {
  EXPECT_EQ(DeliveredRows(3, 1, true), (std::vector<int>{0}));
  EXPECT_EQ(DeliveredRows(3, 2, true), (std::vector<int>{0, 1}));
  EXPECT_EQ(DeliveredRows(3, 3, true), (std::vector<int>{0, 2, 1}));
  EXPECT_EQ(DeliveredRows(3, 5, true), (std::vector<int>{0, 4, 2, 1, 3}));
  EXPECT_EQ(DeliveredRows(1, 9, true), (std::vector<int>{0, 8, 4, 2, 6, 1, 3, 5, 7}));
  EXPECT_EQ(DeliveredRows(2, 17, true),
            (std::vector<int>{0, 8, 16, 4, 12, 2, 6, 10, 14, 1, 3, 5, 7, 9, 11, 13, 15}));
}

TEST(PixelCursor, InterlacedVisitsEveryRowOnceInPassOrder) {
  for (int32_t height = 1; height <= 200; ++height) {
    const std::vector<int> rows = DeliveredRows(2, height, true);
    ASSERT_EQ(rows.size(), size_t(height));
    std::vector<bool> seen(size_t(height), false);
    int previousPass = 0, previousRow = -1;
    for (int row : rows) {
      ASSERT_FALSE(seen[size_t(row)]) << "row " << row << " twice, height " << height;
      seen[size_t(row)] = true;
      const int pass = row % 8 == 0 ? 0 : row % 8 == 4 ? 1 : row % 4 == 2 ? 2 : 3;
      ASSERT_GE(pass, previousPass) << "height " << height;
      if (pass == previousPass) {
        ASSERT_GT(row, previousRow) << "height " << height;
      }
      previousPass = pass, previousRow = row;
    }
  }
}

}  // namespace
