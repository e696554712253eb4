#include "gif/gif_test_support.h"

#include <random>

namespace giftest {

std::string Picture(int16_t top, int16_t left, int16_t bottom, int16_t right,
                    const std::string& body) {
  std::string s;
  for (int16_t word : {int16_t(10 + body.size()), top, left, bottom, right})
    s += {char(uint16_t(word) & 0xFF), char(uint16_t(word) >> 8)};
  return s + body;
}

std::string RasterPicture(int16_t height, int16_t width, const std::vector<uint8_t>& rgb) {
  return Picture(0, 0, height, width, "RGB8" + std::string(rgb.begin(), rgb.end()));
}

std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(count);
  for (uint8_t& b : bytes) b = uint8_t(random());
  return bytes;
}

Handle NewBlock(const std::string& bytes) {
  Handle h = NewHandle(Size(bytes.size()));
  if (h != nullptr) BlockMove(bytes.data(), *h, Size(bytes.size()));
  return h;
}

std::string BlockBytes(Handle h) {
  return h ? std::string(*h, size_t(GetHandleSize(h))) : "";
}

std::vector<uint8_t> SystemPalette() {
  std::vector<uint8_t> p;
  for (int r = 0xFF; r >= 0; r -= 0x33)
    for (int g = 0xFF; g >= 0; g -= 0x33)
      for (int b = 0xFF; b >= 0; b -= 0x33)
        if (r || g || b) p.insert(p.end(), {uint8_t(r), uint8_t(g), uint8_t(b)});
  for (int ramp = 0; ramp < 4; ++ramp)  // red, green, blue, grey
    for (int v = 0xEE; v > 0; v -= 0x11)
      if (v % 0x33 != 0)
        p.insert(p.end(),
                 {uint8_t(ramp == 0 || ramp == 3 ? v : 0), uint8_t(ramp == 1 || ramp == 3 ? v : 0),
                  uint8_t(ramp == 2 || ramp == 3 ? v : 0)});
  p.insert(p.end(), {0, 0, 0});
  return p;
}

uint8_t NearestEntry(int r, int g, int b) {
  static const std::vector<uint8_t> palette = SystemPalette();
  int best = 0, bestDistance = 1 << 30;
  for (int i = 0; i < 256; ++i) {
    const int dr = r - palette[3 * i], dg = g - palette[3 * i + 1], db = b - palette[3 * i + 2];
    if (dr * dr + dg * dg + db * db < bestDistance)
      best = i, bestDistance = dr * dr + dg * dg + db * db;
  }
  return uint8_t(best);
}

std::vector<uint8_t> ExpectedImage(const std::vector<uint8_t>& rgb, int frameWidth, int frameHeight,
                                   int width, int height) {
  std::vector<uint8_t> out;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const size_t sy = size_t(y * frameHeight / height), sx = size_t(x * frameWidth / width);
      const uint8_t* c = &rgb[(sy * size_t(frameWidth) + sx) * 3];
      out.push_back(NearestEntry(c[0], c[1], c[2]));
    }
  return out;
}

}  // namespace giftest
