// The character tables as the conversions use them: a copy of the resource's 256 bytes.
#pragma once

#include <cstdint>

#include "text/text.h"

namespace nimbus {

struct CharMap {
  uint8_t to[256];  // to[b] replaces source byte b
};

// A map that changes nothing: what a missing table amounts to.
CharMap IdentityCharMap();

// The named table of the package's resource file, looked up anew on each call (the host
// keeps the resource). A table that cannot be found, or holds fewer than 256 bytes, gives the
// identity map, so the text stays in its character set.
CharMap LoadCharMap(CharTable table);

// first, then second.
CharMap ComposeCharMaps(const CharMap& first, const CharMap& second);

// bytes[i] = map.to[bytes[i]] for the count bytes.
void TranslateBytes(uint8_t* bytes, int32_t count, const CharMap& map);

}  // namespace nimbus
