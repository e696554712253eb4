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
  int32_t nextFree;  // next code to give to a new string
  bool clearFlag;    // a Clear code was just written: the width returns to initialWidth
  uint32_t accumulator;
  int32_t pendingBits;  // bits of the accumulator not yet put out
};

// The string table: kCodeTableSlots keys ((pixel << 12) + prefix, kEmptyKey when free) and
// the code of each, in one fixed record of kCodeTableBytes (keys first, then codes).
struct CodeTable {
  Ptr record;
  int32_t* keys;
  uint16_t* codes;
};

struct PacketBuffer {
  uint8_t bytes[kSubBlockCapacity];
  int32_t count;
};

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
