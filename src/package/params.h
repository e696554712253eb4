// Access to one call's 4D parameters and result slot. Parameters are numbered from 1, as
// 4D methods number them; each arrives as the address of its value.
#pragma once

#include <cstdint>
#include <cstring>

#include "host/fourd_params.h"
#include "package/globals.h"

namespace nimbus {

struct RoutineCall {
  void** params;
  PackageGlobals* globals;  // null when the package has no global record
  FourDResult* result;

  int32_t& Longint(int n) const { return *static_cast<int32_t*>(params[n - 1]); }
  int16_t& Integer(int n) const { return *static_cast<int16_t*>(params[n - 1]); }
  unsigned char* String(int n) const { return static_cast<unsigned char*>(params[n - 1]); }
  FourDText& Text(int n) const { return *static_cast<FourDText*>(params[n - 1]); }
  Handle& Block(int n) const { return *static_cast<Handle*>(params[n - 1]); }
  FourDDate& Date(int n) const { return *static_cast<FourDDate*>(params[n - 1]); }

  // Results. A longint goes into the slot's first 32 bits; a string into the caller's
  // 256-byte buffer named by the slot; a Text into the record named by the slot.
  void ReturnLongint(int32_t value) const { result->longint = value; }
  void ReturnBlock(Handle block) const { result->block = block; }
  void ReturnString(const unsigned char* pascal) const {
    std::memcpy(result->string, pascal, size_t(pascal[0]) + 1);
  }
  void ReturnText(const FourDText& text) const { *result->text = text; }
  void ReturnEmptyString() const { result->string[0] = 0; }
  void ReturnEmptyText() const { *result->text = FourDText{0, nullptr}; }
};

}  // namespace nimbus
