// Script values: construction, text forms and comparisons.
#include "script_value.h"

#include <cstdio>
#include <string_view>
#include <utility>
#include <vector>

#include "folded_search.h"

namespace nimbus_script {

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
  // The runs of the pattern between its "@"s: the first must start the text, the last must
  // end it, and each one between is taken at its first place after the one before. Taking
  // the first place never loses a match (an "@" absorbs whatever a later place would skip),
  // so the text is read once.
  const size_t firstAt = pattern.find('@');
  if (firstAt == std::string::npos) {
    return text.size() == pattern.size() && CompareTexts(text, pattern) == 0;
  }
  const size_t lastAt = pattern.rfind('@');
  const std::string_view head(pattern.data(), firstAt);
  const std::string_view tail(pattern.data() + lastAt + 1, pattern.size() - lastAt - 1);
  if (text.size() < head.size() + tail.size()) return false;
  auto sameFolded = [](std::string_view a, std::string_view b) {
    for (size_t i = 0; i < a.size(); ++i) {
      if (FoldLetter(static_cast<unsigned char>(a[i])) !=
          FoldLetter(static_cast<unsigned char>(b[i]))) {
        return false;
      }
    }
    return true;
  };
  if (!sameFolded(head, std::string_view(text).substr(0, head.size())) ||
      !sameFolded(tail, std::string_view(text).substr(text.size() - tail.size()))) {
    return false;
  }
  // The middle runs must fit between the head and the tail.
  const std::string_view middle(text.data(), text.size() - tail.size());
  size_t from = head.size();
  for (size_t at = firstAt; at < lastAt;) {
    const size_t next = pattern.find('@', at + 1);
    const std::string_view run(pattern.data() + at + 1, next - at - 1);
    at = next;
    if (run.empty()) continue;
    const size_t found = FoldedSearch(run, middle).Find(from);
    if (found == std::string::npos) return false;
    from = found + run.size();
  }
  return true;
}

int CompareTexts(const std::string& a, const std::string& b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    const int x = FoldLetter(static_cast<unsigned char>(a[i]));
    const int y = FoldLetter(static_cast<unsigned char>(b[i]));
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
