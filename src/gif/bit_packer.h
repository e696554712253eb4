// Bit packing: codes of any width up to kMaxCodeWidth, low bit first. Each code's whole
// bytes go to the sub-block stage in one 32-bit store; fewer than 8 bits stay pending. The
// pending bits and a code never pass 7 + 12 bits, so a 32-bit word holds them: on the 32-bit
// package a wider one would cost a register pair and double shifts for every code.
#pragma once

#include <cstdint>

#include "gif/encoder_state.h"
#include "gif/packet_buffer.h"

namespace nimbus::gif {

inline void PackBits(LzwState& lzw, PacketBuffer& packet, OutputBlock& out, uint32_t code,
                     int32_t width) {
  static_assert(kBitsPerByte - 1 + kMaxCodeWidth <= 32, "pending bits and a code fit the word");
  lzw.accumulator |= code << lzw.pendingBits;
  lzw.pendingBits += width;
  const int32_t whole = int32_t(uint32_t(lzw.pendingBits) / kBitsPerByte);  // never negative
  PutPacketBytes(packet, out, lzw.accumulator, whole);
  lzw.accumulator >>= kBitsPerByte * whole;
  lzw.pendingBits = int32_t(uint32_t(lzw.pendingBits) % kBitsPerByte);
}

// Puts out the pending bits as a last byte, padded with zero bits.
inline void FlushBits(LzwState& lzw, PacketBuffer& packet, OutputBlock& out) {
  if (lzw.pendingBits > 0) PutPacketBytes(packet, out, lzw.accumulator, 1);
  lzw.pendingBits = 0;
  lzw.accumulator = 0;
}

}  // namespace nimbus::gif
