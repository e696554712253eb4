// The LZW stage: matching pixel strings in the code table, and the code-width rules; codes go
// to the bit packer.
#pragma once

#include <cstdint>

#include "gif/encoder_state.h"

namespace nimbus::gif {

// Compresses every pixel of the cursor, from the Clear code to the End-of-Information code,
// into data sub-blocks of the output. The code table must exist.
void Compress(EncoderState& state, int32_t initialWidth);

// Appends one code of the current width; updates the width; after the End-of-Information
// code, puts out the last bits and closes the last sub-block.
void WriteCode(EncoderState& state, int32_t code);

// Empties every slot of the table.
void ClearCodeTable(CodeTable& table);

}  // namespace nimbus::gif
