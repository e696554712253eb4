// StreamSendPicture: a picture or BLOB block, or the image inside it, sent over a stream
// straight from the locked block.
#pragma once

#include <cstdint>

#include "host/toolbox.h"
#include "net/streams.h"

namespace nimbus {

constexpr int32_t kPicturePiece = 32000;  // the most bytes handed to one SendBytes

// The size of the piece that starts at offset p: what is left through the end offset, cut
// to the block's size; the remainder of a division by 32000 goes first so that every later
// piece is whole.
int32_t PicturePieceAt(int64_t p, int64_t end, int64_t size);

// Sends the bytes from the first offset through the end offset of the block, but none at or
// past its end, in pieces of at most 32000 bytes: the first piece carries the remainder
// (70000 bytes go as 6000, 32000, 32000). With both offsets 0 the image is found in the
// block (FindImage); a last offset of 0 alone means the block's size.
// -1 for a null block, a negative first offset, or no image found; otherwise the status of
// the sends: 0, or -1 once a send failed or the stream went away. A range that ends before
// it starts sends nothing and answers 0. The block's lock state is the same afterwards.
int32_t StreamSendPicture(Slot slot, Handle block, int32_t firstOffset, int32_t lastOffset);

}  // namespace nimbus
