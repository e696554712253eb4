#include "gif/encoder_state.h"

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
  table.slots = reinterpret_cast<CodeSlot*>(record);
  return true;
}

void ReleaseCodeTable(CodeTable& table) {
  if (table.record != nullptr) DisposePtr(table.record);
  table = CodeTable{};
}

}  // namespace nimbus::gif
