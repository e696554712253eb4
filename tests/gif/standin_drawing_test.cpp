// The stand-in toolbox's off-screen drawing: worlds, the system palette, picture blocks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gif/gif_test_support.h"
#include "host/toolbox_drawing.h"
#include "toolbox/toolbox_testing.h"

namespace {

using giftest::NewBlock;
using giftest::RasterPicture;

// A world made current for the test, with its pixels locked; restores the port after.
class World {
 public:
  World(int16_t width, int16_t height) {
    GetGWorld(&savedPort_, &savedDevice_);
    SetRect(&bounds, 0, 0, width, height);
    EXPECT_EQ(NewGWorld(&world_, 8, &bounds, nullptr, nullptr, 0), noErr);
    SetGWorld(world_, nullptr);
    ForeColor(blackColor);
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
  uint8_t At(int x, int y) const {
    return uint8_t((*pixMap)->baseAddr[size_t(y) * stride() + size_t(x)]);
  }
  void Draw(const std::string& picture, const Rect& where) {
    Handle h = NewBlock(picture);
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

TEST(StandinDrawing, WorldShapeAndPalette) {
  for (int16_t width : {1, 3, 4, 5, 4092}) {
    World world(width, 2);
    const PixMap& pm = **world.pixMap;
    EXPECT_EQ(pm.pixelSize, 8);
    EXPECT_NE(pm.rowBytes & 0x8000, 0) << "flag bit set";
    EXPECT_EQ(world.stride(), (width + 3) / 4 * 4);
    EXPECT_EQ(pm.bounds.right, width);
    for (int x = 0; x < width; ++x) ASSERT_EQ(world.At(x, 1), 0) << "starts white";
  }
  World world(1, 1);
  const ColorTable& table = **(*world.pixMap)->pmTable;
  EXPECT_EQ(table.ctSize, 255);
  const std::vector<uint8_t> expected = giftest::SystemPalette();
  for (int i = 0; i < 256; ++i) {
    const RGBColor c = table.ctTable[i].rgb;
    EXPECT_EQ(table.ctTable[i].value, i);
    // 16-bit components repeat their byte (0x3333, 0xEEEE ...).
    EXPECT_EQ(c.red, expected[3 * i] * 0x101) << i;
    EXPECT_EQ(c.green, expected[3 * i + 1] * 0x101) << i;
    EXPECT_EQ(c.blue, expected[3 * i + 2] * 0x101) << i;
  }
}

TEST(StandinDrawing, RefusedWorlds) {
  GWorldPtr world = reinterpret_cast<GWorldPtr>(1);
  const int32_t handles = TBTest_LiveHandles();
  Rect r;
  SetRect(&r, 0, 0, 10, 10);
  EXPECT_EQ(NewGWorld(&world, 16, &r, nullptr, nullptr, 0), cDepthErr);
  EXPECT_EQ(world, nullptr);
  SetRect(&r, 5, 0, 5, 10);
  EXPECT_EQ(NewGWorld(&world, 8, &r, nullptr, nullptr, 0), paramErr);
  SetRect(&r, 0, 0, 0x3FFF, 1);  // wider than rowBytes can hold
  EXPECT_EQ(NewGWorld(&world, 8, &r, nullptr, nullptr, 0), memFullErr);
  SetRect(&r, 0, 0, 10, 10);
  TBTest_SetAllocationBudget(2);  // the third block cannot be had
  EXPECT_EQ(NewGWorld(&world, 8, &r, nullptr, nullptr, 0), memFullErr);
  TBTest_SetAllocationBudget(-1);
  EXPECT_EQ(world, nullptr);
  EXPECT_EQ(TBTest_LiveHandles(), handles);
}

TEST(StandinDrawing, NearestPaletteColourMatchesAFullSearch) {
  // 64^3 colours on a grid that covers every cube and ramp boundary region.
  std::vector<uint8_t> rgb;
  for (int r = 0; r < 256; r += 4)
    for (int g = 1; g < 256; g += 4)
      for (int b = 3; b < 256; b += 4) rgb.insert(rgb.end(), {uint8_t(r), uint8_t(g), uint8_t(b)});
  // Every grey level and every pure channel level as well.
  for (int v = 0; v < 256; ++v)
    for (int c = 0; c < 4; ++c)
      rgb.insert(rgb.end(), {uint8_t(c == 0 || c == 3 ? v : 0), uint8_t(c == 1 || c == 3 ? v : 0),
                             uint8_t(c == 2 || c == 3 ? v : 0)});
  const int16_t width = 512, height = int16_t(rgb.size() / 3 / width);
  rgb.resize(size_t(width) * height * 3);
  World world(width, height);
  world.Draw(RasterPicture(0, 0, height, width, rgb), world.bounds);
  const std::vector<uint8_t> palette = giftest::SystemPalette();
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const uint8_t* c = &rgb[(size_t(y) * width + x) * 3];
      ASSERT_EQ(world.At(x, y), giftest::NearestEntry(palette, c[0], c[1], c[2]))
          << int(c[0]) << "," << int(c[1]) << "," << int(c[2]);
    }
}

TEST(StandinDrawing, ScalesNearestNeighbourIntoTheRectangle) {
  // A 3x2 raster of distinct palette colours, drawn 7x5 at an offset and clipped.
  const std::vector<uint8_t> rgb = {0xFF, 0, 0, 0,    0xFF, 0,    0,    0,    0xFF,
                                    0,    0, 0, 0x33, 0x66, 0x99, 0xEE, 0xEE, 0xEE};
  const std::vector<uint8_t> palette = giftest::SystemPalette();
  World world(8, 6);
  Rect where;
  SetRect(&where, 2, 1, 9, 6);  // left, top, right, bottom: its right column is clipped
  world.Draw(RasterPicture(10, 20, 12, 23, rgb), where);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) {
      uint8_t expected = 0;  // white outside
      if (x >= 2 && y >= 1) {
        const int sx = (x - 2) * 3 / 7, sy = (y - 1) * 2 / 5;
        const uint8_t* c = &rgb[size_t(sy * 3 + sx) * 3];
        expected = giftest::NearestEntry(palette, c[0], c[1], c[2]);
      }
      EXPECT_EQ(world.At(x, y), expected) << x << "," << y;
    }
}

TEST(StandinDrawing, ShortBodiesDrawWhereDataIsAndWhiteElsewhere) {
  World world(4, 4);
  Rect fill;
  SetRect(&fill, 0, 0, 4, 4);
  BackColor(blackColor);
  EraseRect(&fill);
  EXPECT_EQ(world.At(3, 3), 255);
  // The frame says 4x4 but the body holds 5 pixels and one stray byte.
  std::vector<uint8_t> rgb(5 * 3 + 1, 0);
  world.Draw(RasterPicture(0, 0, 4, 4, rgb), world.bounds);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(world.At(i % 4, i / 4), i < 5 ? 255 : 0) << i;

  // Other bodies, no body, a frame of no size, a null block: nothing drawn.
  EraseRect(&fill);
  world.Draw(giftest::PictureWithBody(0, 0, 4, 4, "PICT and more bytes"), world.bounds);
  world.Draw(RasterPicture(0, 0, 4, 4, {}), world.bounds);
  world.Draw(RasterPicture(0, 4, 4, 0, std::vector<uint8_t>(48, 0xFF)), world.bounds);
  world.Draw(std::string("\x00\x00\x00", 3), world.bounds);
  DrawPicture(nullptr, &world.bounds);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(world.At(i % 4, i / 4), 255) << i;
}

TEST(StandinDrawing, CopyBitsScalesAndSelfCopyKeepsPixels) {
  World world(6, 4);
  const std::vector<uint8_t> rgb = giftest::RandomBytes(6 * 4 * 3, 1);
  world.Draw(RasterPicture(0, 0, 4, 6, rgb), world.bounds);
  std::vector<uint8_t> before;
  for (int i = 0; i < 24; ++i) before.push_back(world.At(i % 6, i / 6));
  CopyBits(*world.pixMap, *world.pixMap, &world.bounds, &world.bounds, 1024, nullptr);
  for (int i = 0; i < 24; ++i) EXPECT_EQ(world.At(i % 6, i / 6), before[size_t(i)]);

  // The left half doubled across the whole width: each column twice.
  Rect half;
  SetRect(&half, 0, 0, 3, 4);
  CopyBits(*world.pixMap, *world.pixMap, &half, &world.bounds, 0, nullptr);
  for (int i = 0; i < 24; ++i)
    EXPECT_EQ(world.At(i % 6, i / 6), before[size_t(i / 6 * 6 + i % 6 / 2)]) << i;
}

TEST(StandinDrawing, PortsComeBackAndDisposedWorldsLeaveNothing) {
  CGrafPtr port = nullptr;
  GDHandle device = nullptr;
  GetGWorld(&port, &device);
  const int32_t handles = TBTest_LiveHandles();
  {
    World world(3, 3);
    CGrafPtr inside = nullptr;
    GetGWorld(&inside, nullptr);
    EXPECT_NE(inside, port);
  }
  CGrafPtr after = nullptr;
  GetGWorld(&after, nullptr);
  EXPECT_EQ(after, port);
  EXPECT_EQ(GetGDevice(), device);
  EXPECT_EQ(TBTest_LiveHandles(), handles);
}

}  // namespace
