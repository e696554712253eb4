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

// The pixels from the cursor to the end of its row (*count of them, at least 1), then moves
// the cursor to the next row in file order. Null once all pixels have been delivered.
inline const uint8_t* TakeRun(PixelCursor& c, int32_t* count) {
  if (c.remaining == 0) return nullptr;
  const uint8_t* run = c.address;
  int32_t n = c.width - c.column;
  if (n > c.remaining) n = c.remaining;
  c.remaining -= n;
  *count = n;
  NextRow(c);
  return run;
}

}  // namespace nimbus::gif
