#include "gif/gif_test_support.h"

namespace giftest {
namespace {

void PutWord(std::string& s, int16_t v) {
  s.push_back(char(uint16_t(v) & 0xFF));
  s.push_back(char(uint16_t(v) >> 8));
}

}  // namespace

std::string PictureWithBody(int16_t top, int16_t left, int16_t bottom, int16_t right,
                            const std::string& body) {
  std::string s;
  PutWord(s, int16_t(10 + body.size()));
  PutWord(s, top);
  PutWord(s, left);
  PutWord(s, bottom);
  PutWord(s, right);
  return s + body;
}

std::string RasterPicture(int16_t top, int16_t left, int16_t bottom, int16_t right,
                          const std::vector<uint8_t>& rgb) {
  if (rgb.empty()) return PictureWithBody(top, left, bottom, right, "");
  return PictureWithBody(top, left, bottom, right, "RGB8" + std::string(rgb.begin(), rgb.end()));
}

std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(count);
  for (uint8_t& b : bytes) b = uint8_t(random());
  return bytes;
}

Handle NewBlock(const std::string& bytes) {
  Handle h = NewHandle(Size(bytes.size()));
  if (h != nullptr && !bytes.empty()) BlockMove(bytes.data(), *h, Size(bytes.size()));
  return h;
}

std::string BlockBytes(Handle h) {
  if (h == nullptr) return "";
  return std::string(*h, size_t(GetHandleSize(h)));
}

std::vector<uint8_t> SystemPalette() {
  std::vector<uint8_t> p;
  const int cube[6] = {0xFF, 0xCC, 0x99, 0x66, 0x33, 0x00};
  for (int r : cube)
    for (int g : cube)
      for (int b : cube)
        if (r || g || b) p.insert(p.end(), {uint8_t(r), uint8_t(g), uint8_t(b)});
  const int ramp[10] = {0xEE, 0xDD, 0xBB, 0xAA, 0x88, 0x77, 0x55, 0x44, 0x22, 0x11};
  for (int channel = 0; channel < 3; ++channel)
    for (int v : ramp) {
      uint8_t c[3] = {0, 0, 0};
      c[channel] = uint8_t(v);
      p.insert(p.end(), c, c + 3);
    }
  for (int v : ramp) p.insert(p.end(), {uint8_t(v), uint8_t(v), uint8_t(v)});
  p.insert(p.end(), {0, 0, 0});
  return p;
}

uint8_t NearestEntry(const std::vector<uint8_t>& palette, int r, int g, int b) {
  int best = 0;
  long bestDistance = -1;
  for (int i = 0; i < 256; ++i) {
    const long dr = r - palette[3 * i], dg = g - palette[3 * i + 1], db = b - palette[3 * i + 2];
    const long d = dr * dr + dg * dg + db * db;
    if (bestDistance < 0 || d < bestDistance) best = i, bestDistance = d;
  }
  return uint8_t(best);
}

size_t ImageDataOffset(const std::string& file) {
  size_t at = 6 + 7 + 768;
  while (at < file.size() && uint8_t(file[at]) == 0x21) {  // extensions
    at += 2;
    while (at < file.size() && file[at] != 0) at += 1 + uint8_t(file[at]);
    ++at;
  }
  return at + 10;  // the image descriptor
}

std::vector<int> SubBlockLengths(const std::string& file, size_t offset, std::string* data,
                                 size_t* end) {
  std::vector<int> lengths;
  size_t at = offset + 1;
  while (at < file.size() && file[at] != 0) {
    const int n = uint8_t(file[at]);
    lengths.push_back(n);
    if (data != nullptr) data->append(file, at + 1, size_t(n));
    at += 1 + size_t(n);
  }
  if (end != nullptr) *end = at + 1;
  return lengths;
}

std::vector<ReadCode> ReadCodes(const std::string& data, int minimumCodeSize) {
  const int clear = 1 << minimumCodeSize, end = clear + 1;
  std::vector<ReadCode> codes;
  int width = minimumCodeSize + 1, running = end + 1, limit = 1 << width;
  size_t bit = 0;
  while (bit + size_t(width) <= data.size() * 8) {
    int code = 0;
    for (int i = 0; i < width; ++i, ++bit) code |= ((uint8_t(data[bit / 8]) >> (bit % 8)) & 1) << i;
    codes.push_back({code, width});
    if (code == end) break;
    if (code == clear) {
      width = minimumCodeSize + 1, running = end + 1, limit = 1 << width;
      continue;
    }
    // A decoder's table grows by one entry a code; the width follows once it passes 2^width.
    if (running < 4097 && ++running > limit && width < 12) limit <<= 1, ++width;
  }
  return codes;
}

}  // namespace giftest
