// Bit packing: codes of any width up to kMaxCodeWidth, low bit first. Each code's whole
// bytes go to the sub-block stage in one 64-bit store; fewer than 8 bits stay pending.
#pragma once

#include <cstdint>

#include "gif/encoder_state.h"
#include "gif/packet_buffer.h"

namespace nimbus::gif {

inline void PackBits(LzwState& lzw, PacketBuffer& packet, OutputBlock& out, uint32_t code,
                     int32_t width) {
  lzw.accumulator |= uint64_t(code) << lzw.pendingBits;
  lzw.pendingBits += width;
  const int32_t whole = lzw.pendingBits / kBitsPerByte;
  PutPacketBytes(packet, out, lzw.accumulator, whole);
  lzw.accumulator >>= kBitsPerByte * whole;
  lzw.pendingBits -= kBitsPerByte * whole;
}

// Puts out the pending bits as a last byte, padded with zero bits.
inline void FlushBits(LzwState& lzw, PacketBuffer& packet, OutputBlock& out) {
  if (lzw.pendingBits > 0) PutPacketBytes(packet, out, lzw.accumulator, 1);
  lzw.pendingBits = 0;
  lzw.accumulator = 0;
}

}  // namespace nimbus::gif
