// The values a script computes with: longints (32-bit, wrapping), texts (bytes), booleans,
// dates and BLOBs. A variable's kind is fixed by its first assignment or declaration.
#pragma once

#include <cstdint>
#include <string>

#include "host/fourd_params.h"

namespace nimbus_script {

enum class ValueKind : uint8_t { kNone, kLongint, kText, kBoolean, kDate, kBlob };

// "longint", "text", "boolean", "date", "BLOB", or "nothing".
const char* KindName(ValueKind kind);

struct ScriptValue {
  ValueKind kind = ValueKind::kNone;
  int32_t longint = 0;   // kLongint
  bool boolean = false;  // kBoolean
  std::string bytes;     // kText, kBlob
  FourDDate date{};      // kDate (all zero: the null date)

  static ScriptValue Longint(int32_t v);
  static ScriptValue Text(std::string s);
  static ScriptValue Boolean(bool b);
  static ScriptValue Date(FourDDate d);
  static ScriptValue Blob(std::string bytes);
  // The value a declared but unassigned variable of `kind` starts with.
  static ScriptValue DefaultOf(ValueKind kind);
};

// The longest text a script may build; longer ones are an error, never an allocation failure.
constexpr size_t kMaxScriptText = size_t{1} << 24;

// String(): longints in decimal, dates as YYYY-MM-DD, booleans as True/False, texts as they
// are. A BLOB has no text form (the caller reports it).
std::string ToText(const ScriptValue& value);

// Num(): optional spaces, an optional sign, decimal digits; the first other character ends
// the number; no digits gives 0; more digits than fit wrap at 32 bits.
int32_t TextToLongint(const std::string& text);

// Text equality as 4D compares: letters without regard to case, and "@" in the pattern
// (the right operand) matching any run of characters, the empty run included.
bool TextMatches(const std::string& text, const std::string& pattern);
// Ordering of texts without regard to the case of letters: <0, 0 or >0.
int CompareTexts(const std::string& a, const std::string& b);
int CompareDates(const FourDDate& a, const FourDDate& b);

}  // namespace nimbus_script
