// Decoding GIF files with giflib's reader, an implementation independent of ours.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace giftest {

struct DecodedGif {
  std::string error;  // empty when the file decoded
  int width = 0;      // of the screen; the image must cover it exactly
  int height = 0;
  bool interlaced = false;
  int transparentIndex = -1;     // -1 without a Graphic Control Extension
  std::vector<uint8_t> palette;  // global colour table, 3 bytes an entry
  std::vector<uint8_t> pixels;   // top row first
};

DecodedGif DecodeWithGiflib(const std::string& file);

}  // namespace giftest
