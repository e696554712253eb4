#include "gif/lzw_compressor.h"

#include <cstring>

#include "gif/bit_packer.h"
#include "gif/packet_buffer.h"
#include "gif/pixel_cursor.h"

namespace nimbus::gif {
namespace {

constexpr int32_t MaxCodeOf(int32_t width) {
  return (int32_t(1) << width) - 1;
}

// Slot words. An empty slot is 0; a key's slot holds key << kMaxCodeWidth | code, with a
// code of at least the first free code, so never 0.
constexpr CodeSlot kEmptySlot = 0;
constexpr CodeSlot kCodeMask = kCodeLimit - 1;
static_assert(kMaxCodeWidth + 20 == 32, "key and code fill the word");

constexpr CodeSlot SlotOf(int32_t key, int32_t code) {
  return CodeSlot(key) << kMaxCodeWidth | CodeSlot(code);
}
// The slot holds this key (as SlotOf(key, 0) gives it): same key bits and a nonzero code.
constexpr bool Holds(CodeSlot slot, CodeSlot keyBits) {
  return (slot ^ keyBits) - 1 < kCodeMask;
}
// The slot holds a key greater than 0: probing goes on past it.
constexpr bool HoldsPositiveKey(CodeSlot slot) {
  return slot > kCodeMask;
}

// Code-width rules, after each code: a Clear code just written takes the width back to the
// initial one; otherwise the width grows once the next free code no longer fits, up to
// kMaxCodeWidth (whose maximum code is then kCodeLimit, so it never grows past it).
inline void UpdateWidth(LzwState& lzw) {
  if (lzw.nextFree <= lzw.maxCode && !lzw.clearFlag) return;
  if (lzw.clearFlag) {
    lzw.width = lzw.initialWidth;
    lzw.maxCode = MaxCodeOf(lzw.width);
    lzw.clearFlag = false;
  } else {
    ++lzw.width;
    lzw.maxCode = lzw.width == kMaxCodeWidth ? kCodeLimit : MaxCodeOf(lzw.width);
  }
}

inline void PutCode(EncoderState& state, int32_t code) {
  PackBits(state.lzw, state.packet, state.output, uint32_t(code), state.lzw.width);
  UpdateWidth(state.lzw);
}

// Starts a new table: emptied, codes from Clear + 2 on, and a Clear code in the data.
void ClearBlock(EncoderState& state) {
  LzwState& lzw = state.lzw;
  ClearCodeTable(state.table);
  lzw.nextFree = lzw.clearCode + 2;
  lzw.clearFlag = true;
  PutCode(state, lzw.clearCode);
}

// The slot before `i` on its probe sequence: back by `step`, wrapping with an addition
// instead of a modulo.
inline int32_t ProbeBack(int32_t i, int32_t step) {
  i -= step;
  return i < 0 ? i + kCodeTableSlots : i;
}

// Where a probe ends: at the slot holding the key, or at the first slot whose key is not
// greater than 0 (an empty one, or one holding key 0).
constexpr bool EndsProbe(CodeSlot slot, CodeSlot keyBits) {
  return Holds(slot, keyBits) || !HoldsPositiveKey(slot);
}

// Finds (pixel, prefix) in the table. Answers its code, or -1 with *slot set to the slot a
// new entry goes into. The first slot is (pixel << kHashShift) ^ prefix, and an empty one
// ends the search there; otherwise the probe steps backwards by the distance from the
// table's end (1 from slot 0) until a slot ends it.
inline int32_t FindString(const CodeSlot* slots, int32_t key, int32_t pixel, int32_t prefix,
                          int32_t* slot) {
  const CodeSlot keyBits = SlotOf(key, 0);
  int32_t i = (pixel << kHashShift) ^ prefix;
  CodeSlot s = slots[i];
  if (Holds(s, keyBits)) return int32_t(s & kCodeMask);
  if (s != kEmptySlot) {
    const int32_t step = i == 0 ? 1 : kCodeTableSlots - i;
    do {
      i = ProbeBack(i, step);
      s = slots[i];
    } while (!EndsProbe(s, keyBits));
    if (Holds(s, keyBits)) return int32_t(s & kCodeMask);
  }
  *slot = i;
  return -1;
}

}  // namespace

void ClearCodeTable(CodeTable& table) {
  std::memset(table.slots, kEmptySlot, sizeof(CodeSlot) * kCodeTableSlots);
}

void WriteCode(EncoderState& state, int32_t code) {
  PutCode(state, code);
  if (code == state.lzw.endCode) {
    FlushBits(state.lzw, state.packet, state.output);
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
  lzw.accumulator = 0;
  lzw.pendingBits = 0;
  state.packet = PacketBuffer{kNoSubBlock, 0};

  // The image has at least one pixel: the first one starts the first string.
  int32_t count = 0;
  const uint8_t* run = TakeRun(state.cursor, &count);
  int32_t prefix = *run++;
  --count;
  ClearCodeTable(state.table);
  WriteCode(state, lzw.clearCode);

  CodeSlot* const slots = state.table.slots;
  do {
    // One row of pixels at a time, with no call per pixel while strings match.
    for (const uint8_t* const end = run + count; run != end; ++run) {
      const int32_t pixel = *run;
      const int32_t key = (pixel << kMaxCodeWidth) + prefix;
      int32_t slot = 0;
      const int32_t code = FindString(slots, key, pixel, prefix, &slot);
      if (code >= 0) {
        prefix = code;
        continue;
      }
      PutCode(state, prefix);
      prefix = pixel;
      if (lzw.nextFree < kCodeLimit) {
        slots[slot] = SlotOf(key, lzw.nextFree++);
      } else {
        ClearBlock(state);
      }
      if (state.output.failed) return;  // no file can come of it now
    }
  } while ((run = TakeRun(state.cursor, &count)) != nullptr);
  WriteCode(state, prefix);
  WriteCode(state, lzw.endCode);
}

}  // namespace nimbus::gif
