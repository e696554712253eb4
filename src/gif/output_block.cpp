#include "gif/output_block.h"

namespace nimbus::gif {

bool EnsureRoom(OutputBlock& out, int32_t count) {
  if (out.failed) return false;
  while (out.end - out.position < count) {
    SetHandleSize(out.block, out.end + kOutputStep);
    if (MemError() != noErr) {
      out.failed = true;
      return false;
    }
    out.end = GetHandleSize(out.block);
  }
  return true;
}

bool OpenOutput(OutputBlock& out) {
  out = OutputBlock{};
  out.block = NewHandle(kOutputStep);
  if (out.block == nullptr) return false;
  out.end = kOutputStep;
  return true;
}

void WriteBytes(OutputBlock& out, const void* bytes, int32_t count) {
  if (out.failed || count <= 0 || !EnsureRoom(out, count)) return;
  BlockMove(bytes, *out.block + out.position, count);
  out.position += count;
}

void WriteByte(OutputBlock& out, uint8_t byte) {
  if (out.failed || !EnsureRoom(out, 1)) return;
  (*out.block)[out.position++] = char(byte);
}

void WriteWord(OutputBlock& out, uint16_t value) {
  WriteByte(out, uint8_t(value & 0xFF));
  WriteByte(out, uint8_t(value >> 8));
}

Handle CloseOutput(OutputBlock& out) {
  Handle result = out.block;
  if (result != nullptr && !out.failed) {
    SetHandleSize(result, out.position);
    if (MemError() != noErr || GetHandleSize(result) != out.position) out.failed = true;
  }
  if (out.failed && result != nullptr) {
    DisposeHandle(result);
    result = nullptr;
  }
  out = OutputBlock{};
  return result;
}

void DiscardOutput(OutputBlock& out) {
  out.failed = true;
  CloseOutput(out);
}

}  // namespace nimbus::gif
