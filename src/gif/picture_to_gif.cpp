// PictureToGIF: renders a 4D picture into an off-screen world of depth 8 and encodes that
// image. The encoder has one static state, so an encoding waits while another process's
// encoding (which may yield while the host draws) is under way.
#include <cstdint>

#include "gif/gif.h"
#include "gif/gif_constants.h"
#include "gif/picture_frame.h"
#include "host/toolbox_drawing.h"
#include "host/toolbox_services.h"

namespace nimbus {
namespace {

constexpr int16_t kOffscreenDepth = gif::kBitsPerPixel;
constexpr int16_t kFinalIndexCopyMode = 1024;  // host copy mode that settles final indices
constexpr int16_t kStrideMask = 0x0FFF;        // the top four bits of rowBytes are flags
constexpr int32_t kMaxExtent = INT16_MAX;      // world bounds are 16-bit

// The pixel image of the encoding under way; null when none is.
PixMapHandle gBusyMarker = nullptr;

// The requested extent (low 16 bits of the longint) when positive, else the frame's.
int32_t ImageExtent(int32_t requested, Handle picture, int32_t lowOffset, int32_t highOffset) {
  const int16_t asked = int16_t(requested);
  if (asked > 0) return asked;
  return int32_t(gif::PictureWord(picture, highOffset)) - gif::PictureWord(picture, lowOffset);
}

// The low byte of each entry's components, as the file's colour table holds them.
void ReadPalette(const ColorTable& table, uint8_t* palette) {
  const int32_t last = table.ctSize < kColorTableEntries ? table.ctSize : kColorTableEntries - 1;
  for (int32_t i = 0; i < gif::kColorCount; ++i) {
    const RGBColor c = i <= last ? table.ctTable[i].rgb : RGBColor{0, 0, 0};
    palette[i * gif::kBytesPerColor + 0] = uint8_t(c.red);
    palette[i * gif::kBytesPerColor + 1] = uint8_t(c.green);
    palette[i * gif::kBytesPerColor + 2] = uint8_t(c.blue);
  }
}

// Encodes the locked image of the world. A world the encoder cannot read (rows wider than
// the stride field holds, another depth, no colour table) gives no file, with the beep.
Handle EncodeLockedImage(PixMapHandle pixMap, int32_t width, int32_t height, int32_t options,
                         int32_t column, int32_t row) {
  // Everything is copied out of the pixel image before EncodeGIF allocates and moves blocks.
  const PixMap& pm = **pixMap;
  const int32_t stride = pm.rowBytes & kStrideMask;
  if (pm.pixelSize != kOffscreenDepth || pm.baseAddr == nullptr || pm.pmTable == nullptr ||
      *pm.pmTable == nullptr || stride < width) {
    SysBeep(gif::kAlertBeep);
    return nullptr;
  }
  uint8_t palette[gif::kColorTableBytes];
  ReadPalette(**pm.pmTable, palette);
  const auto* base = reinterpret_cast<const uint8_t*>(pm.baseAddr);

  // A transparency pixel outside the image makes no colour transparent.
  int16_t transparent = gif::kNoTransparency;
  const int16_t x = int16_t(column), y = int16_t(row);
  if ((options & gif::kOptionTransparency) && x >= 0 && x < width && y >= 0 && y < height)
    transparent = base[int64_t(stride) * y + x];

  const GifImage image{
      base, stride, width, height, palette, (options & gif::kOptionInterlace) != 0, transparent};
  return EncodeGIF(image);
}

}  // namespace

Handle PictureToGIF(Handle picture, int32_t options, int32_t width, int32_t height, int32_t column,
                    int32_t row) {
  // A host without every drawing service cannot make the image: empty, as when the world
  // cannot be made.
  if (!toolbox::DrawingServicesBound()) return nullptr;
  while (gBusyMarker != nullptr) YieldToHost();

  const int32_t w = ImageExtent(width, picture, gif::kFrameLeftOffset, gif::kFrameRightOffset);
  const int32_t h = ImageExtent(height, picture, gif::kFrameTopOffset, gif::kFrameBottomOffset);
  if (w <= 0 || h <= 0 || w > kMaxExtent || h > kMaxExtent) return nullptr;

  CGrafPtr savedPort = nullptr;
  GDHandle savedDevice = nullptr;
  GetGWorld(&savedPort, &savedDevice);
  Rect bounds;
  SetRect(&bounds, 0, 0, int16_t(w), int16_t(h));
  GWorldPtr world = nullptr;
  if (NewGWorld(&world, kOffscreenDepth, &bounds, nullptr, nullptr, 0) != noErr || !world)
    return nullptr;
  SetGWorld(world, nullptr);
  ForeColor(blackColor);
  BackColor(whiteColor);
  PixMapHandle pixMap = GetGWorldPixMap(world);
  gBusyMarker = pixMap;

  // The pixels stay locked from before the drawing (which may yield) to the end.
  Handle file = nullptr;
  if (pixMap != nullptr && LockPixels(pixMap)) {
    EraseRect(&bounds);
    DrawPicture(picture, &bounds);
    CopyBits(*pixMap, *pixMap, &bounds, &bounds, kFinalIndexCopyMode, nullptr);
    file = EncodeLockedImage(pixMap, w, h, options, column, row);
    UnlockPixels(pixMap);
  } else {
    SysBeep(gif::kAlertBeep);
  }

  SetGWorld(savedPort, GetGDevice());
  DisposeGWorld(world);
  gBusyMarker = nullptr;
  return file;
}

}  // namespace nimbus
