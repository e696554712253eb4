// The table of built-in commands and functions.
#include "builtins.h"

namespace nimbus_script {
namespace {

constexpr int kAny = 1 << 20;  // no upper bound

constexpr BuiltinInfo kBuiltins[] = {
    {BuiltinId::kLog, "LOG", 1, 1, false, "LOG(value)"},
    {BuiltinId::kNewProcess, "New process", 2, kAny, true,
     "New process(method;stack{;name{;param...}})"},
    {BuiltinId::kCurrentProcess, "Current process", 0, 0, true, "Current process"},
    {BuiltinId::kDelayProcess, "DELAY PROCESS", 2, 2, false, "DELAY PROCESS(process;ticks)"},
    {BuiltinId::kIdle, "IDLE", 0, 0, false, "IDLE"},
    {BuiltinId::kCountParameters, "Count parameters", 0, 0, true, "Count parameters"},
    {BuiltinId::kScriptFolder, "Script folder", 0, 0, true, "Script folder"},
    {BuiltinId::kChar, "Char", 1, 1, true, "Char(code)"},
    {BuiltinId::kCharacterCode, "Character code", 1, 1, true, "Character code(text)"},
    {BuiltinId::kLength, "Length", 1, 1, true, "Length(text)"},
    {BuiltinId::kSubstring, "Substring", 2, 3, true, "Substring(text;start{;count})"},
    {BuiltinId::kPosition, "Position", 2, 3, true, "Position(find;text{;start})"},
    {BuiltinId::kReplaceString, "Replace string", 3, 3, true, "Replace string(text;old;new)"},
    {BuiltinId::kUppercase, "Uppercase", 1, 1, true, "Uppercase(text)"},
    {BuiltinId::kLowercase, "Lowercase", 1, 1, true, "Lowercase(text)"},
    {BuiltinId::kString, "String", 1, 1, true, "String(value)"},
    {BuiltinId::kNum, "Num", 1, 1, true, "Num(text)"},
    {BuiltinId::kTrue, "True", 0, 0, true, "True"},
    {BuiltinId::kFalse, "False", 0, 0, true, "False"},
    {BuiltinId::kNot, "Not", 1, 1, true, "Not(boolean)"},
    {BuiltinId::kDayOf, "Day of", 1, 1, true, "Day of(date)"},
    {BuiltinId::kMonthOf, "Month of", 1, 1, true, "Month of(date)"},
    {BuiltinId::kYearOf, "Year of", 1, 1, true, "Year of(date)"},
    {BuiltinId::kCurrentDate, "Current date", 0, 0, true, "Current date"},
    {BuiltinId::kCurrentTime, "Current time", 0, 0, true, "Current time"},
    {BuiltinId::kTextToBlob, "Text to BLOB", 1, 1, true, "Text to BLOB(text)"},
    {BuiltinId::kBlobToText, "BLOB to text", 1, 1, true, "BLOB to text(blob)"},
    {BuiltinId::kBlobSize, "BLOB size", 1, 1, true, "BLOB size(blob)"},
    {BuiltinId::kTestPathName, "Test path name", 1, 1, true, "Test path name(path)"},
    {BuiltinId::kGetDocumentSize, "Get document size", 1, 1, true, "Get document size(path)"},
};

// Block keywords of more than one word.
constexpr const char* kKeywordPhrases[] = {"End if",  "End case",   "End while",
                                           "End for", "End method", "Case of"};

}  // namespace

std::string NameKey(const std::string& name) {
  std::string key = name;
  for (char& c : key) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return key;
}

bool SameName(const std::string& a, const std::string& b) {
  return NameKey(a) == NameKey(b);
}

const BuiltinInfo* FindBuiltin(const std::string& name) {
  for (const BuiltinInfo& info : kBuiltins) {
    if (SameName(info.name, name)) return &info;
  }
  return nullptr;
}

const std::vector<std::string>& MultiWordNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> all;
    for (const BuiltinInfo& info : kBuiltins) {
      if (std::string(info.name).find(' ') != std::string::npos) all.push_back(info.name);
    }
    for (const char* phrase : kKeywordPhrases) all.push_back(phrase);
    return all;
  }();
  return names;
}

}  // namespace nimbus_script
