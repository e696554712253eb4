// Data sub-blocks: compressed bytes gather in the packet buffer and go to the output as a
// count byte and at most kSubBlockCapacity bytes.
#pragma once

#include <cstdint>

#include "gif/encoder_state.h"
#include "gif/output_block.h"

namespace nimbus::gif {

// Writes the buffer as one sub-block and empties it; an empty buffer writes nothing.
inline void FlushPacket(PacketBuffer& packet, OutputBlock& out) {
  if (packet.count == 0) return;
  WriteByte(out, uint8_t(packet.count));
  WriteBytes(out, packet.bytes, packet.count);
  packet.count = 0;
}

inline void PutPacketByte(PacketBuffer& packet, OutputBlock& out, uint8_t byte) {
  packet.bytes[packet.count++] = byte;
  if (packet.count == kSubBlockCapacity) FlushPacket(packet, out);
}

}  // namespace nimbus::gif
