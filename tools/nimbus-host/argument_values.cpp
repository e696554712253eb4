// Command-line arguments as 4D parameter values.
#include "argument_values.h"

#include <charconv>
#include <fstream>
#include <iterator>
#include <limits>

namespace nimbus_host {
namespace {

using standin::Kind;
using standin::Value;

constexpr size_t kMaxStringLength = 255;

// A decimal or 0x-hex number with an optional sign, fitting `bits` as signed or unsigned;
// the result is its two's-complement reading (0xFFFFFFFF is -1).
bool ParseInteger(const std::string& text, int bits, int64_t* out) {
  size_t at = 0;
  bool negative = false;
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) negative = text[at++] == '-';
  int base = 10;
  if (text.size() - at > 2 && text[at] == '0' && (text[at + 1] == 'x' || text[at + 1] == 'X')) {
    base = 16;
    at += 2;
  }
  if (at >= text.size()) return false;
  uint64_t magnitude = 0;
  const char* last = text.data() + text.size();
  const auto [end, error] = std::from_chars(text.data() + at, last, magnitude, base);
  if (error != std::errc() || end != last) return false;
  const int64_t lowest = -(int64_t(1) << (bits - 1));
  const uint64_t highest = (uint64_t(1) << bits) - 1;
  if (negative ? magnitude > uint64_t(-lowest) : magnitude > highest) return false;
  int64_t value = negative ? -int64_t(magnitude) : int64_t(magnitude);
  if (value > (int64_t(1) << (bits - 1)) - 1) value -= int64_t(1) << bits;
  *out = value;
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseDate(const std::string& text, Value* value) {
  int64_t parts[3];
  size_t start = 0;
  for (int i = 0; i < 3; ++i) {
    const size_t slash = i < 2 ? text.find('/', start) : text.size();
    if (slash == std::string::npos) return false;
    const std::string part = text.substr(start, slash - start);
    if (part.empty() || part.find_first_not_of("0123456789") != std::string::npos) return false;
    if (!ParseInteger(part, 16, &parts[i]) || parts[i] > std::numeric_limits<int16_t>::max()) {
      return false;
    }
    start = slash + 1;
  }
  *value = Value::Date(int16_t(parts[0]), int16_t(parts[1]), int16_t(parts[2]));
  return true;
}

bool ReadFile(const std::string& path, std::string* bytes) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  bytes->assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return !file.bad();
}

}  // namespace

bool ExpandEscapes(const std::string& text, std::string* bytes, std::string* error) {
  bytes->clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      bytes->push_back(text[i]);
      continue;
    }
    if (++i >= text.size()) {
      *error = "a lone \\ ends \"" + text + "\"";
      return false;
    }
    switch (text[i]) {
      case 'r':
        bytes->push_back('\r');
        break;
      case 'n':
        bytes->push_back('\n');
        break;
      case 't':
        bytes->push_back('\t');
        break;
      case '\\':
        bytes->push_back('\\');
        break;
      case 'x': {
        const int high = i + 1 < text.size() ? HexDigit(text[i + 1]) : -1;
        const int low = i + 2 < text.size() ? HexDigit(text[i + 2]) : -1;
        if (high < 0 || low < 0) {
          *error = "\\x needs two hex digits in \"" + text + "\"";
          return false;
        }
        bytes->push_back(char(high * 16 + low));
        i += 2;
        break;
      }
      default:
        *error = std::string("unknown escape \\") + text[i] + " in \"" + text + "\"";
        return false;
    }
  }
  return true;
}

bool ParseArgument(Kind kind, const std::string& text, Value* value, std::string* error) {
  int64_t number = 0;
  std::string bytes;
  switch (kind) {
    case Kind::kLongint:
      if (!ParseInteger(text, 32, &number)) {
        *error = "\"" + text + "\" is not a longint (decimal or 0x hex, 32 bits)";
        return false;
      }
      *value = Value::Longint(int32_t(number));
      return true;
    case Kind::kInteger:
      if (!ParseInteger(text, 16, &number)) {
        *error = "\"" + text + "\" is not an integer (decimal or 0x hex, 16 bits)";
        return false;
      }
      *value = Value::Integer(int16_t(number));
      return true;
    case Kind::kString:
      if (!ExpandEscapes(text, &bytes, error)) return false;
      if (bytes.size() > kMaxStringLength) {
        *error = "a string holds at most 255 bytes, \"" + text + "\" has " +
                 std::to_string(bytes.size());
        return false;
      }
      *value = Value::String(bytes);
      return true;
    case Kind::kText:
      if (!ExpandEscapes(text, &bytes, error)) return false;
      if (bytes.size() > size_t(kMaxTextLength)) {
        *error = "a Text holds at most 32767 bytes, this one has " + std::to_string(bytes.size());
        return false;
      }
      *value = Value::Text(bytes);
      return true;
    case Kind::kBlock:
      if (!text.empty() && text[0] == '@') {
        if (!ReadFile(text.substr(1), &bytes)) {
          *error = "cannot read " + text.substr(1);
          return false;
        }
      } else if (!ExpandEscapes(text, &bytes, error)) {
        return false;
      }
      *value = Value::Block(bytes);
      return true;
    case Kind::kDate:
      if (!ParseDate(text, value)) {
        *error = "\"" + text + "\" is not a date (D/M/YYYY)";
        return false;
      }
      return true;
    case Kind::kNone:
      break;
  }
  *error = "a routine has no parameter of kind none";
  return false;
}

}  // namespace nimbus_host
