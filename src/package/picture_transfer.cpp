#include "package/picture_transfer.h"

#include <algorithm>

#include "net/transfer.h"
#include "package/image_finder.h"

namespace nimbus {

int32_t PicturePieceAt(int64_t p, int64_t end, int64_t size) {
  int64_t count = std::min(end - p + 1, size - p);
  if (count > kPicturePiece) {
    count %= kPicturePiece;
    if (count == 0) count = kPicturePiece;
  }
  return int32_t(count);
}

int32_t StreamSendPicture(Slot slot, Handle block, int32_t firstOffset, int32_t lastOffset) {
  if (slot == nullptr || *slot == nullptr || block == nullptr) return -1;
  const int32_t size = std::max(GetHandleSize(block), 0);
  ImageRange range;
  if (firstOffset != 0 || lastOffset != 0) {
    range = {firstOffset, lastOffset != 0 ? lastOffset : size};
  } else {
    range = FindImage(block);
  }
  if (range.end == 0 || range.first < 0) return -1;

  // Another process may release the stream (and the slot be taken again) while a send
  // yields: the sends go to this record or not at all.
  const HeldStream stream(slot);
  const int8_t state = HGetState(block);
  HLock(block);
  int32_t status = 0;
  for (int64_t p = range.first; p < range.end && p < size && status == 0;) {
    const int32_t count = PicturePieceAt(p, range.end, size);
    status = SendBytes(stream, *block + p, count);
    if (!stream.Present()) status = -1;
    p += count;
  }
  HSetState(block, state);
  return int16_t(status);
}

}  // namespace nimbus
