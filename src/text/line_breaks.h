// The conversions that work inside a Text's own block: character translation and the two
// line-break conversions, in that order.
#pragma once

#include "text/char_map.h"

namespace nimbus {

inline constexpr uint8_t kCR = 13;
inline constexpr uint8_t kLF = 10;

struct InPlaceSteps {
  const CharMap* map = nullptr;  // translate first, when given
  bool crToCRLF = false;         // then every CR becomes CR LF
  bool crlfToCR = false;         // then every CR LF becomes CR
};

// Runs the steps on the Text's characters inside its block, growing the block when CR LF
// needs room; the length becomes the new byte count. False, with the Text unchanged, when the
// result would pass 32767 bytes or the block cannot grow.
bool ConvertInPlace(FourDText& text, const InPlaceSteps& steps);

}  // namespace nimbus
