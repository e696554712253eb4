// Formatting values for nimbus-host's output.
#include "value_printer.h"

#include <cstdio>

namespace nimbus_host {
namespace {

using standin::Kind;
using standin::Value;

constexpr size_t kDumpBytesPerLine = 16;

bool Printable(unsigned char c) {
  return c >= 0x20 && c < 0x7F;
}

std::string Bytes(const char* kindName, const Value& value, bool hex) {
  if (value.isNull) return std::string(kindName) + "(null)";
  std::string out = std::string(kindName) + "(" + std::to_string(value.bytes.size()) + ")";
  // A Text whose length field disagrees with its block shows what the field said.
  if (value.kind == Kind::kText && value.longint != int32_t(value.bytes.size())) {
    out += " [length field " + std::to_string(value.longint) + "]";
  }
  if (hex) {
    std::string dump = HexDump(value.bytes);
    if (!dump.empty()) dump.pop_back();  // the caller ends the line
    return dump.empty() ? out : out + "\n" + dump;
  }
  return out + " \"" + EscapeBytes(value.bytes) + "\"";
}

}  // namespace

std::string EscapeBytes(const std::string& bytes) {
  std::string out;
  for (const char c : bytes) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte == '\\' || byte == '"') {
      out += '\\';
      out += c;
    } else if (Printable(byte)) {
      out += c;
    } else {
      char escaped[5];
      std::snprintf(escaped, sizeof(escaped), "\\x%02X", byte);
      out += escaped;
    }
  }
  return out;
}

std::string HexDump(const std::string& bytes) {
  std::string out;
  for (size_t line = 0; line < bytes.size(); line += kDumpBytesPerLine) {
    char offset[24];
    std::snprintf(offset, sizeof(offset), "  %06zX:", line);
    out += offset;
    std::string ascii;
    for (size_t i = line; i < line + kDumpBytesPerLine; ++i) {
      if (i < bytes.size()) {
        const unsigned char byte = static_cast<unsigned char>(bytes[i]);
        char hex[4];
        std::snprintf(hex, sizeof(hex), " %02X", byte);
        out += hex;
        ascii += Printable(byte) ? char(byte) : '.';
      } else {
        out += "   ";
      }
    }
    out += "  " + ascii + "\n";
  }
  return out;
}

std::string FormatValue(const Value& value, bool hex) {
  switch (value.kind) {
    case Kind::kLongint:
    case Kind::kInteger:
      return std::to_string(value.longint);
    case Kind::kString:
      return "string(" + std::to_string(value.bytes.size()) + ") \"" + EscapeBytes(value.bytes) +
             "\"";
    case Kind::kText:
      return Bytes("Text", value, hex);
    case Kind::kBlock:
      return Bytes("block", value, hex);
    case Kind::kDate:
      return std::to_string(value.date.day) + "/" + std::to_string(value.date.month) + "/" +
             std::to_string(value.date.year);
    case Kind::kNone:
      break;
  }
  return "none";
}

}  // namespace nimbus_host
