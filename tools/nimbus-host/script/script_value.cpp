// Script values: construction, text forms and comparisons.
#include "script_value.h"

#include <cstdio>
#include <utility>
#include <vector>

namespace nimbus_script {
namespace {

unsigned char FoldCase(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

}  // namespace

const char* KindName(ValueKind kind) {
  switch (kind) {
    case ValueKind::kLongint:
      return "longint";
    case ValueKind::kText:
      return "text";
    case ValueKind::kBoolean:
      return "boolean";
    case ValueKind::kDate:
      return "date";
    case ValueKind::kBlob:
      return "BLOB";
    case ValueKind::kNone:
      break;
  }
  return "nothing";
}

ScriptValue ScriptValue::Longint(int32_t v) {
  ScriptValue value;
  value.kind = ValueKind::kLongint;
  value.longint = v;
  return value;
}

ScriptValue ScriptValue::Text(std::string s) {
  ScriptValue value;
  value.kind = ValueKind::kText;
  value.bytes = std::move(s);
  return value;
}

ScriptValue ScriptValue::Boolean(bool b) {
  ScriptValue value;
  value.kind = ValueKind::kBoolean;
  value.boolean = b;
  return value;
}

ScriptValue ScriptValue::Date(FourDDate d) {
  ScriptValue value;
  value.kind = ValueKind::kDate;
  value.date = d;
  return value;
}

ScriptValue ScriptValue::Blob(std::string bytes) {
  ScriptValue value;
  value.kind = ValueKind::kBlob;
  value.bytes = std::move(bytes);
  return value;
}

ScriptValue ScriptValue::DefaultOf(ValueKind kind) {
  ScriptValue value;
  value.kind = kind;
  return value;
}

std::string ToText(const ScriptValue& value) {
  switch (value.kind) {
    case ValueKind::kLongint:
      return std::to_string(value.longint);
    case ValueKind::kText:
    case ValueKind::kBlob:
      return value.bytes;
    case ValueKind::kBoolean:
      return value.boolean ? "True" : "False";
    case ValueKind::kDate: {
      char buffer[32];
      std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", value.date.year, value.date.month,
                    value.date.day);
      return buffer;
    }
    case ValueKind::kNone:
      break;
  }
  return "";
}

int32_t TextToLongint(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  uint32_t magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    magnitude = magnitude * 10u + static_cast<uint32_t>(text[i] - '0');
  }
  return static_cast<int32_t>(negative ? 0u - magnitude : magnitude);
}

bool TextMatches(const std::string& text, const std::string& pattern) {
  // Iterative wildcard match: on a mismatch, let the last "@" absorb one more character.
  size_t t = 0, p = 0;
  size_t starP = std::string::npos, starT = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '@') {
      starP = p++;
      starT = t;
    } else if (p < pattern.size() && FoldCase(static_cast<unsigned char>(pattern[p])) ==
                                         FoldCase(static_cast<unsigned char>(text[t]))) {
      ++p;
      ++t;
    } else if (starP != std::string::npos) {
      p = starP + 1;
      t = ++starT;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '@') ++p;
  return p == pattern.size();
}

int CompareTexts(const std::string& a, const std::string& b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    const int x = FoldCase(static_cast<unsigned char>(a[i]));
    const int y = FoldCase(static_cast<unsigned char>(b[i]));
    if (x != y) return x - y;
  }
  return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

int CompareDates(const FourDDate& a, const FourDDate& b) {
  if (a.year != b.year) return a.year - b.year;
  if (a.month != b.month) return a.month - b.month;
  return a.day - b.day;
}

}  // namespace nimbus_script
