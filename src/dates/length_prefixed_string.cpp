#include "dates/length_prefixed_string.h"

#include <algorithm>

namespace nimbus::pstring {

void Copy(ConstStr255Param source, StringPtr destination, int32_t maximum) {
  const int32_t n = std::clamp(std::min(Length(source), maximum), 0, kMaxLength);
  // Through a temporary: source and destination may overlap.
  unsigned char copy[kBufferSize];
  BlockMove(source + 1, copy, n);
  BlockMove(copy, destination + 1, n);
  destination[0] = static_cast<unsigned char>(n);
}

void Substring(StringPtr destination, int32_t capacity, ConstStr255Param source, int32_t start,
               int32_t count) {
  if (capacity < 1) return;  // not even room for the length byte
  capacity = std::min(capacity, kBufferSize);
  int32_t remaining = 0;
  if (start >= 1 && start <= Length(source)) remaining = Length(source) - start + 1;
  const int32_t n = std::max(0, std::min({count, remaining, capacity - 1}));
  unsigned char copy[kBufferSize];
  if (n > 0) BlockMove(source + start, copy, n);
  if (n > 0) BlockMove(copy, destination + 1, n);
  destination[0] = static_cast<unsigned char>(n);
}

void Delete(StringPtr s, int32_t position, int32_t count) {
  const int32_t length = Length(s);
  if (position < 1 || position > length || count < 1 || count > kMaxLength) return;
  if (position + count > length) {
    s[0] = static_cast<unsigned char>(position - 1);
    return;
  }
  const int32_t tail = length - (position + count) + 1;  // characters after the range
  BlockMove(s + position + count, s + position, tail);
  s[0] = static_cast<unsigned char>(length - count);
}

int32_t Compare(ConstStr255Param a, ConstStr255Param b) {
  const int32_t common = std::min(Length(a), Length(b));
  for (int32_t i = 1; i <= common; ++i) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  if (Length(a) == Length(b)) return 0;
  return Length(a) < Length(b) ? -1 : 1;
}

void Append(StringPtr destination, ConstStr255Param a, ConstStr255Param b) {
  unsigned char joined[kBufferSize];
  const int32_t fromA = Length(a);
  const int32_t fromB = std::min(Length(b), kMaxLength - fromA);
  BlockMove(a + 1, joined + 1, fromA);
  BlockMove(b + 1, joined + 1 + fromA, fromB);
  joined[0] = static_cast<unsigned char>(fromA + fromB);
  BlockMove(joined, destination, joined[0] + 1);
}

}  // namespace nimbus::pstring
