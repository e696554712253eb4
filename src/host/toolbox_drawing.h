// The drawing part of the toolbox seam: off-screen worlds of depth 8 and the few drawing
// calls the picture encoder makes, under their classic Toolbox names. The shapes are the
// classic ones reduced to the fields the package reads.
#pragma once

#include <cstdint>

#include "host/toolbox.h"

extern "C" {

using QDErr = int16_t;
using GWorldFlags = uint32_t;

constexpr QDErr paramErr = -50;
constexpr QDErr cDepthErr = -157;

// The eight standard colours of ForeColor and BackColor.
constexpr int32_t blackColor = 33;
constexpr int32_t whiteColor = 30;
constexpr int32_t redColor = 205;
constexpr int32_t greenColor = 341;
constexpr int32_t blueColor = 409;
constexpr int32_t cyanColor = 273;
constexpr int32_t magentaColor = 137;
constexpr int32_t yellowColor = 69;

#include "host/record_packing_begin.h"

struct RGBColor {
  uint16_t red;
  uint16_t green;
  uint16_t blue;
};

// One colour-table entry: the index it stands for and its colour.
struct ColorSpec {
  int16_t value;
  RGBColor rgb;
};

constexpr int32_t kColorTableEntries = 256;  // depth 8 is the only depth there is

// A colour table: header, then ctSize + 1 entries.
struct ColorTable {
  int32_t ctSeed;
  int16_t ctFlags;
  int16_t ctSize;
  ColorSpec ctTable[kColorTableEntries];
};
using CTabPtr = ColorTable*;
using CTabHandle = CTabPtr*;

// The top bits of rowBytes are flags; the stride is what the low bits hold.
constexpr int16_t kPixMapFlag = int16_t(0x8000);

// A pixel image. baseAddr is valid only between LockPixels and UnlockPixels.
struct PixMap {
  Ptr baseAddr;
  int16_t rowBytes;
  Rect bounds;
  int16_t pixelSize;
  CTabHandle pmTable;
};
#include "host/record_packing_end.h"

using PixMapPtr = PixMap*;
using PixMapHandle = PixMapPtr*;

struct GrafPort;  // a drawing port; an off-screen world is one
using CGrafPtr = GrafPort*;
using GWorldPtr = CGrafPtr;

struct GDevice;  // a graphics device
using GDHandle = GDevice**;

// A picture block: 2 bytes of size, the frame (top, left, bottom, right as little-endian
// int16), then the body.
using PicHandle = Handle;

}  // extern "C"

TOOLBOX_SERVICES_BEGIN

// Creates an off-screen world of the given depth (8, or 0 for the screen's) and bounds, with
// the default 256-colour table when cTable is null. Answers noErr and sets *offscreenGWorld,
// or an error and leaves it null.
TOOLBOX_SERVICE QDErr NewGWorld(GWorldPtr* offscreenGWorld, int16_t pixelDepth,
                                const Rect* boundsRect, CTabHandle cTable, GDHandle aGDevice,
                                GWorldFlags flags);
TOOLBOX_SERVICE void DisposeGWorld(GWorldPtr offscreenGWorld);
// The current port and device, and making a port current (a null device keeps the current one).
TOOLBOX_SERVICE void GetGWorld(CGrafPtr* port, GDHandle* gdh);
TOOLBOX_SERVICE void SetGWorld(CGrafPtr port, GDHandle gdh);
TOOLBOX_SERVICE GDHandle GetGDevice(void);
TOOLBOX_SERVICE PixMapHandle GetGWorldPixMap(GWorldPtr offscreenGWorld);
// Locking keeps the pixels at one address and refreshes baseAddr; answers false when the
// pixels cannot be had.
TOOLBOX_SERVICE uint8_t LockPixels(PixMapHandle pm);
TOOLBOX_SERVICE void UnlockPixels(PixMapHandle pm);

// Drawing into the current port.
TOOLBOX_SERVICE void ForeColor(int32_t color);
TOOLBOX_SERVICE void BackColor(int32_t color);
TOOLBOX_SERVICE void EraseRect(const Rect* r);
TOOLBOX_SERVICE void DrawPicture(PicHandle myPicture, const Rect* dstRect);
// Copies the pixels of srcRect in srcBits into dstRect in dstBits, scaling when the
// rectangles differ. maskRgn is not supported and must be null.
TOOLBOX_SERVICE void CopyBits(const PixMap* srcBits, const PixMap* dstBits, const Rect* srcRect,
                              const Rect* dstRect, int16_t mode, void* maskRgn);

TOOLBOX_SERVICES_END
