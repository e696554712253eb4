// The file name that the file routines take as a Text parameter, made ready for the system.
#pragma once

#include "host/fourd_params.h"

namespace nimbus {

constexpr int32_t kMaxFileNameLength = 254;

// A zero-terminated path of at most kMaxFileNameLength characters.
struct FileName {
  char path[kMaxFileNameLength + 2];
};

// The first `length` characters of the Text's block, as they are. The name is empty (so the
// open fails) when the handle is null, the length is negative or above kMaxFileNameLength,
// the block holds fewer characters than the length says, or the name holds a zero byte (the
// system would silently open a shorter name).
FileName FileNameOf(const FourDText& text);

}  // namespace nimbus
