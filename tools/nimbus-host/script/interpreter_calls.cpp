// Calls: built-ins, the package's routines, methods, and the process commands.
#include <array>
#include <span>
#include <utility>

#include "host/toolbox.h"
#include "interpreter_internal.h"
#include "routine_values.h"
#include "value_builtins.h"

namespace nimbus_script {
namespace {

// A variable receives what the routine left in its parameter when the routine writes that
// parameter, and when it is a Text or BLOB variable: 4D passes those by address, so a
// routine that converts a Text in place (StreamSendText with a conversion mode) changes the
// caller's variable. Other inputs go in as copies (a longint port is not cut to 16 bits).
bool WritesBack(const standin::RoutineInfo& routine, size_t i, const Expr& arg) {
  if (routine.outputs[i]) return true;
  return arg.type == Expr::Type::kVariable &&
         (routine.params[i] == standin::Kind::kText || routine.params[i] == standin::Kind::kBlock);
}

}  // namespace

ScriptValue Interpreter::EvaluateCall(const Expr& call, Frame& frame, ProcessContext& process) {
  switch (call.target.type) {
    case CallTarget::Type::kRoutine:
      return CallRoutine(call, frame, process);
    case CallTarget::Type::kMethod: {
      std::vector<ScriptValue> args;
      for (const ExprPtr& arg : call.args) args.push_back(Evaluate(*arg, frame, process));
      return CallMethod(*call.target.method, call, std::move(args), process);
    }
    case CallTarget::Type::kBuiltin:
      switch (call.target.builtin->id) {
        case BuiltinId::kLog:
        case BuiltinId::kNewProcess:
        case BuiltinId::kCurrentProcess:
        case BuiltinId::kDelayProcess:
        case BuiltinId::kIdle:
        case BuiltinId::kCountParameters:
        case BuiltinId::kScriptFolder: {
          std::vector<ScriptValue> args;
          for (const ExprPtr& arg : call.args) args.push_back(Evaluate(*arg, frame, process));
          return RunProcessBuiltin(call, args, frame, process);
        }
        default:
          return CallValueBuiltin(call, frame, process);
      }
    case CallTarget::Type::kUnresolved:
      break;
  }
  throw ScriptError(call.where, "unknown command, routine or method: " + call.name);
}

// A built-in that computes from its parameters: a variable passed to it is read where it
// is, so Substring($text;$i;1) costs the same on a long text as on a short one. Parameters
// are evaluated left to right; those before the last one that calls a routine (which may
// write a variable read earlier) are copies.
ScriptValue Interpreter::CallValueBuiltin(const Expr& call, Frame& frame, ProcessContext& process) {
  constexpr size_t kMostParameters = 3;  // Substring, Position and Replace string
  const size_t count = call.args.size();
  if (count > kMostParameters) {
    throw ScriptError(call.where, call.name + " takes at most " + std::to_string(kMostParameters) +
                                      " parameters");
  }
  size_t firstShared = 0;
  for (size_t i = 0; i < count; ++i) {
    if (call.args[i]->callsRoutine) firstShared = i;
  }
  std::array<ScriptValue, kMostParameters> holders;
  std::array<const ScriptValue*, kMostParameters> values{};
  for (size_t i = 0; i < count; ++i) {
    const Expr& arg = *call.args[i];
    values[i] = i < firstShared ? &(holders[i] = Evaluate(arg, frame, process))
                                : &EvaluateShared(arg, frame, process, holders[i]);
  }
  return EvaluateValueBuiltin(call, std::span<const ScriptValue* const>(values.data(), count));
}

// A routine of the package: parameters marshalled by the routine's kinds; the parameters it
// writes must be variables, and take the values it left.
ScriptValue Interpreter::CallRoutine(const Expr& call, Frame& frame, ProcessContext& process) {
  const standin::RoutineInfo& routine = *call.target.routine;
  std::vector<standin::Value> values;
  for (size_t i = 0; i < call.args.size(); ++i) {
    const Expr& arg = *call.args[i];
    const std::string what = "parameter " + std::to_string(i + 1) + " of " + routine.name;
    if (!routine.outputs[i]) {
      ScriptValue holder;  // a variable is converted where it is, without a copy
      values.push_back(ToRoutineValue(EvaluateShared(arg, frame, process, holder),
                                      routine.params[i], what, arg.where));
      continue;
    }
    const ValueKind wanted = ScriptKindOf(routine.params[i]);
    auto found = frame.variables.find(NameKey(arg.name));
    const Variable* variable = found == frame.variables.end() ? nullptr : &found->second;
    if (variable != nullptr && variable->kind != ValueKind::kNone && variable->kind != wanted) {
      throw ScriptError(arg.where, what + " receives a " + KindName(wanted) + "; $" + arg.name +
                                       " holds a " + KindName(variable->kind));
    }
    const ScriptValue empty = ScriptValue::DefaultOf(wanted);
    const ScriptValue& current =
        variable != nullptr && variable->hasValue ? variable->value : empty;
    values.push_back(ToRoutineValue(current, routine.params[i], what, arg.where));
  }

  // A longint result starts at 0, as a fresh 4D variable does.
  const standin::CallResult result = host_.Call(routine.name, values, 0);
  if (!result.error.empty()) throw ScriptError(call.where, routine.name + ": " + result.error);
  CheckRunning(process);

  for (size_t i = 0; i < call.args.size() && i < result.params.size(); ++i) {
    if (WritesBack(routine, i, *call.args[i])) {
      Assign(frame, call.args[i]->name, FromRoutineValue(result.params[i]), call.args[i]->where);
    }
  }
  if (routine.result == standin::Kind::kNone) return ScriptValue{};
  return FromRoutineValue(result.result);
}

// A method called by name: a fresh frame with the parameters as $1, $2 ...; its value is $0.
ScriptValue Interpreter::CallMethod(const Method& method, const Expr& call,
                                    std::vector<ScriptValue> args, ProcessContext& process) {
  DepthGuard guard(process.depth, call.where);
  Frame frame;
  frame.parameterCount = static_cast<int32_t>(args.size());
  for (size_t i = 0; i < args.size(); ++i) {
    Variable& variable = frame.variables[std::to_string(i + 1)];
    variable.kind = args[i].kind;
    variable.hasValue = true;
    variable.value = std::move(args[i]);
  }
  Execute(method.body, frame, process);
  auto result = frame.variables.find("0");
  if (result == frame.variables.end() || !result->second.hasValue) return ScriptValue{};
  return std::move(result->second.value);
}

ScriptValue Interpreter::RunProcessBuiltin(const Expr& call, std::vector<ScriptValue>& args,
                                           Frame& frame, ProcessContext& process) {
  auto longintAt = [&](size_t i) {
    if (args[i].kind != ValueKind::kLongint) {
      throw ScriptError(call.args[i]->where, "parameter " + std::to_string(i + 1) + " of " +
                                                 call.name + " is a longint; got a " +
                                                 KindName(args[i].kind));
    }
    return args[i].longint;
  };
  switch (call.target.builtin->id) {
    case BuiltinId::kLog:
      if (args[0].kind == ValueKind::kBlob) {
        throw ScriptError(call.args[0]->where, "LOG cannot show a BLOB; use BLOB to text");
      }
      print_(ToText(args[0]) + "\n");
      return ScriptValue{};
    case BuiltinId::kNewProcess:
      return StartNewProcess(call, args);
    case BuiltinId::kCurrentProcess:
      return ScriptValue::Longint(process.number);
    case BuiltinId::kDelayProcess: {
      const int32_t target = longintAt(0);
      const int32_t ticks = longintAt(1);
      if (target != process.number) {
        throw ScriptError(call.args[0]->where,
                          "DELAY PROCESS delays only the current process (Current process)");
      }
      DelayProcess(ticks, process);
      return ScriptValue{};
    }
    case BuiltinId::kIdle:
      YieldToHost();
      process.lastYield = std::chrono::steady_clock::now();
      CheckRunning(process);
      return ScriptValue{};
    case BuiltinId::kCountParameters:
      return ScriptValue::Longint(frame.parameterCount);
    case BuiltinId::kScriptFolder:
      return ScriptValue::Text(program_.folder());
    default:
      break;
  }
  throw ScriptError(call.where, call.name + " is no process command");
}

// New process(method;stack{;name{;param...}}): the stack size is accepted and ignored.
ScriptValue Interpreter::StartNewProcess(const Expr& call, std::vector<ScriptValue>& args) {
  if (args[0].kind != ValueKind::kText) {
    throw ScriptError(call.args[0]->where,
                      "the method of New process is given by its name (a text)");
  }
  if (args[1].kind != ValueKind::kLongint) {
    throw ScriptError(call.args[1]->where, "the stack size of New process is a longint");
  }
  if (args.size() > 2 && args[2].kind != ValueKind::kText) {
    throw ScriptError(call.args[2]->where, "the process name of New process is a text");
  }
  const Method* method = program_.FindMethod(args[0].bytes);
  if (method == nullptr) {
    throw ScriptError(call.args[0]->where, "no method named " + args[0].bytes);
  }
  if (runningProcesses_ >= kMaxProcesses) {
    throw ScriptError(call.where, "too many processes: at most " + std::to_string(kMaxProcesses) +
                                      " run at once");
  }
  const std::string name = args.size() > 2 ? args[2].bytes : method->name;
  std::vector<ScriptValue> params;
  for (size_t i = 3; i < args.size(); ++i) params.push_back(std::move(args[i]));
  const int32_t number = ++lastProcessNumber_;
  ++runningProcesses_;
  host_.StartProcess(name, [this, method, params = std::move(params), number, name]() mutable {
    RunProcess(*method, std::move(params), number, name);
  });
  return ScriptValue::Longint(number);
}

// Takes the process off the host's ready list for `ticks` sixtieths of a second; the others
// run meanwhile, and the host sleeps when none of them is ready.
void Interpreter::DelayProcess(int32_t ticks, ProcessContext& process) {
  CheckRunning(process);
  host_.DelayProcess(ticks);
  process.lastYield = std::chrono::steady_clock::now();
  CheckRunning(process);
}

}  // namespace nimbus_script
