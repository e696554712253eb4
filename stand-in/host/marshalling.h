// The memory of one routine call as 4D lays it out: every parameter in a block of its own,
// exactly the size of its kind (so a write of the wrong width is caught under
// AddressSanitizer), the list of their addresses, and the result slot.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host.h"

namespace standin {

class CallFrame {
 public:
  CallFrame() = default;
  ~CallFrame();  // disposes of the blocks made for a call that was never collected
  CallFrame(const CallFrame&) = delete;
  CallFrame& operator=(const CallFrame&) = delete;

  // Lays out `values` as the parameters of `routine`. Answers an empty string, or why the
  // values do not fit (count, kind, size, or a block that could not be allocated).
  std::string Prepare(const RoutineInfo& routine, const std::vector<Value>& values,
                      int32_t initialResult);

  void** params() { return addresses_.data(); }
  FourDResult* result() { return &result_; }

  // After the call: reads back every parameter and the result, then disposes of every
  // block that a parameter or the result names (each one once).
  CallResult Collect();

 private:
  struct Parameter {
    Kind kind;
    std::unique_ptr<unsigned char[]> memory;
  };

  void DisposeOnce(Handle h);
  void DisposeLeftBlocks();
  Value ReadParameter(const Parameter& parameter);
  Value ReadResult();

  const RoutineInfo* routine_ = nullptr;
  std::vector<Parameter> parameters_;
  std::vector<void*> addresses_;
  FourDResult result_{};
  std::unique_ptr<unsigned char[]> resultString_;
  std::unique_ptr<FourDText> resultText_;
  std::vector<Handle> disposed_;
  bool collected_ = false;
};

}  // namespace standin
