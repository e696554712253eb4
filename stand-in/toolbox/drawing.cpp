// Off-screen drawing of the stand-in toolbox: worlds of depth 8 with the classic 256-colour
// system palette, erasing, copying pixels, and drawing picture blocks whose body is the
// "RGB8" raster (any other body draws nothing).
//
// Divisions: the palette and nearest-colour matching; ports and worlds; drawing.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "host/toolbox_drawing.h"

extern "C" {
struct GrafPort {
  PixMapHandle pixMap;  // null for the screen port, which draws nothing
  Handle pixels;        // stride * height colour indices
  uint8_t foreIndex;
  uint8_t backIndex;
};
struct GDevice {
  int32_t depth;
};
}

namespace {

// ---- Palette ------------------------------------------------------------------------------

constexpr int kCubeLevels = 6;
constexpr uint16_t kCubeStep = 0x3333;
constexpr int kCubeEntries = kCubeLevels * kCubeLevels * kCubeLevels - 1;  // black sits at 255
constexpr int kRampLength = 10;
// The ramps' levels: every multiple of 0x1111 that is not a cube level, brightest first.
constexpr uint16_t kRampLevels[kRampLength] = {0xEEEE, 0xDDDD, 0xBBBB, 0xAAAA, 0x8888,
                                               0x7777, 0x5555, 0x4444, 0x2222, 0x1111};
constexpr int kFirstRampIndex = kCubeEntries;  // red, green, blue, then grey
constexpr int kRampEntries = 4 * kRampLength;  // 40
constexpr uint8_t kWhiteIndex = 0;
constexpr uint8_t kBlackIndex = 255;

struct Palette {
  RGBColor colors[kColorTableEntries];
};

// Index 0 is white; the cube runs from white down (blue varying fastest), then the red,
// green, blue and grey ramps, then black.
constexpr Palette MakeSystemPalette() {
  Palette p{};
  int index = 0;
  for (int r = kCubeLevels - 1; r >= 0; --r)
    for (int g = kCubeLevels - 1; g >= 0; --g)
      for (int b = kCubeLevels - 1; b >= 0; --b) {
        if (r == 0 && g == 0 && b == 0) continue;
        p.colors[index++] =
            RGBColor{uint16_t(r * kCubeStep), uint16_t(g * kCubeStep), uint16_t(b * kCubeStep)};
      }
  for (int channel = 0; channel < 4; ++channel)
    for (uint16_t level : kRampLevels) {
      const bool grey = channel == 3;
      p.colors[index++] = RGBColor{uint16_t(channel == 0 || grey ? level : 0),
                                   uint16_t(channel == 1 || grey ? level : 0),
                                   uint16_t(channel == 2 || grey ? level : 0)};
    }
  p.colors[index] = RGBColor{0, 0, 0};
  return p;
}

constexpr Palette kSystemPalette = MakeSystemPalette();
static_assert(kFirstRampIndex + kRampEntries == kBlackIndex);

int32_t SquaredDistance(int r, int g, int b, const RGBColor& c) {
  const int dr = r - (c.red >> 8), dg = g - (c.green >> 8), db = b - (c.blue >> 8);
  return dr * dr + dg * dg + db * db;
}

// The palette index nearest to an 8-bit colour (lowest index on a tie). The cube is a
// separable grid, so its nearest entry comes from rounding each channel; only the ramps
// need a search.
uint8_t NearestIndex(int r, int g, int b) {
  constexpr int kStep8 = kCubeStep >> 8;  // 0x33
  const int lr = (r + kStep8 / 2) / kStep8, lg = (g + kStep8 / 2) / kStep8,
            lb = (b + kStep8 / 2) / kStep8;
  int best = (lr | lg | lb) == 0
                 ? kBlackIndex
                 : ((kCubeLevels - 1 - lr) * kCubeLevels + (kCubeLevels - 1 - lg)) * kCubeLevels +
                       (kCubeLevels - 1 - lb);
  int32_t bestDistance = SquaredDistance(r, g, b, kSystemPalette.colors[best]);
  for (int i = kFirstRampIndex; i < kFirstRampIndex + kRampEntries; ++i) {
    const int32_t d = SquaredDistance(r, g, b, kSystemPalette.colors[i]);
    if (d < bestDistance || (d == bestDistance && i < best)) best = i, bestDistance = d;
  }
  return uint8_t(best);
}

uint8_t IndexOfStandardColor(int32_t color, uint8_t current) {
  switch (color) {
    case blackColor:
      return kBlackIndex;
    case whiteColor:
      return kWhiteIndex;
    case redColor:
      return NearestIndex(0xFF, 0, 0);
    case greenColor:
      return NearestIndex(0, 0xFF, 0);
    case blueColor:
      return NearestIndex(0, 0, 0xFF);
    case cyanColor:
      return NearestIndex(0, 0xFF, 0xFF);
    case magentaColor:
      return NearestIndex(0xFF, 0, 0xFF);
    case yellowColor:
      return NearestIndex(0xFF, 0xFF, 0);
    default:
      return current;
  }
}

// ---- Ports and worlds ---------------------------------------------------------------------

constexpr int16_t kSupportedDepth = 8;
constexpr int32_t kMaxRowBytes = 0x3FFE;                // what rowBytes can hold
constexpr int64_t kMaxPixelBytes = int64_t(256) << 20;  // the stand-in heap's limit
constexpr int16_t kRowBytesMask = 0x3FFF;

GDevice gMainDeviceRecord{kSupportedDepth};
GDevice* gMainDevicePtr = &gMainDeviceRecord;
GrafPort gScreenPort{nullptr, nullptr, kBlackIndex, kWhiteIndex};
CGrafPtr gCurrentPort = &gScreenPort;
GDHandle gCurrentDevice = &gMainDevicePtr;
std::vector<GrafPort*> gWorlds;  // every live off-screen world

GrafPort* WorldOwning(PixMapHandle pm) {
  for (GrafPort* world : gWorlds)
    if (world->pixMap == pm) return world;
  return nullptr;
}

GrafPort* WorldOwning(const PixMap* pm) {
  for (GrafPort* world : gWorlds)
    if (*world->pixMap == pm) return world;
  return nullptr;
}

int32_t Width(const Rect& r) {
  return int32_t(r.right) - r.left;
}
int32_t Height(const Rect& r) {
  return int32_t(r.bottom) - r.top;
}

Rect Intersect(const Rect& a, const Rect& b) {
  Rect r{std::max(a.top, b.top), std::max(a.left, b.left), std::min(a.bottom, b.bottom),
         std::min(a.right, b.right)};
  if (Width(r) <= 0 || Height(r) <= 0) r = Rect{0, 0, 0, 0};
  return r;
}

// The drawable surface of a port: its pixels and geometry, read afresh (the pixel block
// may move while unlocked).
struct Surface {
  uint8_t* pixels = nullptr;
  int32_t stride = 0;
  Rect bounds{0, 0, 0, 0};
};

Surface SurfaceOf(CGrafPtr port) {
  Surface s;
  if (port == nullptr || port->pixMap == nullptr || port->pixels == nullptr) return s;
  const PixMap& pm = **port->pixMap;
  s.pixels = reinterpret_cast<uint8_t*>(*port->pixels);
  s.stride = pm.rowBytes & kRowBytesMask;
  s.bounds = pm.bounds;
  return s;
}

// A pixel image given by address: a world's own image is found through its pixel block
// (which may have moved since baseAddr was set); any other image is taken as it says.
Surface SurfaceOf(const PixMap* pm) {
  if (GrafPort* world = WorldOwning(pm)) return SurfaceOf(world);
  Surface s;
  s.pixels = reinterpret_cast<uint8_t*>(pm->baseAddr);
  s.stride = pm->rowBytes & kRowBytesMask;
  s.bounds = pm->bounds;
  return s;
}

uint8_t* PixelAt(const Surface& s, int32_t x, int32_t y) {
  return s.pixels + int64_t(y - s.bounds.top) * s.stride + (x - s.bounds.left);
}

void FillRect(const Surface& s, const Rect& r, uint8_t index) {
  const Rect area = Intersect(r, s.bounds);
  for (int32_t y = area.top; y < area.bottom; ++y)
    std::memset(PixelAt(s, area.left, y), index, size_t(Width(area)));
}

// ---- Picture blocks -----------------------------------------------------------------------

constexpr int32_t kFrameOffset = 2;
constexpr int32_t kBodyOffset = 10;
constexpr char kRasterTag[4] = {'R', 'G', 'B', '8'};
constexpr int32_t kRasterOffset = kBodyOffset + int32_t(sizeof kRasterTag);
constexpr int32_t kBytesPerRasterPixel = 3;

int16_t LittleEndianWord(const uint8_t* p) {
  return int16_t(p[0] | (p[1] << 8));
}

// Draws an "RGB8" body: the frame-sized raster scaled nearest-neighbour into dst. Pixels the
// block is too short to hold draw white.
void DrawRaster(const Surface& s, const uint8_t* block, int32_t blockSize, const Rect& dst) {
  const uint8_t* f = block + kFrameOffset;
  const Rect frame{LittleEndianWord(f), LittleEndianWord(f + 2), LittleEndianWord(f + 4),
                   LittleEndianWord(f + 6)};
  const int64_t frameWidth = Width(frame), frameHeight = Height(frame);
  const int64_t dstWidth = Width(dst), dstHeight = Height(dst);
  if (frameWidth <= 0 || frameHeight <= 0 || dstWidth <= 0 || dstHeight <= 0) return;
  const Rect area = Intersect(dst, s.bounds);
  const int64_t rasterBytes = blockSize - kRasterOffset;
  for (int32_t y = area.top; y < area.bottom; ++y) {
    const int64_t sourceRow = (y - dst.top) * frameHeight / dstHeight;
    uint8_t* out = PixelAt(s, area.left, y);
    for (int32_t x = area.left; x < area.right; ++x) {
      const int64_t sourceColumn = (x - dst.left) * frameWidth / dstWidth;
      const int64_t at = (sourceRow * frameWidth + sourceColumn) * kBytesPerRasterPixel;
      const uint8_t* rgb = block + kRasterOffset + at;
      *out++ = at + kBytesPerRasterPixel <= rasterBytes ? NearestIndex(rgb[0], rgb[1], rgb[2])
                                                        : kWhiteIndex;
    }
  }
}

}  // namespace

extern "C" {

TOOLBOX_API QDErr NewGWorld(GWorldPtr* offscreenGWorld, int16_t pixelDepth, const Rect* boundsRect,
                            CTabHandle /*cTable*/, GDHandle /*aGDevice*/, GWorldFlags /*flags*/) {
  if (offscreenGWorld == nullptr || boundsRect == nullptr) return paramErr;
  *offscreenGWorld = nullptr;
  if (pixelDepth != 0 && pixelDepth != kSupportedDepth) return cDepthErr;
  const int32_t width = Width(*boundsRect), height = Height(*boundsRect);
  if (width <= 0 || height <= 0) return paramErr;
  const int32_t stride = (width + 3) & ~3;
  if (stride > kMaxRowBytes || int64_t(stride) * height > kMaxPixelBytes) return memFullErr;

  try {
    gWorlds.reserve(gWorlds.size() + 1);  // so that registering the world cannot throw
  } catch (const std::bad_alloc&) {
    return memFullErr;
  }
  GrafPort* port = new (std::nothrow) GrafPort{nullptr, nullptr, kBlackIndex, kWhiteIndex};
  if (port == nullptr) return memFullErr;
  port->pixMap = reinterpret_cast<PixMapHandle>(NewHandleClear(sizeof(PixMap)));
  Handle table = port->pixMap ? NewHandleClear(sizeof(ColorTable)) : nullptr;
  port->pixels = table ? NewHandleClear(stride * height) : nullptr;  // all white (index 0)
  if (port->pixels == nullptr) {
    if (table) DisposeHandle(table);
    if (port->pixMap) DisposeHandle(reinterpret_cast<Handle>(port->pixMap));
    delete port;
    return memFullErr;
  }
  ColorTable& ct = *reinterpret_cast<CTabHandle>(table)[0];
  ct.ctSeed = kSupportedDepth;
  ct.ctSize = kColorTableEntries - 1;
  for (int i = 0; i < kColorTableEntries; ++i)
    ct.ctTable[i] = ColorSpec{int16_t(i), kSystemPalette.colors[i]};
  PixMap& pm = **port->pixMap;
  pm.baseAddr = *port->pixels;
  pm.rowBytes = int16_t(kPixMapFlag | stride);
  pm.bounds = *boundsRect;
  pm.pixelSize = kSupportedDepth;
  pm.pmTable = reinterpret_cast<CTabHandle>(table);
  gWorlds.push_back(port);
  *offscreenGWorld = port;
  return noErr;
}

TOOLBOX_API void DisposeGWorld(GWorldPtr world) {
  const auto known = std::find(gWorlds.begin(), gWorlds.end(), world);
  if (known == gWorlds.end()) return;
  gWorlds.erase(known);
  if (gCurrentPort == world) gCurrentPort = &gScreenPort;
  DisposeHandle(reinterpret_cast<Handle>((*world->pixMap)->pmTable));
  DisposeHandle(reinterpret_cast<Handle>(world->pixMap));
  DisposeHandle(world->pixels);
  delete world;
}

TOOLBOX_API void GetGWorld(CGrafPtr* port, GDHandle* gdh) {
  if (port != nullptr) *port = gCurrentPort;
  if (gdh != nullptr) *gdh = gCurrentDevice;
}

TOOLBOX_API void SetGWorld(CGrafPtr port, GDHandle gdh) {
  gCurrentPort = port != nullptr ? port : &gScreenPort;
  if (gdh != nullptr) gCurrentDevice = gdh;
}

TOOLBOX_API GDHandle GetGDevice(void) {
  return gCurrentDevice;
}

TOOLBOX_API PixMapHandle GetGWorldPixMap(GWorldPtr world) {
  return world != nullptr ? world->pixMap : nullptr;
}

TOOLBOX_API uint8_t LockPixels(PixMapHandle pm) {
  GrafPort* world = WorldOwning(pm);
  if (world == nullptr) return 0;
  HLock(world->pixels);
  (*pm)->baseAddr = *world->pixels;
  return 1;
}

TOOLBOX_API void UnlockPixels(PixMapHandle pm) {
  if (GrafPort* world = WorldOwning(pm)) HUnlock(world->pixels);
}

TOOLBOX_API void ForeColor(int32_t color) {
  gCurrentPort->foreIndex = IndexOfStandardColor(color, gCurrentPort->foreIndex);
}

TOOLBOX_API void BackColor(int32_t color) {
  gCurrentPort->backIndex = IndexOfStandardColor(color, gCurrentPort->backIndex);
}

TOOLBOX_API void EraseRect(const Rect* r) {
  if (r != nullptr) FillRect(SurfaceOf(gCurrentPort), *r, gCurrentPort->backIndex);
}

TOOLBOX_API void DrawPicture(PicHandle picture, const Rect* dstRect) {
  // Drawing a picture may give time to other 4D processes, as the host's own drawing can.
  YieldToHost();
  if (picture == nullptr || *picture == nullptr || dstRect == nullptr) return;
  const Surface s = SurfaceOf(gCurrentPort);
  if (s.pixels == nullptr) return;
  const int32_t size = GetHandleSize(picture);
  const auto* block = reinterpret_cast<const uint8_t*>(*picture);
  if (size < kRasterOffset || std::memcmp(block + kBodyOffset, kRasterTag, sizeof kRasterTag))
    return;
  DrawRaster(s, block, size, *dstRect);
}

TOOLBOX_API void CopyBits(const PixMap* srcBits, const PixMap* dstBits, const Rect* srcRect,
                          const Rect* dstRect, int16_t /*mode*/, void* maskRgn) {
  if (!srcBits || !dstBits || !srcRect || !dstRect || maskRgn != nullptr) return;
  const Surface src = SurfaceOf(srcBits), dst = SurfaceOf(dstBits);
  if (src.pixels == nullptr || dst.pixels == nullptr) return;
  if (src.pixels == dst.pixels && std::memcmp(srcRect, dstRect, sizeof(Rect)) == 0)
    return;  // nothing moves
  const int64_t sw = Width(*srcRect), sh = Height(*srcRect);
  const int64_t dw = Width(*dstRect), dh = Height(*dstRect);
  if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return;
  // Read every source pixel before writing: the two images may be the same.
  const Rect area = Intersect(*dstRect, dst.bounds);
  std::unique_ptr<uint8_t[]> copied(new (std::nothrow)
                                        uint8_t[size_t(Width(area)) * size_t(Height(area))]);
  if (copied == nullptr) return;  // nothing may throw across the toolbox's C interface
  size_t n = 0;
  for (int32_t y = area.top; y < area.bottom; ++y)
    for (int32_t x = area.left; x < area.right; ++x) {
      const int64_t sy = srcRect->top + (y - dstRect->top) * sh / dh;
      const int64_t sx = srcRect->left + (x - dstRect->left) * sw / dw;
      const bool inside = sy >= src.bounds.top && sy < src.bounds.bottom && sx >= src.bounds.left &&
                          sx < src.bounds.right;
      copied[n++] = inside ? *PixelAt(src, int32_t(sx), int32_t(sy)) : kWhiteIndex;
    }
  n = 0;
  for (int32_t y = area.top; y < area.bottom; ++y)
    for (int32_t x = area.left; x < area.right; ++x) *PixelAt(dst, x, y) = copied[n++];
}

}  // extern "C"
