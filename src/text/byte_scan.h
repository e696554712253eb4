// Finding the next occurrence of a byte, for scans where it may lie close or far.
#pragma once

#include <cstdint>
#include <cstring>

namespace nimbus {

// The first `target` in [from, end), or end. The first bytes are checked one by one: in
// dense text (an entity every few bytes) a library call per occurrence costs more than the
// scan; long stretches still go through memchr.
inline const uint8_t* FindByte(const uint8_t* from, const uint8_t* end, uint8_t target) {
  constexpr int kNearBytes = 16;
  for (int n = 0; n < kNearBytes; ++n, ++from) {
    if (from == end || *from == target) return from;
  }
  const void* found = std::memchr(from, target, size_t(end - from));
  return found != nullptr ? static_cast<const uint8_t*>(found) : end;
}

}  // namespace nimbus
