// Conversions between script values and routine values.
#include "routine_values.h"

namespace nimbus_script {

ValueKind ScriptKindOf(standin::Kind kind) {
  switch (kind) {
    case standin::Kind::kLongint:
    case standin::Kind::kInteger:
      return ValueKind::kLongint;
    case standin::Kind::kString:
    case standin::Kind::kText:
      return ValueKind::kText;
    case standin::Kind::kBlock:
      return ValueKind::kBlob;
    case standin::Kind::kDate:
      return ValueKind::kDate;
    case standin::Kind::kNone:
      break;
  }
  return ValueKind::kNone;
}

standin::Value ToRoutineValue(const ScriptValue& value, standin::Kind kind, const std::string& what,
                              const SourcePosition& where) {
  const ValueKind wanted = ScriptKindOf(kind);
  if (value.kind != wanted) {
    throw ScriptError(where, what + " is " + (kind == standin::Kind::kInteger ? "an " : "a ") +
                                 standin::KindName(kind) + "; got a " + KindName(value.kind));
  }
  switch (kind) {
    case standin::Kind::kLongint:
      return standin::Value::Longint(value.longint);
    case standin::Kind::kInteger:
      if (value.longint < -32768 || value.longint > 65535) {
        throw ScriptError(where, what + " is an integer: " + std::to_string(value.longint) +
                                     " is outside -32768..65535");
      }
      return standin::Value::Integer(static_cast<int16_t>(static_cast<uint16_t>(value.longint)));
    case standin::Kind::kString:
      if (value.bytes.size() > 255) {
        throw ScriptError(where, what + " is a string of at most 255 characters; got " +
                                     std::to_string(value.bytes.size()));
      }
      return standin::Value::String(value.bytes);
    case standin::Kind::kText:
      if (value.bytes.size() > static_cast<size_t>(kMaxTextLength)) {
        throw ScriptError(where, what + " is a Text of at most 32767 characters; got " +
                                     std::to_string(value.bytes.size()));
      }
      return standin::Value::Text(value.bytes);
    case standin::Kind::kBlock:
      return standin::Value::Block(value.bytes);
    case standin::Kind::kDate:
      return standin::Value::Date(value.date.day, value.date.month, value.date.year);
    case standin::Kind::kNone:
      break;
  }
  throw ScriptError(where, what + " has no kind");
}

ScriptValue FromRoutineValue(const standin::Value& value) {
  switch (value.kind) {
    case standin::Kind::kLongint:
    case standin::Kind::kInteger:
      return ScriptValue::Longint(value.longint);
    case standin::Kind::kString:
    case standin::Kind::kText:
      return ScriptValue::Text(value.bytes);
    case standin::Kind::kBlock:
      return ScriptValue::Blob(value.bytes);
    case standin::Kind::kDate:
      return ScriptValue::Date(value.date);
    case standin::Kind::kNone:
      break;
  }
  return ScriptValue{};
}

}  // namespace nimbus_script
