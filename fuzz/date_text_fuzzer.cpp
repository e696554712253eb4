// DateTextToSeconds on any text in either form, and the written Internet date text of any
// seconds read back to the same seconds. The text sits in a heap buffer of exactly its length
// byte plus its characters, so a read past the length is caught.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "dates/dates.h"
#include "support/fuzz_support.h"

namespace {

using namespace nimbus;
using nimbus::fuzz::Check;

constexpr int32_t kForms[] = {0, 1, 2, -1};  // 1 is the compact form; others Internet dates

void ReadAnyText(const fuzz::Steering& steering, const uint8_t* data, size_t size) {
  const size_t length = std::min<size_t>(size, 255);
  auto text = std::make_unique<unsigned char[]>(length + 1);
  text[0] = uint8_t(length);
  if (length > 0) std::memcpy(text.get() + 1, data, length);
  const int32_t form = kForms[steering.variant % 4];
  // Any seconds are a defined answer; what matters is that the reading stays in bounds.
  (void)DateTextToSeconds(text.get(), form);
}

void WriteAndReadBack(const fuzz::Steering& steering, const uint8_t* data, size_t size) {
  uint32_t seconds = 0;
  std::memcpy(&seconds, data, std::min<size_t>(size, sizeof seconds));
  const int32_t gmtFlag = (steering.variant & 1) ? 1 : 0;
  Str255 text;
  SecondsToDateText(int32_t(seconds), gmtFlag, text);
  const int32_t back = DateTextToSeconds(text, 0);
  Check(back == int32_t(seconds),
        "seconds " + std::to_string(seconds) + " flag " + std::to_string(gmtFlag) + " wrote \"" +
            fuzz::Printable(std::string(reinterpret_cast<const char*>(text + 1), text[0])) +
            "\", read back as " + std::to_string(uint32_t(back)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::SetUpToolbox();
  const fuzz::Steering steering = fuzz::Steering::Take(data, size);
  fuzz::BlockAccount account;
  if (steering.variant & 0x08) {
    WriteAndReadBack(steering, data, size);
  } else {
    ReadAnyText(steering, data, size);
  }
  return 0;
}
