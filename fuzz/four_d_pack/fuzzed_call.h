// One call of FourDPack built from fuzz input the way 4D lays it out: every parameter in a
// heap block of exactly its kind's size (so a write of the wrong width is caught), Texts and
// pictures in real toolbox blocks, and a result slot ready for the routine's result kind.
// Selectors without a routine get parameter blocks large enough for any kind.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "package/fourd_abi.h"

namespace nimbus::fuzz {

class FuzzedCall {
 public:
  FuzzedCall(int32_t selector, FuzzedDataProvider& input);
  // Disposes of every block left in a Text or picture parameter and in the result: they
  // belong to 4D, which the fuzzer stands for.
  ~FuzzedCall();
  FuzzedCall(const FuzzedCall&) = delete;
  FuzzedCall& operator=(const FuzzedCall&) = delete;

  int32_t selector() const { return selector_; }
  void** params() { return addresses_.data(); }
  FourDResult* result() { return &result_; }

  // The stream reference of a routine that takes one first, as the call carries it.
  std::optional<int32_t> reference() const;

  // Fails when a routine without a result, or a selector without a routine, wrote the slot.
  void CheckResultSlot() const;

 private:
  struct Parameter {
    char kind;  // the catalog's letter: L I S T B D, or 0 for a selector without a routine
    std::unique_ptr<unsigned char[]> memory;
  };

  void AddParameter(char kind, int index, FuzzedDataProvider& input);

  int32_t selector_;
  char resultKind_ = 0;
  std::vector<Parameter> parameters_;
  std::vector<void*> addresses_;
  FourDResult result_{};
  std::unique_ptr<unsigned char[]> resultString_;
  std::unique_ptr<FourDText> resultText_;
};

}  // namespace nimbus::fuzz
