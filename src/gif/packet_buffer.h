// Data sub-blocks: compressed bytes go straight into the output block, behind a count byte
// reserved when the sub-block opens; a sub-block closes at kSubBlockCapacity bytes.
//
// Bytes arrive a few at a time as the low bytes of a 32-bit word, and the whole word is
// stored at once: the bytes past the ones that count are overwritten by the next store, so
// an open sub-block keeps kStoreSlack bytes of room past its end.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "gif/encoder_state.h"
#include "gif/output_block.h"

namespace nimbus::gif {

constexpr int32_t kStoreBytes = 4;
constexpr int32_t kStoreSlack = 2 * kStoreBytes;

// Reserves the count byte and room for a whole sub-block. False when the output cannot grow.
inline bool OpenSubBlock(PacketBuffer& packet, OutputBlock& out) {
  if (!EnsureRoom(out, 1 + kSubBlockCapacity + kStoreSlack)) return false;
  packet.countOffset = out.position++;
  packet.count = 0;
  return true;
}

// Closes the open sub-block by writing its count; with none open, writes nothing.
inline void FlushPacket(PacketBuffer& packet, OutputBlock& out) {
  if (packet.countOffset == kNoSubBlock) return;
  if (!out.failed) (*out.block)[packet.countOffset] = char(packet.count);
  packet.countOffset = kNoSubBlock;
  packet.count = 0;
}

inline void StoreLittleEndian(uint8_t* at, uint32_t word) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(at, &word, kStoreBytes);
  } else {
    for (int32_t i = 0; i < kStoreBytes; ++i) at[i] = uint8_t(word >> (kBitsPerByte * i));
  }
}

// A sub-block that has passed its capacity: it closes at kSubBlockCapacity bytes, and the
// bytes past them move up by one to follow the next sub-block's count byte.
inline void SplitSubBlock(PacketBuffer& packet, OutputBlock& out) {
  const int32_t overflow = packet.count - kSubBlockCapacity;
  packet.count = kSubBlockCapacity;
  FlushPacket(packet, out);
  if (overflow == 0) return;
  const int32_t start = out.position - overflow;
  out.position = start;
  char saved[kStoreBytes];
  std::memcpy(saved, *out.block + start, size_t(overflow));
  if (!OpenSubBlock(packet, out)) return;
  std::memcpy(*out.block + out.position, saved, size_t(overflow));
  out.position += overflow;
  packet.count = overflow;
}

// Appends the `count` (0 to 3) low bytes of `word`, low byte first.
inline void PutPacketBytes(PacketBuffer& packet, OutputBlock& out, uint32_t word, int32_t count) {
  if (packet.countOffset == kNoSubBlock && (count == 0 || !OpenSubBlock(packet, out))) return;
  StoreLittleEndian(reinterpret_cast<uint8_t*>(*out.block) + out.position, word);
  out.position += count;
  packet.count += count;
  if (packet.count >= kSubBlockCapacity) SplitSubBlock(packet, out);
}

}  // namespace nimbus::gif
