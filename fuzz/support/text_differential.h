// The differential check of the one-pass text conversions against their literal reference
// (the pass-by-pass substitutions through the host's search-and-replace).
#pragma once

#include <string>
#include <string_view>

#include "support/fuzz_support.h"

namespace nimbus::fuzz {

using FastConversion = FourDText (*)(const FourDText& text, int32_t option);
using LiteralConversion = std::string (*)(const std::string& text, int32_t option);

// Runs one input through the routine and through the reference. The routine must answer
// exactly the reference's bytes, or no Text when those pass 32767 bytes; under a limited
// allocation budget it may also answer no Text, never a wrong one. The parameter must come
// back unchanged and every block must be given back. Variant bit 3 gives the parameter a
// length above its block's size, which must read as the block's bytes.
void CheckAgainstLiteral(const char* name, FastConversion fast, LiteralConversion literal,
                         int32_t option, const Steering& steering, std::string_view input);

}  // namespace nimbus::fuzz
