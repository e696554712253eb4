#include "gif/encoder_state.h"

#include <cstring>

namespace nimbus::gif {

EncoderState& SharedEncoderState() {
  static EncoderState state{};
  return state;
}

void ResetEncoderState(EncoderState& state) {
  PixelCursor& c = state.cursor;
  c.width = c.height = 0;
  c.interlaced = false;
  c.column = c.row = c.pass = c.remaining = 0;
  state.lzw = LzwState{};
  state.packet = PacketBuffer{kNoSubBlock, 0};
}

bool EnsureCodeTable(CodeTable& table) {
  if (table.record != nullptr) return true;
  Ptr record = NewPtr(kCodeTableBytes);
  if (record == nullptr) return false;
  table.record = record;
  // The 32-bit parts first, then the 16-bit ones: every part is aligned to its words.
  table.slots = reinterpret_cast<CodeSlot*>(record);
  table.log = table.slots + kCodeTableSlots;
  table.pairAdded = table.log + kCodeLimit;
  table.deep = table.pairAdded + kPairs / 32;
  table.pairCodes = reinterpret_cast<uint16_t*>(table.deep + kDeepSlots);
  table.deepUsed = table.pairCodes + kPairs;
  std::memset(table.pairAdded, 0, kPairs / 8);
  std::memset(table.deep, 0, kDeepSlots * sizeof(CodeSlot));
  return true;
}

void ReleaseCodeTable(CodeTable& table) {
  if (table.record != nullptr) DisposePtr(table.record);
  table = CodeTable{};
}

}  // namespace nimbus::gif
