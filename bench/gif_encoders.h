// The GIF benchmarks' images and the two encoders they compare, shared by gif_bench (times)
// and gif_instructions (instruction counts): a 1024x1024 image, flat (every pixel 0) or noisy
// (random bytes), encoded by our encoder and by giflib's with the same palette.
#pragma once

#include <gif_lib.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "gif/gif.h"

namespace gif_bench {

constexpr int kSide = 1024;
constexpr int kPixels = kSide * kSide;

struct Image {
  std::vector<uint8_t> pixels;
  std::vector<uint8_t> palette;
};

inline Image MakeImage(bool noisy) {
  Image image{std::vector<uint8_t>(kPixels, 0), std::vector<uint8_t>(768)};
  std::mt19937 random(12345);
  if (noisy)
    for (uint8_t& p : image.pixels) p = uint8_t(random());
  for (int i = 0; i < 768; ++i) image.palette[size_t(i)] = uint8_t(i * 37);
  return image;
}

inline const Image& TheImage(bool noisy) {
  static const Image flat = MakeImage(false), noise = MakeImage(true);
  return noisy ? noise : flat;
}

// Our encoder: the file's size in bytes, or -1 when it made no file.
inline long EncodeWithNimbus(const Image& image) {
  const nimbus::GifImage gif{image.pixels.data(),  kSide, kSide, kSide,
                             image.palette.data(), false, -1};
  Handle file = nimbus::EncodeGIF(gif);
  if (file == nullptr) return -1;
  const long bytes = long(GetHandleSize(file));
  DisposeHandle(file);
  return bytes;
}

inline int AppendToString(GifFileType* gif, const GifByteType* bytes, int count) {
  static_cast<std::string*>(gif->UserData)
      ->append(reinterpret_cast<const char*>(bytes), size_t(count));
  return count;
}

// giflib's encoder, a line at a time into memory: the file's size, or -1 when it failed.
// `line` is a scratch row of kSide bytes.
inline long EncodeWithGiflib(const Image& image, std::vector<GifColorType>& colours,
                             std::vector<uint8_t>& line) {
  std::string out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, AppendToString, &error);
  ColorMapObject* map = GifMakeMapObject(256, colours.data());
  bool ok = gif && map && EGifPutScreenDesc(gif, kSide, kSide, 8, 0, map) != GIF_ERROR &&
            EGifPutImageDesc(gif, 0, 0, kSide, kSide, false, nullptr) != GIF_ERROR;
  for (int y = 0; ok && y < kSide; ++y) {
    // EGifPutLine may scribble on the line it is given: hand it a copy, as callers must.
    std::copy_n(image.pixels.data() + size_t(y) * kSide, kSide, line.data());
    ok = EGifPutLine(gif, line.data(), kSide) != GIF_ERROR;
  }
  if (gif) ok = EGifCloseFile(gif, &error) != GIF_ERROR && ok;
  GifFreeMapObject(map);
  return ok ? long(out.size()) : -1;
}

inline std::vector<GifColorType> GiflibColours(const Image& image) {
  std::vector<GifColorType> colours(256);
  for (int i = 0; i < 256; ++i)
    colours[size_t(i)] = {image.palette[3 * size_t(i)], image.palette[3 * size_t(i) + 1],
                          image.palette[3 * size_t(i) + 2]};
  return colours;
}

}  // namespace gif_bench
