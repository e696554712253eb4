#include "gif/lzw_compressor.h"

#include "gif/packet_buffer.h"
#include "gif/pixel_cursor.h"

namespace nimbus::gif {
namespace {

constexpr uint32_t MaskOf(int32_t bits) {
  return (uint32_t(1) << bits) - 1;
}

constexpr struct Masks {
  uint32_t of[kMaskCount];
  constexpr Masks() : of{} {
    for (int32_t k = 0; k < kMaskCount; ++k) of[k] = MaskOf(k);
  }
} kMasks;

constexpr int32_t MaxCodeOf(int32_t width) {
  return int32_t(MaskOf(width));
}

// Starts a new table: emptied, codes from Clear + 2 on, and a Clear code in the data.
void ClearBlock(EncoderState& state) {
  LzwState& lzw = state.lzw;
  ClearCodeTable(state.table);
  lzw.nextFree = lzw.clearCode + 2;
  lzw.clearFlag = true;
  WriteCode(state, lzw.clearCode);
}

// Finds (pixel, prefix) in the table. Answers its code, or -1 with *slot set to the slot a
// new entry goes into.
inline int32_t FindString(const CodeTable& table, int32_t key, int32_t pixel, int32_t prefix,
                          int32_t* slot) {
  int32_t i = (pixel << kHashShift) ^ prefix;
  if (table.keys[i] == key) return table.codes[i];
  if (table.keys[i] >= 0) {
    // Secondary probe, stepping backwards by the distance from the table's end.
    const int32_t step = i == 0 ? 1 : kCodeTableSlots - i;
    do {
      i -= step;
      if (i < 0) i += kCodeTableSlots;
      if (table.keys[i] == key) return table.codes[i];
    } while (table.keys[i] > 0);
  }
  *slot = i;
  return -1;
}

}  // namespace

void ClearCodeTable(CodeTable& table) {
  for (int32_t i = 0; i < kCodeTableSlots; ++i) table.keys[i] = kEmptyKey;
}

void WriteCode(EncoderState& state, int32_t code) {
  LzwState& lzw = state.lzw;
  lzw.accumulator &= kMasks.of[lzw.pendingBits];
  if (lzw.pendingBits > 0)
    lzw.accumulator |= uint32_t(code) << lzw.pendingBits;
  else
    lzw.accumulator = uint32_t(code);
  lzw.pendingBits += lzw.width;
  while (lzw.pendingBits >= kBitsPerByte) {
    PutPacketByte(state.packet, state.output, uint8_t(lzw.accumulator));
    lzw.accumulator >>= kBitsPerByte;
    lzw.pendingBits -= kBitsPerByte;
  }

  if (lzw.nextFree > lzw.maxCode || lzw.clearFlag) {
    if (lzw.clearFlag) {
      lzw.width = lzw.initialWidth;
      lzw.maxCode = MaxCodeOf(lzw.width);
      lzw.clearFlag = false;
    } else {
      ++lzw.width;
      lzw.maxCode = lzw.width == kMaxCodeWidth ? kCodeLimit : MaxCodeOf(lzw.width);
    }
  }

  if (code == lzw.endCode) {
    while (lzw.pendingBits > 0) {
      PutPacketByte(state.packet, state.output, uint8_t(lzw.accumulator));
      lzw.accumulator >>= kBitsPerByte;
      lzw.pendingBits -= kBitsPerByte;
    }
    lzw.pendingBits = 0;
    FlushPacket(state.packet, state.output);
  }
}

void Compress(EncoderState& state, int32_t initialWidth) {
  LzwState& lzw = state.lzw;
  lzw.initialWidth = initialWidth;
  lzw.width = initialWidth;
  lzw.maxCode = MaxCodeOf(initialWidth);
  lzw.clearCode = 1 << (initialWidth - 1);
  lzw.endCode = lzw.clearCode + 1;
  lzw.nextFree = lzw.clearCode + 2;
  lzw.clearFlag = false;
  state.packet.count = 0;

  PixelCursor& cursor = state.cursor;
  int32_t prefix = NextPixel(cursor);
  ClearCodeTable(state.table);
  WriteCode(state, lzw.clearCode);

  for (int32_t pixel = NextPixel(cursor); pixel != kEndOfPixels; pixel = NextPixel(cursor)) {
    const int32_t key = (pixel << kMaxCodeWidth) + prefix;
    int32_t slot = 0;
    const int32_t code = FindString(state.table, key, pixel, prefix, &slot);
    if (code >= 0) {
      prefix = code;
      continue;
    }
    WriteCode(state, prefix);
    prefix = pixel;
    if (lzw.nextFree < kCodeLimit) {
      state.table.codes[slot] = uint16_t(lzw.nextFree++);
      state.table.keys[slot] = key;
    } else {
      ClearBlock(state);
    }
    if (state.output.failed) return;  // no file can come of it now
  }
  WriteCode(state, prefix);
  WriteCode(state, lzw.endCode);
}

}  // namespace nimbus::gif
