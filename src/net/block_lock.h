// Keeps a relocatable block in place while raw pointers into it are held (a send loop
// yields, and a yield may move unlocked blocks), then restores the lock state it found.
#pragma once

#include "host/toolbox.h"

namespace nimbus {

class BlockLock {
 public:
  explicit BlockLock(Handle block) : block_(block) {
    if (block_ == nullptr) return;
    saved_ = HGetState(block_);
    HLock(block_);
  }
  ~BlockLock() {
    if (block_ != nullptr) HSetState(block_, saved_);
  }
  BlockLock(const BlockLock&) = delete;
  BlockLock& operator=(const BlockLock&) = delete;

 private:
  Handle block_;
  int8_t saved_ = 0;
};

}  // namespace nimbus
