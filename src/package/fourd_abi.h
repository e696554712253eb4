// What FourDPack receives from 4D: the one header shared by the package and every host.
// Every 4D parameter arrives as the address of its value; results go through a slot.
#pragma once

#include <cstdint>

#include "host/toolbox.h"
#include "platform/abi.h"

// Selectors of the two life-cycle calls; routine numbers run from 2 to 58.
constexpr int32_t kSelectorLoad = -1;
constexpr int32_t kSelectorUnload = -2;

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

// selector; the list of parameter addresses; the globals variable (holds the handle of
// the package's global record between calls); the result slot.
using FourDPackProc = void(NIMBUS_CALL*)(int32_t selector, void** params, Handle* globals,
                                         FourDResult* result);

extern "C" NIMBUS_EXPORT void NIMBUS_CALL FourDPack(int32_t selector, void** params,
                                                    Handle* globals, FourDResult* result);
