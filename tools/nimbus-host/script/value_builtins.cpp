// Text, boolean, date, BLOB and document built-ins.
#include "value_builtins.h"

#include <ctime>
#include <filesystem>
#include <mutex>
#include <utility>

#include "folded_search.h"

namespace nimbus_script {
namespace {

class Arguments {
 public:
  Arguments(const Expr& call, std::span<const ScriptValue* const> values)
      : call_(call), values_(values) {}

  size_t count() const { return values_.size(); }

  const ScriptValue& Of(size_t i, ValueKind kind) const {
    if (values_[i]->kind != kind) {
      Fail(i, "parameter " + std::to_string(i + 1) + " of " + call_.name + " is a " +
                  KindName(kind) + "; got a " + KindName(values_[i]->kind));
    }
    return *values_[i];
  }
  int32_t Longint(size_t i) const { return Of(i, ValueKind::kLongint).longint; }
  const std::string& Text(size_t i) const { return Of(i, ValueKind::kText).bytes; }
  const ScriptValue& Any(size_t i) const { return *values_[i]; }

  [[noreturn]] void Fail(size_t i, const std::string& message) const {
    throw ScriptError(call_.args[i]->where, message);
  }
  [[noreturn]] void FailCall(const std::string& message) const {
    throw ScriptError(call_.where, message);
  }

 private:
  const Expr& call_;
  std::span<const ScriptValue* const> values_;
};

std::string FoldedCopy(const std::string& text, bool upper) {
  std::string out = text;
  for (char& c : out) {
    if (upper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (!upper && c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

ScriptValue Substring(Arguments& a) {
  const std::string& text = a.Text(0);
  int64_t start = a.Longint(1);
  int64_t count = a.count() > 2 ? a.Longint(2) : static_cast<int64_t>(text.size());
  if (start < 1) start = 1;
  if (count < 0 || start > static_cast<int64_t>(text.size())) return ScriptValue::Text("");
  return ScriptValue::Text(text.substr(static_cast<size_t>(start - 1), static_cast<size_t>(count)));
}

ScriptValue Position(Arguments& a) {
  const std::string& find = a.Text(0);
  const std::string& text = a.Text(1);
  int64_t start = a.count() > 2 ? a.Longint(2) : 1;
  if (start < 1) start = 1;
  const size_t at = FoldedSearch(find, text).Find(static_cast<size_t>(start - 1));
  return ScriptValue::Longint(at == std::string::npos ? 0 : static_cast<int32_t>(at + 1));
}

// Every occurrence, left to right and not overlapping, in one pass over the text.
ScriptValue ReplaceString(Arguments& a) {
  const std::string& text = a.Text(0);
  const std::string& old = a.Text(1);
  const std::string& replacement = a.Text(2);
  if (old.empty()) return ScriptValue::Text(text);
  FoldedSearch search(old, text);
  std::string out;
  out.reserve(text.size());
  size_t from = 0;
  for (size_t at; (at = search.Find(from)) != std::string::npos; from = at + old.size()) {
    out.append(text, from, at - from);
    out += replacement;
    if (out.size() > kMaxScriptText) a.FailCall("Replace string makes a text too long");
  }
  out.append(text, from, std::string::npos);
  return ScriptValue::Text(std::move(out));
}

ScriptValue StringOf(Arguments& a) {
  const ScriptValue& value = a.Any(0);
  if (value.kind == ValueKind::kBlob) a.Fail(0, "String cannot show a BLOB; use BLOB to text");
  return ScriptValue::Text(ToText(value));
}

ScriptValue NumOf(Arguments& a) {
  const ScriptValue& value = a.Any(0);
  switch (value.kind) {
    case ValueKind::kText:
      return ScriptValue::Longint(TextToLongint(value.bytes));
    case ValueKind::kLongint:
      return value;
    case ValueKind::kBoolean:
      return ScriptValue::Longint(value.boolean ? 1 : 0);
    default:
      a.Fail(0, std::string("Num takes a text, longint or boolean; got a ") + KindName(value.kind));
  }
}

// The local wall-clock date and time of day. localtime's buffer is shared, hence the lock.
std::tm LocalNow() {
  static std::mutex mutex;
  std::lock_guard<std::mutex> lock(mutex);
  const std::time_t now = std::time(nullptr);
  return *std::localtime(&now);
}

ScriptValue DocumentQuery(Arguments& a, BuiltinId id) {
  const std::string& path = a.Text(0);
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (id == BuiltinId::kTestPathName) {
    // 1 for a document, 0 for a folder, -43 (file not found) for anything else.
    if (std::filesystem::is_regular_file(status)) return ScriptValue::Longint(1);
    if (std::filesystem::is_directory(status)) return ScriptValue::Longint(0);
    return ScriptValue::Longint(-43);
  }
  if (!std::filesystem::is_regular_file(status)) a.Fail(0, "no document at " + path);
  const uintmax_t size = std::filesystem::file_size(path, error);
  if (error || size > 0x7FFFFFFF) a.Fail(0, "cannot tell the size of " + path);
  return ScriptValue::Longint(static_cast<int32_t>(size));
}

}  // namespace

ScriptValue EvaluateValueBuiltin(const Expr& call, std::span<const ScriptValue* const> args) {
  Arguments a(call, args);
  switch (call.target.builtin->id) {
    case BuiltinId::kChar: {
      const int32_t code = a.Longint(0);
      if (code < 0 || code > 255)
        a.Fail(0, "Char takes a code from 0 to 255; got " + std::to_string(code));
      return ScriptValue::Text(std::string(1, static_cast<char>(code)));
    }
    case BuiltinId::kCharacterCode: {
      const std::string& text = a.Text(0);
      if (text.empty()) a.Fail(0, "Character code of an empty text");
      return ScriptValue::Longint(static_cast<unsigned char>(text[0]));
    }
    case BuiltinId::kLength:
      return ScriptValue::Longint(static_cast<int32_t>(a.Text(0).size()));
    case BuiltinId::kSubstring:
      return Substring(a);
    case BuiltinId::kPosition:
      return Position(a);
    case BuiltinId::kReplaceString:
      return ReplaceString(a);
    case BuiltinId::kUppercase:
      return ScriptValue::Text(FoldedCopy(a.Text(0), true));
    case BuiltinId::kLowercase:
      return ScriptValue::Text(FoldedCopy(a.Text(0), false));
    case BuiltinId::kString:
      return StringOf(a);
    case BuiltinId::kNum:
      return NumOf(a);
    case BuiltinId::kTrue:
      return ScriptValue::Boolean(true);
    case BuiltinId::kFalse:
      return ScriptValue::Boolean(false);
    case BuiltinId::kNot:
      return ScriptValue::Boolean(!a.Of(0, ValueKind::kBoolean).boolean);
    case BuiltinId::kDayOf:
      return ScriptValue::Longint(a.Of(0, ValueKind::kDate).date.day);
    case BuiltinId::kMonthOf:
      return ScriptValue::Longint(a.Of(0, ValueKind::kDate).date.month);
    case BuiltinId::kYearOf:
      return ScriptValue::Longint(a.Of(0, ValueKind::kDate).date.year);
    case BuiltinId::kCurrentDate: {
      const std::tm now = LocalNow();
      return ScriptValue::Date({static_cast<int16_t>(now.tm_mday),
                                static_cast<int16_t>(now.tm_mon + 1),
                                static_cast<int16_t>(now.tm_year + 1900)});
    }
    case BuiltinId::kCurrentTime: {
      const std::tm now = LocalNow();
      return ScriptValue::Longint(now.tm_hour * 3600 + now.tm_min * 60 + now.tm_sec);
    }
    case BuiltinId::kTextToBlob:
      return ScriptValue::Blob(a.Text(0));
    case BuiltinId::kBlobToText:
      return ScriptValue::Text(a.Of(0, ValueKind::kBlob).bytes);
    case BuiltinId::kBlobSize:
      return ScriptValue::Longint(static_cast<int32_t>(a.Of(0, ValueKind::kBlob).bytes.size()));
    case BuiltinId::kTestPathName:
    case BuiltinId::kGetDocumentSize:
      return DocumentQuery(a, call.target.builtin->id);
    default:
      break;
  }
  throw ScriptError(call.where, call.name + " is run by the interpreter");
}

}  // namespace nimbus_script
