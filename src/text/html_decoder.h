// What the conversion modes need of the entity decoder beyond HTMLToText.
#pragma once

#include <cstdint>

#include "text/char_map.h"

namespace nimbus {

// ConversionModeSettledLength for the decoding (HTMLToText option 0) of the bytes as `before`
// translates them: the raw offset of the first entity or numeric reference that the piece's
// end leaves undecided, or count.
int32_t DecodingSettledLength(const uint8_t* bytes, int32_t count, const CharMap& before);

}  // namespace nimbus
