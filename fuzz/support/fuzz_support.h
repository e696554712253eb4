// What every fuzz target shares: the toolbox set up as in the tests (moving mode on, the
// character tables open), Texts made from fuzz bytes, and checks that stop the run with a
// message when a property fails, so that libFuzzer keeps the input as a finding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "host/fourd_params.h"

namespace nimbus::fuzz {

// Turns the toolbox's moving mode on and opens the package's resource file (once).
void SetUpToolbox();

// A Text holding a copy of the bytes in a new block.
FourDText MakeText(std::string_view bytes);
// The Text's characters, its first `length` bytes; empty for a null handle.
std::string TextBytes(const FourDText& text);
void DisposeText(const FourDText& text);

// Bytes as C escapes, for messages.
std::string Printable(std::string_view bytes);

// Prints the message and aborts: libFuzzer records the input that led here.
[[noreturn]] void Fail(const std::string& what);
inline void Check(bool ok, const std::string& what) {
  if (!ok) Fail(what);
}

// Counts the toolbox's live blocks and stale-handle uses around one input: a block left
// behind or a disposed handle used again is a finding. The allocation budget is lifted at
// both ends.
class BlockAccount {
 public:
  BlockAccount();
  ~BlockAccount();
  BlockAccount(const BlockAccount&) = delete;
  BlockAccount& operator=(const BlockAccount&) = delete;

 private:
  int32_t liveHandles_;
  int32_t livePointers_;
  int32_t unknownUses_;
};

// The first byte of an input steers it: its low four bits choose among a target's variants
// and, when its top bit is set, bits 4-6 give the number of allocations that succeed before
// every later one fails, so that the failure paths are fuzzed too.
struct Steering {
  uint8_t variant = 0;
  int32_t allocationBudget = -1;  // -1: no limit

  // Takes the steering byte off the front of the input (an empty input steers nothing).
  static Steering Take(const uint8_t*& data, size_t& size);
  // Sets the budget just before the operation under test.
  void LimitAllocations() const;
  bool limited() const { return allocationBudget >= 0; }
};

}  // namespace nimbus::fuzz
