// The language's own commands and functions (everything that is not a routine of the
// package or a method of the script).
#pragma once

#include <string>
#include <vector>

namespace nimbus_script {

enum class BuiltinId {
  // Output and processes (run by the interpreter).
  kLog,
  kNewProcess,
  kCurrentProcess,
  kDelayProcess,
  kIdle,
  kCountParameters,
  kScriptFolder,
  // Text.
  kChar,
  kCharacterCode,
  kLength,
  kSubstring,
  kPosition,
  kReplaceString,
  kUppercase,
  kLowercase,
  kString,
  kNum,
  // Booleans.
  kTrue,
  kFalse,
  kNot,
  // Dates and the clock.
  kCurrentDate,
  kCurrentTime,
  kDayOf,
  kMonthOf,
  kYearOf,
  // BLOBs.
  kTextToBlob,
  kBlobToText,
  kBlobSize,
  // Documents.
  kTestPathName,
  kGetDocumentSize,
};

struct BuiltinInfo {
  BuiltinId id;
  const char* name;  // canonical spelling; matched without regard to case
  int minArgs;
  int maxArgs;
  bool hasResult;
  const char* usage;  // shown when the parameter count is wrong
};

// Null when `name` is no built-in.
const BuiltinInfo* FindBuiltin(const std::string& name);

// Every name of more than one word (built-ins and block keywords), for the lexer.
const std::vector<std::string>& MultiWordNames();

// Compares names as the language does: without regard to the case of ASCII letters.
bool SameName(const std::string& a, const std::string& b);
// The lower-case form used as a key.
std::string NameKey(const std::string& name);

}  // namespace nimbus_script
