// Decoding GIF files with giflib's reader, an implementation independent of ours.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace giftest {

struct DecodedGif {
  bool ok = false;
  std::string error;
  int width = 0;  // logical screen
  int height = 0;
  int imageWidth = 0;
  int imageHeight = 0;
  bool interlaced = false;
  int transparentIndex = -1;     // from the Graphic Control Extension, -1 without one
  std::vector<uint8_t> palette;  // global colour table, 3 bytes an entry
  std::vector<uint8_t> pixels;   // imageWidth * imageHeight, top row first
};

DecodedGif DecodeWithGiflib(const std::string& file);

// The GIF interlace order: the file row index -> image row, per the four passes.
std::vector<int> InterlacedRowOrder(int height);

}  // namespace giftest
