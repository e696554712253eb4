#include "support/fuzz_support.h"

#include <cstdio>
#include <cstdlib>

#include "host/toolbox.h"
#include "toolbox/toolbox_testing.h"

namespace nimbus::fuzz {

void SetUpToolbox() {
  static const bool ready = [] {
    TBTest_SetMovingMode(1);
    if (OpenResFile(NIMBUS_RESOURCE_PATH) < 0) Fail("cannot open " NIMBUS_RESOURCE_PATH);
    // The toolbox makes a resource's block at its first request and keeps it: ask for both
    // tables now so that the block account of each input counts only its own blocks.
    GetNamedResource(ResTypeOf("NMBc"), reinterpret_cast<const unsigned char*>("\x07Mac2ISO"));
    GetNamedResource(ResTypeOf("NMBc"), reinterpret_cast<const unsigned char*>("\x07ISO2Mac"));
    return true;
  }();
  (void)ready;
}

FourDText MakeText(std::string_view bytes) {
  Handle block = NewHandle(int32_t(bytes.size()));
  if (block == nullptr) Fail("no block for a fuzz Text");
  if (!bytes.empty()) BlockMove(bytes.data(), *block, int32_t(bytes.size()));
  return FourDText{int16_t(bytes.size()), block};
}

std::string TextBytes(const FourDText& text) {
  if (text.handle == nullptr || text.length <= 0) return {};
  return std::string(*text.handle, size_t(text.length));
}

void DisposeText(const FourDText& text) {
  if (text.handle != nullptr) DisposeHandle(text.handle);
}

std::string Printable(std::string_view bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c >= 32 && c < 127 && c != '\\') {
      out += char(c);
    } else {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02X", c);
      out += escape;
    }
  }
  return out;
}

void Fail(const std::string& what) {
  std::fprintf(stderr, "\n*** fuzz property failed: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

BlockAccount::BlockAccount()
    : liveHandles_(TBTest_LiveHandles()),
      livePointers_(TBTest_LivePointers()),
      unknownUses_(TBTest_UnknownBlockUses()) {
  TBTest_SetAllocationBudget(-1);
}

BlockAccount::~BlockAccount() {
  TBTest_SetAllocationBudget(-1);
  Check(TBTest_UnknownBlockUses() == unknownUses_, "a disposed or foreign handle was used");
  Check(TBTest_LiveHandles() == liveHandles_,
        "relocatable blocks leaked: " + std::to_string(TBTest_LiveHandles() - liveHandles_));
  Check(TBTest_LivePointers() == livePointers_,
        "fixed records leaked: " + std::to_string(TBTest_LivePointers() - livePointers_));
}

Steering Steering::Take(const uint8_t*& data, size_t& size) {
  Steering steering;
  if (size == 0) return steering;
  steering.variant = data[0] & 0x0F;
  if (data[0] & 0x80) steering.allocationBudget = (data[0] >> 4) & 0x07;
  ++data;
  --size;
  return steering;
}

void Steering::LimitAllocations() const {
  TBTest_SetAllocationBudget(allocationBudget);
}

}  // namespace nimbus::fuzz
