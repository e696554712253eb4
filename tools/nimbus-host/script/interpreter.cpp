// Running methods and processes; statements and control flow.
#include <algorithm>
#include <exception>
#include <utility>

#include "host/toolbox.h"
#include "interpreter_internal.h"

namespace nimbus_script {
namespace {

// Loops give other processes a turn this often, as 4D's scheduler does.
constexpr auto kLoopYieldInterval = std::chrono::milliseconds(1);

}  // namespace

Interpreter::Interpreter(const Program& program, standin::Host& host,
                         std::function<void(const std::string&)> print)
    : program_(program), host_(host), print_(std::move(print)) {}

Interpreter::~Interpreter() = default;

bool Interpreter::Run(const std::vector<std::string>& arguments) {
  ProcessContext process;
  process.number = 1;
  process.name = "main";
  Frame frame;
  frame.parameterCount = static_cast<int32_t>(arguments.size());
  for (size_t i = 0; i < arguments.size(); ++i) {
    Variable& variable = frame.variables[std::to_string(i + 1)];
    variable.kind = ValueKind::kText;
    variable.hasValue = true;
    variable.value = ScriptValue::Text(arguments[i]);
  }
  try {
    Execute(program_.main().body, frame, process);
  } catch (const ScriptError& error) {
    RecordError(error, process);
  } catch (const ProcessStopped&) {
  } catch (const std::exception& error) {
    RecordError(ScriptError(program_.main().where, error.what()), process);
  }
  host_.RunProcesses();
  return !failed_;
}

void Interpreter::RunProcess(const Method& method, std::vector<ScriptValue> params, int32_t number,
                             const std::string& name) {
  ProcessContext process;
  process.number = number;
  process.name = name;
  Frame frame;
  frame.parameterCount = static_cast<int32_t>(params.size());
  for (size_t i = 0; i < params.size(); ++i) {
    Variable& variable = frame.variables[std::to_string(i + 1)];
    variable.kind = params[i].kind;
    variable.hasValue = true;
    variable.value = std::move(params[i]);
  }
  try {
    Execute(method.body, frame, process);
  } catch (const ScriptError& error) {
    RecordError(error, process);
  } catch (const ProcessStopped&) {
  } catch (const std::exception& error) {
    RecordError(ScriptError(method.where, error.what()), process);
  }
  --runningProcesses_;
}

void Interpreter::RecordError(const ScriptError& error, const ProcessContext& process) {
  std::lock_guard<std::mutex> lock(errorMutex_);
  if (failed_) return;
  error_ = error.formatted();
  if (process.number != 1) {
    error_ += " (in process " + std::to_string(process.number) + " \"" + process.name + "\")";
  }
  failed_ = true;
  host_.EndDelays();  // every process stops at its next statement, a delayed one too
}

void Interpreter::CheckRunning(ProcessContext&) {
  if (failed_) throw ProcessStopped{};
}

void Interpreter::YieldFromLoop(ProcessContext& process) {
  const auto now = std::chrono::steady_clock::now();
  if (now - process.lastYield < kLoopYieldInterval) return;
  YieldToHost();
  process.lastYield = std::chrono::steady_clock::now();
}

void Interpreter::Execute(const Block& block, Frame& frame, ProcessContext& process) {
  for (const auto& stmt : block) ExecuteStatement(*stmt, frame, process);
}

bool Interpreter::Condition(const Expr& expr, Frame& frame, ProcessContext& process,
                            const char* owner) {
  const ScriptValue value = Evaluate(expr, frame, process);
  if (value.kind != ValueKind::kBoolean) {
    throw ScriptError(expr.where, std::string(owner) + " needs a boolean condition; got a " +
                                      KindName(value.kind));
  }
  return value.boolean;
}

void Interpreter::ExecuteStatement(const Stmt& stmt, Frame& frame, ProcessContext& process) {
  CheckRunning(process);
  DepthGuard guard(process.depth, stmt.where);
  switch (stmt.type) {
    case Stmt::Type::kAssign:
      if (AppendToVariable(stmt, frame, process)) return;
      Assign(frame, stmt.variable, Evaluate(*stmt.value, frame, process), stmt.where);
      return;
    case Stmt::Type::kCall:
      EvaluateCall(*stmt.value, frame, process);
      return;
    case Stmt::Type::kIf:
    case Stmt::Type::kCase: {
      const char* owner = stmt.type == Stmt::Type::kIf ? "If" : "Case of";
      for (const Branch& branch : stmt.branches) {
        if (Condition(*branch.condition, frame, process, owner)) {
          Execute(branch.body, frame, process);
          return;
        }
      }
      Execute(stmt.elseBody, frame, process);
      return;
    }
    case Stmt::Type::kWhile:
      while (Condition(*stmt.value, frame, process, "While")) {
        Execute(stmt.body, frame, process);
        CheckRunning(process);
        YieldFromLoop(process);
      }
      return;
    case Stmt::Type::kRepeat:
      do {
        Execute(stmt.body, frame, process);
        CheckRunning(process);
        YieldFromLoop(process);
      } while (!Condition(*stmt.value, frame, process, "Until"));
      return;
    case Stmt::Type::kFor:
      ExecuteFor(stmt, frame, process);
      return;
    case Stmt::Type::kDeclare:
      for (const ExprPtr& declared : stmt.declared) {
        Variable& variable = frame.variables[NameKey(declared->name)];
        if (variable.kind != ValueKind::kNone && variable.kind != stmt.declaredKind) {
          throw ScriptError(declared->where,
                            "$" + declared->name + " is already a " + KindName(variable.kind));
        }
        variable.kind = stmt.declaredKind;
        if (!variable.hasValue) {
          variable.value = ScriptValue::DefaultOf(stmt.declaredKind);
          variable.hasValue = true;
        }
      }
      return;
  }
}

// For ($i;start;end{;step}): the counter is an ordinary variable; the body may change it,
// and the loop goes on from the value it finds there, as in 4D.
void Interpreter::ExecuteFor(const Stmt& stmt, Frame& frame, ProcessContext& process) {
  auto longintOf = [&](const Expr& expr, const char* what) {
    const ScriptValue value = Evaluate(expr, frame, process);
    if (value.kind != ValueKind::kLongint) {
      throw ScriptError(expr.where, std::string("the ") + what + " of For is a longint; got a " +
                                        KindName(value.kind));
    }
    return static_cast<int64_t>(value.longint);
  };
  const int64_t start = longintOf(*stmt.start, "start");
  const int64_t end = longintOf(*stmt.end, "end");
  const int64_t step = stmt.step ? longintOf(*stmt.step, "step") : 1;
  if (step == 0) throw ScriptError(stmt.step->where, "the step of For cannot be 0");
  Assign(frame, stmt.variable, ScriptValue::Longint(static_cast<int32_t>(start)), stmt.where);
  for (;;) {
    const Variable& counter = frame.variables[NameKey(stmt.variable)];
    const int64_t current = counter.value.longint;
    if (step > 0 ? current > end : current < end) return;
    Execute(stmt.body, frame, process);
    CheckRunning(process);
    YieldFromLoop(process);
    const Variable& after = frame.variables[NameKey(stmt.variable)];
    const int64_t next = static_cast<int64_t>(after.value.longint) + step;
    if (next > INT32_MAX || next < INT32_MIN) return;  // past the last longint: done
    Assign(frame, stmt.variable, ScriptValue::Longint(static_cast<int32_t>(next)), stmt.where);
  }
}

void Interpreter::Assign(Frame& frame, const std::string& name, ScriptValue value,
                         const SourcePosition& where) {
  if (value.kind == ValueKind::kNone) throw ScriptError(where, "nothing to assign to $" + name);
  Variable& variable = frame.variables[NameKey(name)];
  if (variable.kind != ValueKind::kNone && variable.kind != value.kind) {
    throw ScriptError(where, "$" + name + " holds a " + KindName(variable.kind) +
                                 "; cannot assign a " + KindName(value.kind));
  }
  variable.kind = value.kind;
  variable.value = std::move(value);
  variable.hasValue = true;
}

}  // namespace nimbus_script
