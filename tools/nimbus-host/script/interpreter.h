// Runs a script program: the main method in the calling thread (the host's main process),
// and every New process as a cooperative process of the stand-in host.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "host/host.h"
#include "program.h"

namespace nimbus_script {

class Interpreter {
 public:
  // `print` receives each line that LOG writes, with its line end. The host may be without a
  // package: then every routine call is an error.
  Interpreter(const Program& program, standin::Host& host,
              std::function<void(const std::string&)> print);
  ~Interpreter();
  Interpreter(const Interpreter&) = delete;
  Interpreter& operator=(const Interpreter&) = delete;

  // Runs the main method with `arguments` as $1, $2 ... (texts), then waits for every process
  // it started. True when no script error happened in any process; otherwise error() holds
  // the first, formatted "FILE:LINE:COLUMN: error: ..." (with the process named when it was
  // not the main one). After an error every process stops at its next statement.
  bool Run(const std::vector<std::string>& arguments);
  const std::string& error() const { return error_; }

 private:
  struct Variable;
  struct Frame;
  struct ProcessContext;

  void RunProcess(const Method& method, std::vector<ScriptValue> params, int32_t number,
                  const std::string& name);
  void RecordError(const ScriptError& error, const ProcessContext& process);

  // Statements.
  void Execute(const Block& block, Frame& frame, ProcessContext& process);
  void ExecuteStatement(const Stmt& stmt, Frame& frame, ProcessContext& process);
  void ExecuteFor(const Stmt& stmt, Frame& frame, ProcessContext& process);
  bool Condition(const Expr& expr, Frame& frame, ProcessContext& process, const char* owner);
  void Assign(Frame& frame, const std::string& name, ScriptValue value,
              const SourcePosition& where);
  void CheckRunning(ProcessContext& process);
  void YieldFromLoop(ProcessContext& process);

  // Expressions.
  ScriptValue Evaluate(const Expr& expr, Frame& frame, ProcessContext& process);
  const ScriptValue& VariableValue(const Expr& expr, Frame& frame);
  // The value of `expr` without a copy: the variable's own value when `expr` reads one (valid
  // until the variable is next written), otherwise the value evaluated into `holder`.
  const ScriptValue& EvaluateShared(const Expr& expr, Frame& frame, ProcessContext& process,
                                    ScriptValue& holder);
  ScriptValue EvaluateBinary(const Expr& expr, Frame& frame, ProcessContext& process);
  // $t:=$t+text appends to $t where it is, instead of copying it; false when the statement
  // is of another form (then it is run as any assignment).
  bool AppendToVariable(const Stmt& stmt, Frame& frame, ProcessContext& process);
  ScriptValue CallValueBuiltin(const Expr& call, Frame& frame, ProcessContext& process);
  ScriptValue EvaluateCall(const Expr& call, Frame& frame, ProcessContext& process);
  ScriptValue CallRoutine(const Expr& call, Frame& frame, ProcessContext& process);
  ScriptValue CallMethod(const Method& method, const Expr& call, std::vector<ScriptValue> args,
                         ProcessContext& process);
  ScriptValue RunProcessBuiltin(const Expr& call, std::vector<ScriptValue>& args, Frame& frame,
                                ProcessContext& process);
  ScriptValue StartNewProcess(const Expr& call, std::vector<ScriptValue>& args);
  void DelayProcess(int32_t ticks, ProcessContext& process);

  const Program& program_;
  standin::Host& host_;
  std::function<void(const std::string&)> print_;
  std::atomic<bool> failed_{false};
  std::atomic<int32_t> lastProcessNumber_{1};
  std::atomic<int32_t> runningProcesses_{0};
  std::mutex errorMutex_;
  std::string error_;
};

}  // namespace nimbus_script
