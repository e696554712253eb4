// Pictures: writing an 8-bit image as a GIF file, rendering a 4D picture to one, and the
// size and frame of a picture block.
#pragma once

#include <cstdint>

#include "host/toolbox.h"

namespace nimbus {

// An 8-bit indexed image ready for encoding.
struct GifImage {
  const uint8_t* pixels;   // row 0; rows are `stride` bytes apart; one colour index a byte
  int32_t stride;          // at least width
  int32_t width;           // 1 to 65535
  int32_t height;          // 1 to 65535
  const uint8_t* palette;  // 256 entries of red, green, blue
  bool interlaced;
  int16_t transparentIndex;  // 0 to 255, or -1 for none (then the file is GIF87a)
};

// Writes the image as a complete GIF file into a new block and answers it. When a block
// (the output or the encoder's code table) cannot be had, sounds the alert beep and answers
// null. Uses the encoder's one static state: callers must not overlap.
Handle EncodeGIF(const GifImage& image);

// Gives back the encoder's code table (kept from one encoding to the next otherwise).
void ReleaseGifEncoder();

// PictureToGIF: draws `picture` into an 8-bit off-screen image and encodes it. Width and
// height are the low 16 bits of the longints; 0 or less takes the picture frame's size.
// Options: bit 0 interlace, bit 1 make the colour of pixel (column, row) transparent.
// Answers the new block, or null when there is no image to encode or no block to put it in.
// Waits, yielding to other processes, while another process is encoding.
Handle PictureToGIF(Handle picture, int32_t options, int32_t width, int32_t height, int32_t column,
                    int32_t row);

// What PictureInfo reports besides the block size.
struct PictureInfoResult {
  int32_t frameWords[4];  // the int16 words at bytes 2, 4, 6 and 8 (0 when the block ends first)
  int32_t gifFlag;        // 1 when the block starts with "GIF8"
};

// The size of the picture block (0 for a null handle) and its frame words.
int32_t PictureInfo(Handle picture, PictureInfoResult* info);

}  // namespace nimbus
