// The stand-in toolbox's off-screen drawing: worlds, the system palette, picture blocks.
#include <gtest/gtest.h>

#include "gif/gif_test_support.h"
#include "host/toolbox_drawing.h"

namespace {

// A current world with locked pixels, drawn into through picture blocks; puts the caller's
// port back and disposes of everything at the end.
class World {
 public:
  World(int16_t width, int16_t height) {
    GetGWorld(&savedPort_, &savedDevice_);
    SetRect(&bounds, 0, 0, width, height);
    EXPECT_EQ(NewGWorld(&world_, 8, &bounds, nullptr, nullptr, 0), noErr);
    SetGWorld(world_, nullptr);
    BackColor(whiteColor);
    pixMap = GetGWorldPixMap(world_);
    EXPECT_TRUE(LockPixels(pixMap));
  }
  ~World() {
    UnlockPixels(pixMap);
    SetGWorld(savedPort_, savedDevice_);
    DisposeGWorld(world_);
  }
  int32_t stride() const { return (*pixMap)->rowBytes & 0x0FFF; }
  uint8_t At(int x, int y) const { return uint8_t((*pixMap)->baseAddr[y * stride() + x]); }
  void Draw(const std::string& picture, const Rect& where) {
    Handle h = giftest::NewBlock(picture);
    DrawPicture(h, &where);
    DisposeHandle(h);
  }
  Rect bounds;
  PixMapHandle pixMap = nullptr;

 private:
  GWorldPtr world_ = nullptr;
  CGrafPtr savedPort_ = nullptr;
  GDHandle savedDevice_ = nullptr;
};

TEST(StandinDrawing, WorldShape) {
  for (int16_t width : {1, 4, 5, 4092}) {
    World world(width, 1);
    EXPECT_EQ((*world.pixMap)->pixelSize, 8);
    EXPECT_EQ(uint16_t((*world.pixMap)->rowBytes) & 0xF000u, 0x8000u) << "a flag, then the stride";
    EXPECT_EQ(world.stride(), (width + 3) / 4 * 4);
  }
  World world(1, 1);
  const ColorTable& table = **(*world.pixMap)->pmTable;
  EXPECT_EQ(table.ctSize, 255);
  // 16-bit components repeat their byte: the low byte the file takes is the colour.
  for (int i : {0, 1, 214, 215, 254, 255})
    EXPECT_EQ(table.ctTable[i].rgb.green, giftest::SystemPalette()[3 * i + 1] * 0x101) << i;
}

TEST(StandinDrawing, EachColourBecomesTheNearestPaletteEntry) {
  std::vector<uint8_t> rgb;  // a grid of 64^3 colours, then every grey and pure level
  for (int r = 0; r < 256; r += 4)
    for (int g = 1; g < 256; g += 4)
      for (int b = 3; b < 256; b += 4) rgb.insert(rgb.end(), {uint8_t(r), uint8_t(g), uint8_t(b)});
  for (int v = 0; v < 256; ++v)
    rgb.insert(rgb.end(), {uint8_t(v), uint8_t(v), uint8_t(v), uint8_t(v), 0, 0, 0, uint8_t(v), 0});
  const int16_t width = 512, height = int16_t(rgb.size() / 3 / width);
  rgb.resize(size_t(width) * height * 3);
  World world(width, height);
  world.Draw(giftest::RasterPicture(height, width, rgb), world.bounds);
  for (int i = 0; i < width * height; ++i)
    ASSERT_EQ(world.At(i % width, i / width),
              giftest::NearestEntry(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]))
        << int(rgb[3 * i]) << "," << int(rgb[3 * i + 1]) << "," << int(rgb[3 * i + 2]);
}

TEST(StandinDrawing, ScaledClippedAndShortPictures) {
  World world(8, 6);
  const std::vector<uint8_t> rgb = giftest::RandomBytes(3 * 2 * 3, 1);
  Rect where;
  SetRect(&where, 2, 1, 9, 6);  // 7x5 from (2, 1); its last column is clipped
  world.Draw(giftest::RasterPicture(2, 3, rgb), where);
  const std::vector<uint8_t> scaled = giftest::ExpectedImage(rgb, 3, 2, 7, 5);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x)
      EXPECT_EQ(world.At(x, y), x < 2 || y < 1 ? 0 : scaled[size_t((y - 1) * 7 + x - 2)])
          << x << "," << y;

  // A frame of 4x4 with a body of five black pixels and a stray byte: white where data is missing.
  BackColor(blackColor);
  EraseRect(&world.bounds);
  Rect square;
  SetRect(&square, 0, 0, 4, 4);
  world.Draw(giftest::RasterPicture(4, 4, std::vector<uint8_t>(16, 0)), square);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(world.At(i % 4, i / 4), i < 5 ? 255 : 0) << i;
  EXPECT_EQ(world.At(4, 0), 255) << "outside the rectangle";

  // Other bodies, none, a frame of no size, a cut-off block, a null block: nothing drawn.
  EraseRect(&world.bounds);
  for (const std::string& picture :
       {giftest::Picture(0, 0, 4, 4, "PICT"), giftest::Picture(0, 0, 4, 4),
        giftest::Picture(0, 4, 4, 0, "RGB8" + std::string(48, '\xFF')),
        std::string("\x00\x00\x01", 3)})
    world.Draw(picture, world.bounds);
  DrawPicture(nullptr, &world.bounds);
  for (int i = 0; i < 48; ++i) EXPECT_EQ(world.At(i % 8, i / 8), 255) << i;
}

}  // namespace
