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

// The code writer: the LZW counters and the open sub-block. Compress works on its own copy,
// which the compiler keeps in registers: the state's fields would be read again after every
// byte stored into the output, which might (for all the compiler knows) have changed them.
struct CodeWriter {
  LzwState& lzw;
  PacketBuffer& packet;
  OutputBlock& output;
};

inline void PutCode(const CodeWriter& writer, int32_t code) {
  PackBits(writer.lzw, writer.packet, writer.output, uint32_t(code), writer.lzw.width);
  UpdateWidth(writer.lzw);
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

// ---- The plain dictionary ------------------------------------------------------------------

// Which table answers in the current block, and what the dictionary holds.
struct Dictionary {
  bool slotsInUse;     // key 0 was added: the probed slots answer until the next Clear code
  int32_t logged;      // strings in the log
  int32_t deepFilled;  // deep slots filled, listed in the table's deepUsed
};

inline uint32_t PairOf(int32_t prefix, int32_t pixel) {
  return uint32_t(prefix) * kPixelValues + uint32_t(pixel);
}
inline bool PairAdded(const uint32_t* bits, uint32_t pair) {
  return (bits[pair / 32] >> (pair % 32) & 1) != 0;
}

// Strings whose prefix is longer than one pixel: a multiplicative hash of the key, probed
// forwards one slot at a time, at most half full.
inline int32_t DeepSlotOf(uint32_t key) {
  return int32_t((key * 0x9E3779B1u) >> (32 - kDeepSlotBits));
}
inline int32_t FindDeep(const CodeSlot* deep, int32_t key, int32_t* slot) {
  const CodeSlot keyBits = SlotOf(key, 0);
  int32_t i = DeepSlotOf(uint32_t(key));
  for (;;) {
    const CodeSlot s = deep[i];
    if (Holds(s, keyBits)) return int32_t(s & kCodeMask);
    if (s == kEmptySlot) break;
    i = (i + 1) & (kDeepSlots - 1);
  }
  *slot = i;
  return -1;
}

// The matching loops: from `run`, extend the string `prefix` pixel by pixel while the table
// answers at the first look, and answer the first pixel that needs more (or `end`).
//
// A flat stretch of pixels matches strings added one after the other, each one pixel longer
// than the last, so each step's code is the one after the step before. There the loops
// expect that code and only check the slot for it: the next pixel's slot address is known
// before the read finishes, and the pixels no longer wait on each other's table reads.

// The word of a slot holding (pixel, prefix) with the code after the prefix's.
inline CodeSlot NextCodeSlot(uint32_t pixel, uint32_t prefix) {
  return CodeSlot(pixel << kMaxCodeWidth | prefix) << kMaxCodeWidth | (prefix + 1);
}

// The probed slots: a pixel extends the string when the first slot of its probe holds it.
inline const uint8_t* MatchInSlots(const CodeSlot* const slots, const uint8_t* run,
                                   const uint8_t* const end, int32_t& prefix) {
  uint32_t code = uint32_t(prefix);
  while (run != end) {
    const uint32_t pixel = *run;
    const CodeSlot s = slots[(pixel << kHashShift) ^ code];
    // The slot's key is this string's and its code is not 0 (the empty slot's key is 0 too).
    if (s >> kMaxCodeWidth != (pixel << kMaxCodeWidth | code) || s == kEmptySlot) break;
    ++run;
    code = s & kCodeMask;
    while (run != end && slots[(uint32_t(*run) << kHashShift) ^ code] == NextCodeSlot(*run, code)) {
      ++run;
      ++code;
    }
  }
  prefix = int32_t(code);
  return run;
}

// The plain dictionary: a one-pixel string's pairs by their bit, longer ones in the deep
// slots.
inline const uint8_t* MatchInDictionary(const uint32_t* const pairAdded,
                                        const uint16_t* const pairCodes, const CodeSlot* const deep,
                                        const uint8_t* run, const uint8_t* const end,
                                        int32_t& prefix) {
  int32_t code = prefix;
  for (; run != end; ++run) {
    const int32_t pixel = *run;
    if (code < kPixelValues) {
      const uint32_t pair = PairOf(code, pixel);
      if (!PairAdded(pairAdded, pair)) break;
      code = pairCodes[pair];
    } else {
      int32_t unused = 0;
      const int32_t found = FindDeep(deep, (pixel << kMaxCodeWidth) + code, &unused);
      if (found < 0) break;
      code = found;
      // Where the flat stretch goes on, its strings sit at their first slots.
      while (run + 1 != end) {
        const uint32_t next = run[1];
        const uint32_t key = next << kMaxCodeWidth | uint32_t(code);
        if (deep[DeepSlotOf(key)] != NextCodeSlot(next, uint32_t(code))) break;
        ++run;
        ++code;
      }
    }
  }
  prefix = code;
  return run;
}

// Empties the dictionary: its bits and deep slots are all clear again.
void ForgetDictionary(CodeTable& table, Dictionary& dictionary) {
  std::memset(table.pairAdded, 0, kPairs / 8);
  for (int32_t n = 0; n < dictionary.deepFilled; ++n) table.deep[table.deepUsed[n]] = kEmptySlot;
  dictionary = Dictionary{false, 0, 0};
}

// Puts the logged strings into the emptied slots, in the order they were added: each lands
// where the probe of the step-by-step encoder put it, as no key 0 was among them.
void FillSlotsFromLog(CodeTable& table, int32_t logged) {
  ClearCodeTable(table);
  for (int32_t n = 0; n < logged; ++n) {
    const CodeSlot word = table.log[n];
    const int32_t key = int32_t(word >> kMaxCodeWidth);
    int32_t slot = 0;
    FindString(table.slots, key, key >> kMaxCodeWidth, key & kCodeMask, &slot);  // a miss
    table.slots[slot] = word;
  }
}

// Starts a new table: emptied, codes from Clear + 2 on, and a Clear code in the data.
void ClearBlock(const CodeWriter& writer, CodeTable& table, Dictionary& dictionary) {
  LzwState& lzw = writer.lzw;
  ForgetDictionary(table, dictionary);
  lzw.nextFree = lzw.clearCode + 2;
  lzw.clearFlag = true;
  PutCode(writer, lzw.clearCode);
}

}  // namespace

void ClearCodeTable(CodeTable& table) {
  std::memset(table.slots, kEmptySlot, sizeof(CodeSlot) * kCodeTableSlots);
}

void WriteCode(EncoderState& state, int32_t code) {
  PutCode(CodeWriter{state.lzw, state.packet, state.output}, code);
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
  Dictionary dictionary{false, 0, 0};
  WriteCode(state, lzw.clearCode);

  LzwState codes = state.lzw;
  PacketBuffer packet = state.packet;
  const CodeWriter writer{codes, packet, state.output};

  // Two ways to the same table. The probed slots decide the file in one case only: a probe
  // ends at a slot holding key 0 (pixel 0 after the one-pixel string 0) as at an empty one,
  // so once key 0 is in, a later string can be missed and written over it. Until key 0 is
  // added in a block, the slots are a plain dictionary and any other gives the same
  // answers. The plain dictionary answers for most strings (one-pixel prefixes) with the
  // test of one bit, where a probe of the slots would follow a chain and mispredict where it
  // ends. The strings added meanwhile are logged; when key 0 is added, the slots are filled
  // from the log and answer until the next Clear code.
  CodeTable& table = state.table;
  do {
    // One row of pixels at a time, with no call per pixel while strings match. After a match,
    // the matching loops follow the string on for as long as the table answers at the first
    // look; they return at the first pixel that needs more.
    for (const uint8_t* const end = run + count; run != end; ++run) {
      const int32_t pixel = *run;
      const int32_t key = (pixel << kMaxCodeWidth) + prefix;
      const uint32_t pair = PairOf(prefix, pixel);
      int32_t slot = 0;
      if (dictionary.slotsInUse) {
        const int32_t code = FindString(table.slots, key, pixel, prefix, &slot);
        if (code >= 0) {
          prefix = code;
          run = MatchInSlots(table.slots, run + 1, end, prefix) - 1;
          continue;
        }
      } else {
        const int32_t code = prefix < kPixelValues
                                 ? PairAdded(table.pairAdded, pair) ? table.pairCodes[pair] : -1
                                 : FindDeep(table.deep, key, &slot);
        if (code >= 0) {
          prefix = code;
          run = MatchInDictionary(table.pairAdded, table.pairCodes, table.deep, run + 1, end,
                                  prefix) -
                1;
          continue;
        }
      }
      PutCode(writer, prefix);
      const bool onePixelPrefix = prefix < kPixelValues;
      prefix = pixel;
      if (codes.nextFree >= kCodeLimit) {
        ClearBlock(writer, table, dictionary);
      } else {
        const int32_t code = codes.nextFree++;
        const CodeSlot added = SlotOf(key, code);
        if (dictionary.slotsInUse) {
          table.slots[slot] = added;
        } else if (key == 0) {
          FillSlotsFromLog(table, dictionary.logged);
          dictionary.slotsInUse = true;
          FindString(table.slots, key, pixel, 0, &slot);
          table.slots[slot] = added;
        } else {
          table.log[dictionary.logged++] = added;
          if (onePixelPrefix) {
            table.pairAdded[pair / 32] |= uint32_t(1) << (pair % 32);
            table.pairCodes[pair] = uint16_t(code);
          } else {
            table.deep[slot] = added;
            table.deepUsed[dictionary.deepFilled++] = uint16_t(slot);
          }
        }
      }
      if (state.output.failed) break;  // no file can come of it now
    }
  } while (!state.output.failed && (run = TakeRun(state.cursor, &count)) != nullptr);
  state.lzw = codes;
  state.packet = packet;
  ForgetDictionary(table, dictionary);  // clear between encodings
  if (state.output.failed) return;
  WriteCode(state, prefix);
  WriteCode(state, lzw.endCode);
}

}  // namespace nimbus::gif
