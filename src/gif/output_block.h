// Writing bytes into the output block, which grows by kOutputStep whenever a write does not
// fit. A block that cannot grow marks the output failed; later writes are dropped and the
// encoding ends without a file.
#pragma once

#include <cstdint>

#include "gif/encoder_state.h"

namespace nimbus::gif {

// Allocates the block at kOutputStep bytes. False when it cannot be had.
bool OpenOutput(OutputBlock& out);
// Makes room for `count` more bytes at the write position, growing the block by steps. False
// (and the output failed) when it cannot grow. Writers that fill the room in place read the
// block's address only after this call: nothing else allocates while an encoding runs.
bool EnsureRoom(OutputBlock& out, int32_t count);
void WriteBytes(OutputBlock& out, const void* bytes, int32_t count);
void WriteByte(OutputBlock& out, uint8_t byte);
// Low byte first.
void WriteWord(OutputBlock& out, uint16_t value);
// Trims the block to the bytes written and hands it over, or, after a failure, disposes of
// it and answers null.
Handle CloseOutput(OutputBlock& out);
// Disposes of the block, whatever it holds.
void DiscardOutput(OutputBlock& out);

}  // namespace nimbus::gif
