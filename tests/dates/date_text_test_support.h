// Helpers shared by the date text tests.
#pragma once

#include <string>

#include "dates/dates.h"

namespace nimbus::testing {

// The text SecondsToDateText writes, as a std::string.
inline std::string DateText(uint32_t seconds, int32_t gmtFlag) {
  unsigned char text[256];
  SecondsToDateText(int32_t(seconds), gmtFlag, text);
  return std::string(text + 1, text + 1 + text[0]);
}

// A text in a buffer of exactly its own size, so AddressSanitizer stops any read past its
// end; copies with different padding beyond the length catch reads that stay in a buffer.
struct ExactText {
  explicit ExactText(const std::string& text) : bytes(new unsigned char[text.size() + 1]) {
    bytes[0] = static_cast<unsigned char>(text.size());
    std::copy(text.begin(), text.end(), bytes + 1);
  }
  ~ExactText() { delete[] bytes; }
  ExactText(const ExactText&) = delete;
  ExactText& operator=(const ExactText&) = delete;
  unsigned char* bytes;
};

inline uint32_t ReadInternet(const std::string& text) {
  ExactText exact(text);
  return uint32_t(DateTextToSeconds(exact.bytes, 0));
}

inline uint32_t ReadCompact(const std::string& text) {
  ExactText exact(text);
  return uint32_t(DateTextToSeconds(exact.bytes, 1));
}

}  // namespace nimbus::testing
