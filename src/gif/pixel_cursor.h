// Delivering the image's pixels in file order: row by row, or in the four passes of an
// interlaced image (rows 0, 8, 16 ...; 4, 12 ...; 2, 6 ...; 1, 3 ...).
#pragma once

#include <cstdint>

#include "gif/encoder_state.h"

namespace nimbus::gif {

constexpr int32_t kEndOfPixels = -1;

// Places the cursor at row 0, column 0, pass 0, with width * height pixels to deliver.
void StartCursor(PixelCursor& c, const uint8_t* base, int32_t stride, int32_t width, int32_t height,
                 bool interlaced);

// Moves to the first column of the next row in file order.
void NextRow(PixelCursor& c);

// The next pixel (0 to 255), or kEndOfPixels once all have been delivered.
inline int32_t NextPixel(PixelCursor& c) {
  if (c.remaining == 0) return kEndOfPixels;
  --c.remaining;
  const int32_t pixel = *c.address;
  ++c.address;
  if (++c.column == c.width) NextRow(c);
  return pixel;
}

}  // namespace nimbus::gif
