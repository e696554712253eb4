// Building parameter values, and the names of the kinds.
#include "host.h"

namespace standin {

const char* KindName(Kind kind) {
  switch (kind) {
    case Kind::kLongint:
      return "longint";
    case Kind::kInteger:
      return "integer";
    case Kind::kString:
      return "string";
    case Kind::kText:
      return "Text";
    case Kind::kBlock:
      return "block";
    case Kind::kDate:
      return "date";
    case Kind::kNone:
      break;
  }
  return "none";
}

Value Value::Longint(int32_t v) {
  Value value;
  value.kind = Kind::kLongint;
  value.longint = v;
  return value;
}

Value Value::Integer(int16_t v) {
  Value value;
  value.kind = Kind::kInteger;
  value.longint = v;
  return value;
}

Value Value::String(const std::string& s) {
  Value value;
  value.kind = Kind::kString;
  value.bytes = s;
  return value;
}

Value Value::Text(const std::string& s) {
  Value value;
  value.kind = Kind::kText;
  value.bytes = s;
  return value;
}

Value Value::NullText() {
  Value value;
  value.kind = Kind::kText;
  value.isNull = true;
  return value;
}

Value Value::Block(const std::string& bytes) {
  Value value;
  value.kind = Kind::kBlock;
  value.bytes = bytes;
  return value;
}

Value Value::NullBlock() {
  Value value;
  value.kind = Kind::kBlock;
  value.isNull = true;
  return value;
}

Value Value::Date(int16_t day, int16_t month, int16_t year) {
  Value value;
  value.kind = Kind::kDate;
  value.date = FourDDate{day, month, year};
  return value;
}

}  // namespace standin
