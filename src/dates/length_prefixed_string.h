// Length-prefixed strings: one length byte, then at most 255 characters, in 256-byte work
// buffers. Positions count from 1. Every operation reads only inside its source's length and
// writes only inside its destination's capacity, so a malformed or short text can never make
// a reader step outside its buffer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/toolbox.h"

namespace nimbus::pstring {

constexpr int32_t kBufferSize = 256;  // a length byte and up to 255 characters
constexpr int32_t kMaxLength = 255;

inline int32_t Length(ConstStr255Param s) {
  return s[0];
}

// The character at a 1-based position, or 0 when the position lies outside the string.
inline unsigned char CharAt(ConstStr255Param s, int32_t position) {
  return (position >= 1 && position <= Length(s)) ? s[position] : 0;
}

// destination = the first min(length, maximum) characters of source, with a length byte that
// says how many were copied.
void Copy(ConstStr255Param source, StringPtr destination, int32_t maximum);

// destination (a buffer of `capacity` bytes, length byte included) = up to `count` characters
// of source from `start`. A start before 1 or past the end gives an empty string; the count is
// cut to the characters that remain and to capacity - 1.
void Substring(StringPtr destination, int32_t capacity, ConstStr255Param source, int32_t start,
               int32_t count);

// Removes `count` characters from `position`. Does nothing when position < 1, position >
// length, count < 1 or count > 255; a range that runs past the end cuts the string at
// position - 1.
void Delete(StringPtr s, int32_t position, int32_t count);

// Byte-wise comparison as unsigned characters: -1, 0 or +1; a prefix is lower.
int32_t Compare(ConstStr255Param a, ConstStr255Param b);

// destination = a followed by b, cut at 255 characters. Any of the three may be the same
// buffer.
void Append(StringPtr destination, ConstStr255Param a, ConstStr255Param b);

// A length-prefixed constant made from a string literal at compile time.
template <size_t N>
struct Literal {
  static_assert(N >= 1 && N <= size_t(kBufferSize), "too long for a length-prefixed string");
  unsigned char bytes[N];
  constexpr Literal(const char (&text)[N]) : bytes{} {
    bytes[0] = static_cast<unsigned char>(N - 1);
    for (size_t i = 0; i + 1 < N; ++i) bytes[i + 1] = static_cast<unsigned char>(text[i]);
  }
  constexpr const unsigned char* get() const { return bytes; }
};

}  // namespace nimbus::pstring
