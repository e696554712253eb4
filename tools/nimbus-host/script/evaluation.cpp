// Evaluating expressions: literals, variables, operators.
#include <climits>
#include <utility>

#include "interpreter_internal.h"

namespace nimbus_script {
namespace {

[[noreturn]] void KindFault(const Expr& expr, const char* needs, const ScriptValue& left,
                            const ScriptValue& right) {
  throw ScriptError(expr.where, std::string(OperatorText(expr.op)) + " needs " + needs +
                                    "; got a " + KindName(left.kind) + " and a " +
                                    KindName(right.kind));
}

int32_t Arithmetic(const Expr& expr, int32_t a, int32_t b) {
  const uint32_t ua = static_cast<uint32_t>(a), ub = static_cast<uint32_t>(b);
  switch (expr.op) {
    case BinaryOp::kAdd:
      return static_cast<int32_t>(ua + ub);
    case BinaryOp::kSubtract:
      return static_cast<int32_t>(ua - ub);
    case BinaryOp::kMultiply:
      return static_cast<int32_t>(ua * ub);
    case BinaryOp::kDivide:
    case BinaryOp::kModulo:
      if (b == 0) throw ScriptError(expr.where, "division by zero");
      // The one quotient that does not fit wraps, as the other operations do.
      if (a == INT32_MIN && b == -1) return expr.op == BinaryOp::kDivide ? INT32_MIN : 0;
      return expr.op == BinaryOp::kDivide ? a / b : a % b;
    default:
      break;
  }
  return 0;
}

// <0, 0 or >0 for two values of one comparable kind.
int Order(const Expr& expr, const ScriptValue& left, const ScriptValue& right) {
  if (left.kind != right.kind) KindFault(expr, "two values of one kind", left, right);
  switch (left.kind) {
    case ValueKind::kLongint:
      return left.longint < right.longint ? -1 : (left.longint > right.longint ? 1 : 0);
    case ValueKind::kText:
      return CompareTexts(left.bytes, right.bytes);
    case ValueKind::kDate:
      return CompareDates(left.date, right.date);
    default:
      KindFault(expr, "two longints, texts or dates", left, right);
  }
}

bool Equal(const Expr& expr, const ScriptValue& left, const ScriptValue& right) {
  if (left.kind != right.kind) KindFault(expr, "two values of one kind", left, right);
  switch (left.kind) {
    case ValueKind::kText:
      return TextMatches(left.bytes, right.bytes);
    case ValueKind::kBoolean:
      return left.boolean == right.boolean;
    case ValueKind::kBlob:
      KindFault(expr, "two longints, texts, booleans or dates", left, right);
    default:
      return Order(expr, left, right) == 0;
  }
}

void CheckJoinedLength(const Expr& expr, const std::string& a, const std::string& b) {
  if (a.size() + b.size() > kMaxScriptText) {
    throw ScriptError(expr.where, "text would pass " + std::to_string(kMaxScriptText) + " bytes");
  }
}

}  // namespace

ScriptValue Interpreter::Evaluate(const Expr& expr, Frame& frame, ProcessContext& process) {
  DepthGuard guard(process.depth, expr.where);
  switch (expr.type) {
    case Expr::Type::kLiteral:
      return expr.literal;
    case Expr::Type::kVariable:
      return VariableValue(expr, frame);
    case Expr::Type::kCall: {
      ScriptValue value = EvaluateCall(expr, frame, process);
      if (value.kind == ValueKind::kNone) {
        throw ScriptError(expr.where, "method " + expr.name + " gave no value (it sets no $0)");
      }
      return value;
    }
    case Expr::Type::kNegate: {
      const ScriptValue operand = Evaluate(*expr.args[0], frame, process);
      if (operand.kind != ValueKind::kLongint) {
        throw ScriptError(expr.where,
                          std::string("- needs a longint; got a ") + KindName(operand.kind));
      }
      return ScriptValue::Longint(
          static_cast<int32_t>(0u - static_cast<uint32_t>(operand.longint)));
    }
    case Expr::Type::kBinary:
      return EvaluateBinary(expr, frame, process);
  }
  return ScriptValue{};
}

const ScriptValue& Interpreter::VariableValue(const Expr& expr, Frame& frame) {
  auto found = frame.variables.find(NameKey(expr.name));
  if (found == frame.variables.end() || !found->second.hasValue) {
    throw ScriptError(expr.where, "$" + expr.name + " is used before it has a value");
  }
  return found->second.value;
}

const ScriptValue& Interpreter::EvaluateShared(const Expr& expr, Frame& frame,
                                               ProcessContext& process, ScriptValue& holder) {
  if (expr.type != Expr::Type::kVariable) return holder = Evaluate(expr, frame, process);
  DepthGuard guard(process.depth, expr.where);  // the level Evaluate would count
  return VariableValue(expr, frame);
}

ScriptValue Interpreter::EvaluateBinary(const Expr& expr, Frame& frame, ProcessContext& process) {
  // Both operands are always evaluated (no short cut for & and |), left first. A variable on
  // the left is read in place unless the right operand calls a routine, which may write it.
  ScriptValue leftHolder, rightHolder;
  const ScriptValue& left = expr.args[1]->callsRoutine
                                ? (leftHolder = Evaluate(*expr.args[0], frame, process))
                                : EvaluateShared(*expr.args[0], frame, process, leftHolder);
  const ScriptValue& right = EvaluateShared(*expr.args[1], frame, process, rightHolder);
  switch (expr.op) {
    case BinaryOp::kAdd:
      if (left.kind == ValueKind::kText && right.kind == ValueKind::kText) {
        CheckJoinedLength(expr, left.bytes, right.bytes);
        if (&left == &leftHolder) {
          leftHolder.bytes += right.bytes;
          return leftHolder;
        }
        std::string joined;
        joined.reserve(left.bytes.size() + right.bytes.size());
        joined += left.bytes;
        joined += right.bytes;
        return ScriptValue::Text(std::move(joined));
      }
      if (left.kind != ValueKind::kLongint || right.kind != ValueKind::kLongint) {
        KindFault(expr, "two longints or two texts", left, right);
      }
      return ScriptValue::Longint(Arithmetic(expr, left.longint, right.longint));
    case BinaryOp::kSubtract:
    case BinaryOp::kMultiply:
    case BinaryOp::kDivide:
    case BinaryOp::kModulo:
      if (left.kind != ValueKind::kLongint || right.kind != ValueKind::kLongint) {
        KindFault(expr, "two longints", left, right);
      }
      return ScriptValue::Longint(Arithmetic(expr, left.longint, right.longint));
    case BinaryOp::kEqual:
      return ScriptValue::Boolean(Equal(expr, left, right));
    case BinaryOp::kNotEqual:
      return ScriptValue::Boolean(!Equal(expr, left, right));
    case BinaryOp::kLess:
      return ScriptValue::Boolean(Order(expr, left, right) < 0);
    case BinaryOp::kGreater:
      return ScriptValue::Boolean(Order(expr, left, right) > 0);
    case BinaryOp::kLessEqual:
      return ScriptValue::Boolean(Order(expr, left, right) <= 0);
    case BinaryOp::kGreaterEqual:
      return ScriptValue::Boolean(Order(expr, left, right) >= 0);
    case BinaryOp::kAnd:
    case BinaryOp::kOr:
      if (left.kind != ValueKind::kBoolean || right.kind != ValueKind::kBoolean) {
        KindFault(expr, "two booleans", left, right);
      }
      return ScriptValue::Boolean(expr.op == BinaryOp::kAnd ? left.boolean && right.boolean
                                                            : left.boolean || right.boolean);
  }
  return ScriptValue{};
}

bool Interpreter::AppendToVariable(const Stmt& stmt, Frame& frame, ProcessContext& process) {
  const Expr& sum = *stmt.value;
  if (sum.type != Expr::Type::kBinary || sum.op != BinaryOp::kAdd) return false;
  const Expr& left = *sum.args[0];
  const Expr& right = *sum.args[1];
  // A routine on the right may write the variable between the two reads: the ordinary way.
  if (left.type != Expr::Type::kVariable || right.callsRoutine ||
      !SameName(left.name, stmt.variable)) {
    return false;
  }
  auto found = frame.variables.find(NameKey(stmt.variable));
  if (found == frame.variables.end() || !found->second.hasValue ||
      found->second.kind != ValueKind::kText) {
    return false;  // the ordinary way reports the fault, or the value is no text
  }
  ScriptValue& text = found->second.value;
  // The levels Evaluate would count for the statement's value and its left operand.
  DepthGuard sumLevel(process.depth, sum.where);
  { DepthGuard leftLevel(process.depth, left.where); }
  ScriptValue holder;
  const ScriptValue& addend = EvaluateShared(right, frame, process, holder);
  if (addend.kind != ValueKind::kText) KindFault(sum, "two longints or two texts", text, addend);
  CheckJoinedLength(sum, text.bytes, addend.bytes);
  text.bytes += addend.bytes;  // appending a text to itself is defined for std::string
  return true;
}

}  // namespace nimbus_script
