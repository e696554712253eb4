// The shapes in which 4D hands values to the package and takes results back: the Text
// record, the date and the result slot. Every subsystem and every host uses these; the
// entry point itself is declared in package/fourd_abi.h.
#pragma once

#include <cstdint>

#include "host/toolbox.h"

// A 4D Text: signed 16-bit length, then the handle of the block holding the characters
// (no terminator; the handle may be null). A Text never holds more than 32767 bytes.
struct FourDText {
  int16_t length;
  Handle handle;
};

// A 4D date, field by field.
struct FourDDate {
  int16_t day;
  int16_t month;
  int16_t year;
};

constexpr int32_t kMaxTextLength = 32767;

// The result slot is pointer-sized. A longint result is written as int32_t at its start;
// for a string result it holds the address of a 256-byte buffer; for a Text result the
// address of a FourDText; a picture or BLOB result is a handle.
union FourDResult {
  int32_t longint;
  unsigned char* string;
  FourDText* text;
  Handle block;
  void* raw;
};
