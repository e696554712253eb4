// The interpreter's run-time records: variables, frames and processes.
#pragma once

#include <chrono>
#include <string>
#include <unordered_map>

#include "interpreter.h"

namespace nimbus_script {

// Statement and expression levels one process may stack up, method calls included; deeper
// recursion is a script error instead of a native stack overflow.
constexpr int kMaxRunDepth = 1000;
// Processes that may run at once besides the main one.
constexpr int32_t kMaxProcesses = 64;

struct Interpreter::Variable {
  ValueKind kind = ValueKind::kNone;  // fixed by the first assignment or declaration
  bool hasValue = false;
  ScriptValue value;
};

// The local variables of one method run; $1, $2 ... and $0 are variables named "1", "2", "0".
struct Interpreter::Frame {
  std::unordered_map<std::string, Variable> variables;  // by NameKey
  int32_t parameterCount = 0;
};

struct Interpreter::ProcessContext {
  int32_t number = 1;
  std::string name;
  int depth = 0;
  std::chrono::steady_clock::time_point lastYield = std::chrono::steady_clock::now();
};

// Counts one level of statement or expression nesting in a process.
class DepthGuard {
 public:
  DepthGuard(int& depth, const SourcePosition& where) : depth_(depth) {
    if (++depth_ > kMaxRunDepth) {
      --depth_;
      throw ScriptError(where, "calls nested too deeply (a method that calls itself without end?)");
    }
  }
  ~DepthGuard() { --depth_; }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;

 private:
  int& depth_;
};

// Thrown in a process when another one has failed: it stops without a message of its own.
struct ProcessStopped {};

}  // namespace nimbus_script
