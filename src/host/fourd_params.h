// The shapes in which 4D hands values to the package and takes results back: the Text
// record, the date and the result slot. Every subsystem and every host uses these; the
// entry point itself is declared in package/fourd_abi.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/record_packing_begin.h"
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

#include "host/record_packing_end.h"

// The layouts 4D and the package share, for 32-bit pointers (the DLL, as 4D sees them) and
// 64-bit ones (the native build with the stand-in host).
constexpr bool kHostPointers32 = sizeof(void*) == 4;
static_assert(sizeof(void*) == 4 || sizeof(void*) == 8, "32-bit or 64-bit pointers");
// Text: the length, then the handle at the next pointer boundary (32-bit: 4; 64-bit: 8).
static_assert(offsetof(FourDText, length) == 0, "FourDText: length first");
static_assert(offsetof(FourDText, handle) == (kHostPointers32 ? 4 : 8),
              "FourDText: handle at 4 / 8");
static_assert(sizeof(FourDText) == (kHostPointers32 ? 8 : 16), "FourDText: 8 / 16 bytes");
// Date: three 16-bit fields, day first.
static_assert(sizeof(FourDDate) == 6 && offsetof(FourDDate, day) == 0 &&
                  offsetof(FourDDate, month) == 2 && offsetof(FourDDate, year) == 4,
              "FourDDate: day, month, year");
// Result slot: pointer-sized, a longint at its start.
static_assert(sizeof(FourDResult) == (kHostPointers32 ? 4 : 8), "FourDResult: 4 / 8 bytes");
static_assert(offsetof(FourDResult, longint) == 0 && offsetof(FourDResult, raw) == 0,
              "FourDResult: every member at the start");
static_assert(sizeof(FourDResult::longint) == 4, "FourDResult: a 32-bit longint");
