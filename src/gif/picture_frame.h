// Reading the little-endian 16-bit words of a picture block, never past its end.
#pragma once

#include <cstdint>

#include "host/toolbox.h"

namespace nimbus::gif {

constexpr int32_t kFrameTopOffset = 2;
constexpr int32_t kFrameLeftOffset = 4;
constexpr int32_t kFrameBottomOffset = 6;
constexpr int32_t kFrameRightOffset = 8;

// The size of the block, 0 for a null handle (or one with no data).
int32_t PictureSize(Handle picture);

// The signed word at `offset`, or 0 when the block does not hold both of its bytes.
int16_t PictureWord(Handle picture, int32_t offset);

}  // namespace nimbus::gif
