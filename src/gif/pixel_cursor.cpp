#include "gif/pixel_cursor.h"

namespace nimbus::gif {
namespace {

constexpr int32_t kPassCount = 4;
constexpr int32_t kPassStart[kPassCount] = {0, 4, 2, 1};
constexpr int32_t kPassStep[kPassCount] = {8, 8, 4, 2};

}  // namespace

void StartCursor(PixelCursor& c, const uint8_t* base, int32_t stride, int32_t width, int32_t height,
                 bool interlaced) {
  c.base = base;
  c.stride = stride;
  c.width = width;
  c.height = height;
  c.interlaced = interlaced;
  c.column = c.row = c.pass = 0;
  c.remaining = width * height;
  c.address = base;
}

void NextRow(PixelCursor& c) {
  c.column = 0;
  if (!c.interlaced) {
    ++c.row;
  } else {
    c.row += kPassStep[c.pass];
    // A pass that has run out of rows hands over to the next one with rows.
    while (c.row >= c.height && c.pass < kPassCount - 1) {
      ++c.pass;
      c.row = kPassStart[c.pass];
    }
  }
  // Past the last row there is nothing left to deliver; keep the address in the image.
  if (c.row < c.height) c.address = c.base + int64_t(c.stride) * c.row;
}

}  // namespace nimbus::gif
