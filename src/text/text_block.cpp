#include "text/text_block.h"

#include <algorithm>

namespace nimbus {

int32_t TextByteCount(const FourDText& text) {
  if (text.handle == nullptr || text.length <= 0) return 0;
  return std::min<int32_t>(text.length, std::max<int32_t>(GetHandleSize(text.handle), 0));
}

LockedBlock::LockedBlock(Handle block) : block_(block), savedState_(HGetState(block)) {
  HLock(block);
}

LockedBlock::~LockedBlock() {
  HSetState(block_, savedState_);
}

Handle NewBlockWithBytes(const uint8_t* bytes, int32_t count) {
  Handle block = NewHandle(count);
  if (block == nullptr) return nullptr;
  if (count > 0) BlockMove(bytes, *block, count);
  return block;
}

FourDText NewEmptyText() {
  Handle block = NewHandle(0);
  return block != nullptr ? FourDText{0, block} : FourDText{0, nullptr};
}

void TrimBlock(Handle block, int32_t size) {
  if (GetHandleSize(block) > size) SetHandleSize(block, size);
}

}  // namespace nimbus
