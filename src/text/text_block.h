// Access to the bytes of Texts and blocks for the text conversions.
#pragma once

#include <cstdint>

#include "host/fourd_params.h"
#include "host/toolbox.h"

namespace nimbus {

// The number of characters a Text holds: its length clipped to its block, 0 for a null handle
// or a length of 0 or less.
int32_t TextByteCount(const FourDText& text);

// Keeps a block locked while raw pointers into it are in use, and gives it back its former
// lock state afterwards. Allocations and resizes of other blocks may then move everything but
// this one.
class LockedBlock {
 public:
  explicit LockedBlock(Handle block);
  ~LockedBlock();
  LockedBlock(const LockedBlock&) = delete;
  LockedBlock& operator=(const LockedBlock&) = delete;

  uint8_t* bytes() const { return reinterpret_cast<uint8_t*>(*block_); }

 private:
  Handle block_;
  int8_t savedState_;
};

// A new block holding a copy of bytes[0..count): the result block of a conversion. Null when
// it cannot be allocated.
Handle NewBlockWithBytes(const uint8_t* bytes, int32_t count);

// The result of a conversion of a Text without characters: a new empty block, or kNoText
// when even that cannot be allocated.
FourDText NewEmptyText();

// Shrinks a block to `size` bytes after a conversion that wrote fewer than it held. A block
// that refuses to shrink keeps its extra bytes, which lie beyond the Text's length.
void TrimBlock(Handle block, int32_t size);

}  // namespace nimbus
