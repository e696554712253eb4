// The encoder's one set of state. Only one encoding runs at a time (PictureToGIF guards it
// with its busy marker); every encoding resets the state before it writes.
#pragma once

#include <cstdint>

#include "gif/gif_constants.h"
#include "host/toolbox.h"

namespace nimbus::gif {

// Where the next pixel comes from. Rows are `stride` bytes apart from `base`.
struct PixelCursor {
  const uint8_t* base;
  int32_t stride;
  int32_t width;
  int32_t height;
  bool interlaced;
  int32_t column;
  int32_t row;
  int32_t pass;       // interlace pass, 0 to 3
  int32_t remaining;  // pixels still to deliver
  const uint8_t* address;
};

struct LzwState {
  int32_t initialWidth;  // code width after every Clear code
  int32_t width;         // current code width, at most kMaxCodeWidth
  int32_t maxCode;       // largest code the current width holds
  int32_t clearCode;
  int32_t endCode;
  int32_t nextFree;      // next code to give to a new string
  bool clearFlag;        // a Clear code was just written: the width returns to initialWidth
  uint32_t accumulator;  // pending bits, low bit first; nothing above them
  int32_t pendingBits;   // bits of the accumulator not yet put out, fewer than 8
};

// One slot of the string table: a string's key ((pixel << 12) + prefix, 20 bits) and its
// code (12 bits) in one word, key above code, so a probe reads both at once. The codes in the
// table are never 0, so the word 0 can mark an empty slot.
using CodeSlot = uint32_t;
static_assert(sizeof(CodeSlot) == kCodeSlotBytes);

// The string table, in one fixed record of kCodeTableBytes: the kCodeTableSlots slots whose
// probe decides the file, and a plain dictionary that answers the same while they cannot
// differ (see lzw_compressor.cpp). The dictionary's bits and deep slots are all clear between
// encodings.
struct CodeTable {
  Ptr record;
  CodeSlot* slots;
  CodeSlot* log;        // the strings added since the last Clear code, in order
  uint32_t* pairAdded;  // a bit per (one-pixel prefix, pixel) pair
  CodeSlot* deep;       // strings with longer prefixes, hashed
  uint16_t* pairCodes;  // the code of each added pair
  uint16_t* deepUsed;   // the deep slots filled since the last Clear code
};

// The data sub-block being filled. Its bytes go straight into the output block: the count
// byte is reserved at `countOffset` when the sub-block opens and written when it closes.
struct PacketBuffer {
  int32_t countOffset;  // kNoSubBlock when no sub-block is open
  int32_t count;        // bytes in the open sub-block
};
constexpr int32_t kNoSubBlock = -1;

// The block receiving the file. Positions are offsets, so the block may move as it grows.
struct OutputBlock {
  Handle block;
  int32_t position;  // next byte to write
  int32_t end;       // size of the block
  bool failed;       // the block could not grow: nothing more is written
};

struct EncoderState {
  PixelCursor cursor;
  LzwState lzw;
  CodeTable table;  // kept from one encoding to the next
  PacketBuffer packet;
  OutputBlock output;
};

// The encoder's static state.
EncoderState& SharedEncoderState();

// Zeroes the cursor's counters, the LZW state and the packet buffer; keeps the code table,
// the pixel base and the output block.
void ResetEncoderState(EncoderState& state);

// Allocates the code table's record unless it exists. False when it cannot be had.
bool EnsureCodeTable(CodeTable& table);
// Gives the record back (at unload, or when a test is done with its own state).
void ReleaseCodeTable(CodeTable& table);

}  // namespace nimbus::gif
