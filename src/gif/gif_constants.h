// The fixed numbers of the GIF encoder: the file's structure bytes and the LZW limits.
#pragma once

#include <cstdint>

namespace nimbus::gif {

// ---- Image ----------------------------------------------------------------------------------
constexpr int32_t kBitsPerPixel = 8;
constexpr int32_t kColorCount = 1 << kBitsPerPixel;  // entries of the global colour table
constexpr int32_t kBytesPerColor = 3;                // red, green, blue
constexpr int32_t kColorTableBytes = kColorCount * kBytesPerColor;

// PictureToGIF's option bits.
constexpr int32_t kOptionInterlace = 1 << 0;
constexpr int32_t kOptionTransparency = 1 << 1;
constexpr int16_t kNoTransparency = -1;

// ---- File structure -------------------------------------------------------------------------
constexpr char kSignature87[] = "GIF87a";  // written without the terminator
constexpr char kSignature89[] = "GIF89a";  // needed for the transparent colour
constexpr int32_t kSignatureLength = 6;
constexpr uint8_t kGlobalColorTableFlag = 0x80;
constexpr int32_t kColorResolutionShift = 4;
constexpr uint8_t kBackgroundIndex = 0;
constexpr uint8_t kPixelAspectRatio = 0;  // no aspect information
constexpr uint8_t kExtensionIntroducer = 0x21;
constexpr uint8_t kGraphicControlLabel = 0xF9;
constexpr uint8_t kGraphicControlSize = 4;
constexpr uint8_t kTransparentColorFlag = 0x01;  // disposal 0, no user input
constexpr uint16_t kNoDelay = 0;
constexpr uint8_t kImageSeparator = 0x2C;
constexpr uint8_t kInterlaceFlag = 0x40;
constexpr uint8_t kNoLocalColorTable = 0x00;
constexpr uint8_t kBlockTerminator = 0x00;
constexpr uint8_t kTrailer = 0x3B;

// ---- LZW ------------------------------------------------------------------------------------
constexpr int32_t kMaxCodeWidth = 12;
constexpr int32_t kCodeLimit = 1 << kMaxCodeWidth;  // codes are below this
constexpr int32_t kCodeTableSlots = 5003;           // a prime a little above kCodeLimit * 1.2
// Slot of a (pixel, prefix) pair: (pixel << kHashShift) ^ prefix. 8 minus the number of
// doublings that take kCodeTableSlots to 65536 or more.
constexpr int32_t kHashShift = 4;
constexpr int32_t kCodeSlotBytes = 4;  // a 20-bit key and its 12-bit code
// Beside the slots, a plain dictionary of the strings added since the last Clear code (see
// lzw_compressor.cpp): for one-pixel prefixes a bit and a code per (prefix, pixel) pair, for
// longer ones a hash of kDeepSlots; and the log of the strings added, in order.
constexpr int32_t kPixelValues = 256;
constexpr int32_t kPairs = kPixelValues * kPixelValues;
constexpr int32_t kDeepSlotBits = 13;
constexpr int32_t kDeepSlots = 1 << kDeepSlotBits;
constexpr int32_t kCodeTableBytes =
    (kCodeTableSlots + kCodeLimit + kPairs / 32 + kDeepSlots) * 4 + (kPairs + kCodeLimit) * 2;
constexpr int32_t kBitsPerByte = 8;

// ---- Output ---------------------------------------------------------------------------------
constexpr int32_t kSubBlockCapacity = 254;  // data sub-blocks of at most this many bytes
constexpr int32_t kOutputStep = 1024;       // first size of the output block and its growth

// Alert beep when a block cannot be had.
constexpr int16_t kAlertBeep = 60;

}  // namespace nimbus::gif
