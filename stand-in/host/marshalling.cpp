// Value <-> 4D parameter memory for one routine call.
#include "marshalling.h"

#include <algorithm>
#include <cstring>

namespace standin {
namespace {

constexpr size_t kStringBufferSize = 256;
constexpr size_t kMaxStringLength = 255;

size_t StorageSize(Kind kind) {
  switch (kind) {
    case Kind::kLongint:
      return sizeof(int32_t);
    case Kind::kInteger:
      return sizeof(int16_t);
    case Kind::kString:
      return kStringBufferSize;
    case Kind::kText:
      return sizeof(FourDText);
    case Kind::kBlock:
      return sizeof(Handle);
    case Kind::kDate:
      return sizeof(FourDDate);
    case Kind::kNone:
      break;
  }
  return 0;
}

std::string CheckValue(const Value& value, Kind expected, size_t number) {
  const std::string where = "parameter " + std::to_string(number);
  if (value.kind != expected) {
    return where + " must be a " + KindName(expected) + ", not a " + KindName(value.kind);
  }
  if (expected == Kind::kString && value.bytes.size() > kMaxStringLength) {
    return where + ": a string holds at most 255 bytes, this one " +
           std::to_string(value.bytes.size());
  }
  if (expected == Kind::kText && value.bytes.size() > size_t(kMaxTextLength)) {
    return where + ": a Text holds at most 32767 bytes, this one " +
           std::to_string(value.bytes.size());
  }
  return "";
}

// A new block holding `bytes`; null when the toolbox has no memory for it.
Handle BlockOf(const std::string& bytes) {
  Handle h = NewHandle(Size(bytes.size()));
  if (h != nullptr && !bytes.empty()) BlockMove(bytes.data(), *h, Size(bytes.size()));
  return h;
}

// The first `length` bytes of a block (never more than it holds).
std::string BytesOf(Handle h, int32_t length) {
  if (h == nullptr || length <= 0) return "";
  const int32_t size = GetHandleSize(h);
  const int32_t n = std::min(length, size);
  if (n <= 0 || *h == nullptr) return "";
  return std::string(*h, size_t(n));
}

template <typename T>
T& As(unsigned char* memory) {
  return *reinterpret_cast<T*>(memory);
}

}  // namespace

CallFrame::~CallFrame() {
  if (!collected_) DisposeLeftBlocks();
}

std::string CallFrame::Prepare(const RoutineInfo& routine, const std::vector<Value>& values,
                               int32_t initialResult) {
  routine_ = &routine;
  if (values.size() != routine.params.size()) {
    return routine.name + " takes " + std::to_string(routine.params.size()) + " parameters, not " +
           std::to_string(values.size());
  }
  for (size_t i = 0; i < values.size(); ++i) {
    std::string problem = CheckValue(values[i], routine.params[i], i + 1);
    if (!problem.empty()) return problem;
  }

  for (size_t i = 0; i < values.size(); ++i) {
    const Value& value = values[i];
    Parameter parameter{value.kind, std::make_unique<unsigned char[]>(StorageSize(value.kind))};
    unsigned char* memory = parameter.memory.get();
    switch (value.kind) {
      case Kind::kLongint:
        As<int32_t>(memory) = value.longint;
        break;
      case Kind::kInteger:
        As<int16_t>(memory) = int16_t(value.longint);
        break;
      case Kind::kString:
        memory[0] = static_cast<unsigned char>(value.bytes.size());
        std::memcpy(memory + 1, value.bytes.data(), value.bytes.size());
        break;
      case Kind::kText:
        As<FourDText>(memory) = FourDText{int16_t(value.isNull ? 0 : value.bytes.size()), nullptr};
        break;
      case Kind::kBlock:
        As<Handle>(memory) = nullptr;
        break;
      case Kind::kDate:
        As<FourDDate>(memory) = value.date;
        break;
      case Kind::kNone:
        break;
    }
    parameters_.push_back(std::move(parameter));
    if ((value.kind == Kind::kText || value.kind == Kind::kBlock) && !value.isNull) {
      Handle h = BlockOf(value.bytes);
      if (h == nullptr) return "no memory for the block of parameter " + std::to_string(i + 1);
      if (value.kind == Kind::kText) {
        As<FourDText>(memory).handle = h;
      } else {
        As<Handle>(memory) = h;
      }
    }
  }
  for (Parameter& parameter : parameters_) addresses_.push_back(parameter.memory.get());
  // 4D always hands over a list, even for a routine without parameters.
  if (addresses_.empty()) addresses_.push_back(nullptr);

  result_.raw = nullptr;
  switch (routine.result) {
    case Kind::kString:
      resultString_ = std::make_unique<unsigned char[]>(kStringBufferSize);
      result_.string = resultString_.get();
      break;
    case Kind::kText:
      resultText_ = std::make_unique<FourDText>(FourDText{0, nullptr});
      result_.text = resultText_.get();
      break;
    case Kind::kBlock:
      result_.block = nullptr;
      break;
    default:
      result_.longint = initialResult;
      break;
  }
  return "";
}

void CallFrame::DisposeOnce(Handle h) {
  if (h == nullptr) return;
  if (std::find(disposed_.begin(), disposed_.end(), h) != disposed_.end()) return;
  disposed_.push_back(h);
  DisposeHandle(h);
}

void CallFrame::DisposeLeftBlocks() {
  for (Parameter& parameter : parameters_) {
    if (parameter.kind == Kind::kText) {
      DisposeOnce(As<FourDText>(parameter.memory.get()).handle);
    } else if (parameter.kind == Kind::kBlock) {
      DisposeOnce(As<Handle>(parameter.memory.get()));
    }
  }
  if (routine_ == nullptr) return;
  if (routine_->result == Kind::kText && resultText_) DisposeOnce(resultText_->handle);
  if (routine_->result == Kind::kBlock) DisposeOnce(result_.block);
}

Value CallFrame::ReadParameter(const Parameter& parameter) {
  unsigned char* memory = parameter.memory.get();
  switch (parameter.kind) {
    case Kind::kLongint:
      return Value::Longint(As<int32_t>(memory));
    case Kind::kInteger:
      return Value::Integer(As<int16_t>(memory));
    case Kind::kString:
      return Value::String(std::string(reinterpret_cast<char*>(memory + 1), memory[0]));
    case Kind::kText: {
      const FourDText& text = As<FourDText>(memory);
      Value value = text.handle == nullptr ? Value::NullText()
                                           : Value::Text(BytesOf(text.handle, text.length));
      value.longint = text.length;
      return value;
    }
    case Kind::kBlock: {
      Handle h = As<Handle>(memory);
      if (h == nullptr) return Value::NullBlock();
      Value value = Value::Block(BytesOf(h, GetHandleSize(h)));
      value.longint = GetHandleSize(h);
      return value;
    }
    case Kind::kDate: {
      const FourDDate& date = As<FourDDate>(memory);
      return Value::Date(date.day, date.month, date.year);
    }
    case Kind::kNone:
      break;
  }
  return Value{};
}

Value CallFrame::ReadResult() {
  switch (routine_->result) {
    case Kind::kString: {
      const unsigned char* s = resultString_.get();
      return Value::String(std::string(reinterpret_cast<const char*>(s + 1), s[0]));
    }
    case Kind::kText: {
      Value value = resultText_->handle == nullptr
                        ? Value::NullText()
                        : Value::Text(BytesOf(resultText_->handle, resultText_->length));
      value.longint = resultText_->length;
      return value;
    }
    case Kind::kBlock: {
      Handle h = result_.block;
      if (h == nullptr) return Value::NullBlock();
      Value value = Value::Block(BytesOf(h, GetHandleSize(h)));
      value.longint = GetHandleSize(h);
      return value;
    }
    case Kind::kLongint:
      return Value::Longint(result_.longint);
    default: {
      Value value;
      value.longint = result_.longint;
      return value;
    }
  }
}

CallResult CallFrame::Collect() {
  CallResult out;
  for (const Parameter& parameter : parameters_) out.params.push_back(ReadParameter(parameter));
  out.result = ReadResult();
  DisposeLeftBlocks();
  collected_ = true;
  return out;
}

}  // namespace standin
