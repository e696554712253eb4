#include "four_d_pack/fuzzed_call.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "host/host.h"
#include "host/toolbox.h"
#include "support/fuzz_support.h"

namespace nimbus::fuzz {
namespace {

constexpr int32_t kSelectorPictureToGIF = 46;
constexpr int kMostParameters = 7;
constexpr size_t kStringBuffer = 256;
constexpr size_t kAnyKindBuffer = kStringBuffer + sizeof(FourDText);
constexpr size_t kLongestContent = 4096;  // bytes taken from the input as they are
constexpr size_t kLongestPattern = 64;    // what a long text repeats
// Long texts and blocks are often near the lengths that sends, pending output and the
// conversions' caps turn on, a few bytes either side.
constexpr int32_t kThresholds[] = {1024,  4095,  4096,  4097,  8191,  10922,
                                   16384, 31999, 32000, 32001, 32766, 32767};
constexpr int32_t kThresholdSpread = 5;         // -2 to +2
constexpr uint8_t kNearThreshold = 192;         // picks below it take a threshold
constexpr int32_t kLargestPictureExtent = 256;  // keeps a drawing's world small and quick
constexpr uintptr_t kUntouched = 0x5A5A5A5Au;

// Routines whose first parameter is a stream reference.
bool TakesReference(int32_t selector) {
  return (selector >= 4 && selector <= 13) || selector == 40 || (selector >= 42 && selector <= 44);
}

char LetterOf(standin::Kind kind) {
  switch (kind) {
    case standin::Kind::kLongint:
      return 'L';
    case standin::Kind::kInteger:
      return 'I';
    case standin::Kind::kString:
      return 'S';
    case standin::Kind::kText:
      return 'T';
    case standin::Kind::kBlock:
      return 'B';
    case standin::Kind::kDate:
      return 'D';
    case standin::Kind::kNone:
      break;
  }
  return '-';
}

// Mostly the small values that references, options, modes and counts take, sometimes an
// edge of the range, sometimes anything.
int32_t FuzzedLongint(FuzzedDataProvider& input) {
  constexpr int32_t kEdges[] = {0,     -1,     1023, 1024, 32767,     32768,    65535,
                                65536, -32768, 255,  256,  INT32_MIN, INT32_MAX};
  const uint8_t style = input.ConsumeIntegral<uint8_t>();
  if (style < 160) return int32_t(style) - 24;
  if (style < 200) return input.ConsumeIntegralInRange<int32_t>(-20, 1030);
  if (style < 230) return kEdges[input.ConsumeIntegral<uint8_t>() % std::size(kEdges)];
  return input.ConsumeIntegral<int32_t>();
}

// References go mostly to the first few slots, where the streams of an input live (the
// lowest free slot is always taken), sometimes to the statistics, sometimes anywhere.
int32_t FuzzedReference(FuzzedDataProvider& input) {
  constexpr int32_t kLowSlots = 6;
  const uint8_t style = input.ConsumeIntegral<uint8_t>();
  if (style < 192) return 1 + style % kLowSlots;
  if (style < 224) return -1 - int32_t(style % 18);
  return FuzzedLongint(input);
}

Handle BlockWith(const std::string& bytes) {
  Handle block = NewHandle(int32_t(bytes.size()));
  if (block == nullptr) Fail("no block for a fuzzed parameter");
  if (!bytes.empty()) std::memcpy(*block, bytes.data(), bytes.size());
  return block;
}

// Any length up to a Text's 32767 bytes, filled by repeating a short fuzzed pattern, so that
// a short input still reaches the longest Texts.
std::string LongContent(FuzzedDataProvider& input) {
  const uint8_t pick = input.ConsumeIntegral<uint8_t>();
  int32_t length;
  if (pick < kNearThreshold) {
    const int32_t count = int32_t(std::size(kThresholds));
    length = kThresholds[pick % count] + (pick / count) % kThresholdSpread - 2;
    length = std::clamp(length, int32_t(0), kMaxTextLength);
  } else {
    length = input.ConsumeIntegralInRange<int32_t>(0, kMaxTextLength);
  }
  std::string pattern = input.ConsumeRandomLengthString(kLongestPattern);
  if (pattern.empty()) pattern = "x";
  std::string bytes;
  bytes.reserve(size_t(length));
  while (bytes.size() < size_t(length)) bytes += pattern;
  bytes.resize(size_t(length));
  return bytes;
}

// Style 4 of a Text or block: a long one.
constexpr uint8_t kStyles = 8;
constexpr uint8_t kLongStyle = 4;

// File names come from a few short ones half of the time, so that what one routine writes
// another can read.
std::string FuzzedContent(FuzzedDataProvider& input, bool fileName) {
  if (fileName && input.ConsumeBool()) {
    return std::string(1, char('a' + input.ConsumeIntegralInRange<int>(0, 2)));
  }
  return input.ConsumeRandomLengthString(kLongestContent);
}

FourDText FuzzedText(FuzzedDataProvider& input, bool fileName) {
  const uint8_t style = input.ConsumeIntegral<uint8_t>();
  if (style % kStyles == 0) return FourDText{int16_t(style >> 3), nullptr};
  const std::string bytes =
      style % kStyles == kLongStyle ? LongContent(input) : FuzzedContent(input, fileName);
  int16_t length = int16_t(bytes.size());
  if (style & 0x80) length = input.ConsumeIntegral<int16_t>();  // not what the block holds
  return FourDText{length, BlockWith(bytes)};
}

// A drawing's extent is at most kLargestPictureExtent. The package reads each frame word
// the block holds and 0 for each it lacks (a block of 6 to 9 bytes has a near corner but
// no far one), so the far corner is pulled in, or the near one when the far one is missing.
void ClampPictureFrame(Handle picture) {
  if (picture == nullptr) return;
  const int32_t size = GetHandleSize(picture);
  auto* bytes = reinterpret_cast<uint8_t*>(*picture);
  auto has = [&](int at) { return at + 2 <= size; };
  auto word = [&](int at) {
    return has(at) ? int32_t(int16_t(bytes[at] | (bytes[at + 1] << 8))) : 0;
  };
  auto set = [&](int at, int32_t value) {
    bytes[at] = uint8_t(value);
    bytes[at + 1] = uint8_t(uint16_t(value) >> 8);
  };
  for (int near = 2; near <= 4; near += 2) {
    const int far = near + 4;
    const int32_t from = word(near), to = word(far);
    if (to - from <= kLargestPictureExtent) continue;
    const int32_t extent = (to - from) % (kLargestPictureExtent + 1);
    if (has(far)) {
      set(far, int16_t(from + extent));
    } else {
      set(near, int16_t(to - extent));
    }
  }
}

}  // namespace

FuzzedCall::FuzzedCall(int32_t selector, FuzzedDataProvider& input) : selector_(selector) {
  const standin::RoutineInfo* routine = standin::FindRoutineInfo(std::to_string(selector));
  if (routine == nullptr) {
    for (int i = 0; i < kMostParameters; ++i) AddParameter(0, i, input);
    result_.raw = reinterpret_cast<void*>(kUntouched);
  } else {
    for (size_t i = 0; i < routine->params.size(); ++i) {
      AddParameter(LetterOf(routine->params[i]), int(i), input);
    }
    resultKind_ = LetterOf(routine->result);
    switch (resultKind_) {
      case 'S':
        resultString_ = std::make_unique<unsigned char[]>(kStringBuffer);
        std::memset(resultString_.get(), 0xEE, kStringBuffer);
        result_.string = resultString_.get();
        break;
      case 'T':
        resultText_ = std::make_unique<FourDText>(FourDText{0, nullptr});
        result_.text = resultText_.get();
        break;
      case 'B':
        result_.block = nullptr;
        break;
      default:
        result_.raw = reinterpret_cast<void*>(kUntouched);
        break;
    }
  }
  for (Parameter& parameter : parameters_) addresses_.push_back(parameter.memory.get());
}

void FuzzedCall::AddParameter(char kind, int index, FuzzedDataProvider& input) {
  Parameter parameter{kind, nullptr};
  const bool fileName =
      (selector_ == 12 || selector_ == 13 || selector_ == 57) ? index == 1 : selector_ == 58;
  switch (kind) {
    case 'L': {
      int32_t value =
          index == 0 && TakesReference(selector_) ? FuzzedReference(input) : FuzzedLongint(input);
      if (selector_ == kSelectorPictureToGIF && (index == 2 || index == 3)) {
        value =
            int16_t(value) > kLargestPictureExtent ? value % (kLargestPictureExtent + 1) : value;
      }
      parameter.memory = std::make_unique<unsigned char[]>(sizeof(int32_t));
      std::memcpy(parameter.memory.get(), &value, sizeof value);
      break;
    }
    case 'I': {
      const int16_t value = int16_t(FuzzedLongint(input));
      parameter.memory = std::make_unique<unsigned char[]>(sizeof(int16_t));
      std::memcpy(parameter.memory.get(), &value, sizeof value);
      break;
    }
    case 'S': {
      parameter.memory = std::make_unique<unsigned char[]>(kStringBuffer);
      const std::string bytes = input.ConsumeRandomLengthString(kStringBuffer - 1);
      parameter.memory[0] = uint8_t(bytes.size());
      std::memcpy(parameter.memory.get() + 1, bytes.data(), bytes.size());
      break;
    }
    case 'T': {
      const FourDText text = FuzzedText(input, fileName);
      parameter.memory = std::make_unique<unsigned char[]>(sizeof(FourDText));
      std::memcpy(parameter.memory.get(), &text, sizeof text);
      break;
    }
    case 'B': {
      Handle block = nullptr;
      const uint8_t style = input.ConsumeIntegral<uint8_t>();
      if (style % kStyles == kLongStyle) {
        block = BlockWith(LongContent(input));
      } else if (style % kStyles != 0) {
        block = BlockWith(input.ConsumeRandomLengthString(kLongestContent));
      }
      if (selector_ == kSelectorPictureToGIF) ClampPictureFrame(block);
      parameter.memory = std::make_unique<unsigned char[]>(sizeof(Handle));
      std::memcpy(parameter.memory.get(), &block, sizeof block);
      break;
    }
    case 'D': {
      const FourDDate date{input.ConsumeIntegral<int16_t>(), input.ConsumeIntegral<int16_t>(),
                           input.ConsumeIntegral<int16_t>()};
      parameter.memory = std::make_unique<unsigned char[]>(sizeof(FourDDate));
      std::memcpy(parameter.memory.get(), &date, sizeof date);
      break;
    }
    default: {
      parameter.memory = std::make_unique<unsigned char[]>(kAnyKindBuffer);
      const std::string bytes = input.ConsumeBytesAsString(kAnyKindBuffer);
      std::memset(parameter.memory.get(), 0, kAnyKindBuffer);
      std::memcpy(parameter.memory.get(), bytes.data(), bytes.size());
      break;
    }
  }
  parameters_.push_back(std::move(parameter));
}

FuzzedCall::~FuzzedCall() {
  for (const Parameter& parameter : parameters_) {
    Handle left = nullptr;
    if (parameter.kind == 'T') {
      left = reinterpret_cast<FourDText*>(parameter.memory.get())->handle;
    } else if (parameter.kind == 'B') {
      std::memcpy(&left, parameter.memory.get(), sizeof left);
    }
    if (left != nullptr) DisposeHandle(left);
  }
  if (resultKind_ == 'T' && resultText_->handle != nullptr) DisposeHandle(resultText_->handle);
  if (resultKind_ == 'B' && result_.block != nullptr) DisposeHandle(result_.block);
}

std::optional<int32_t> FuzzedCall::reference() const {
  if (!TakesReference(selector_) || parameters_.empty()) return std::nullopt;
  int32_t reference;
  std::memcpy(&reference, parameters_[0].memory.get(), sizeof reference);
  return reference;
}

void FuzzedCall::CheckResultSlot() const {
  if (resultKind_ != 0 && resultKind_ != '-') return;
  Check(result_.raw == reinterpret_cast<void*>(kUntouched),
        "selector " + std::to_string(selector_) + " wrote a result it does not have");
}

}  // namespace nimbus::fuzz
