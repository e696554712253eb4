// The syntax tree of a method script: expressions, statements, methods.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "builtins.h"
#include "host/host.h"
#include "script_error.h"
#include "script_value.h"

namespace nimbus_script {

struct Method;

enum class BinaryOp {
  kAdd,
  kSubtract,
  kMultiply,
  kDivide,
  kModulo,
  kEqual,
  kNotEqual,
  kLess,
  kGreater,
  kLessEqual,
  kGreaterEqual,
  kAnd,
  kOr,
};
// The operator as written: "+", "\\", "#", "&" ...
const char* OperatorText(BinaryOp op);

// What a call names, found once the whole program is read.
struct CallTarget {
  enum class Type { kUnresolved, kBuiltin, kRoutine, kMethod };
  Type type = Type::kUnresolved;
  const BuiltinInfo* builtin = nullptr;
  const standin::RoutineInfo* routine = nullptr;
  const Method* method = nullptr;
};

struct Expr {
  enum class Type { kLiteral, kVariable, kCall, kNegate, kBinary };
  Type type = Type::kLiteral;
  SourcePosition where;
  ScriptValue literal;                      // kLiteral
  std::string name;                         // kVariable (without "$"), kCall
  BinaryOp op = BinaryOp::kAdd;             // kBinary
  std::vector<std::unique_ptr<Expr>> args;  // call arguments; operands
  CallTarget target;                        // kCall
  int height = 1;                           // levels of the tree below and with this node
  // A routine of the package is called in this expression: it may write the caller's
  // variables, so a variable read earlier in the same statement has to be read as a copy.
  bool callsRoutine = false;
};
using ExprPtr = std::unique_ptr<Expr>;

struct Stmt;
using Block = std::vector<std::unique_ptr<Stmt>>;

// One condition and the statements it guards (If, and each branch of Case of).
struct Branch {
  ExprPtr condition;
  Block body;
};

struct Stmt {
  enum class Type { kAssign, kCall, kIf, kCase, kWhile, kRepeat, kFor, kDeclare };
  Type type = Type::kCall;
  SourcePosition where;
  std::string variable;          // kAssign target, kFor counter (without "$")
  ExprPtr value;                 // kAssign value, kCall call, kWhile / kRepeat condition
  std::vector<Branch> branches;  // kIf (one), kCase (one per ":")
  Block body;                    // kWhile, kRepeat, kFor
  Block elseBody;                // kIf, kCase
  ExprPtr start, end, step;      // kFor (step may be null: 1)
  ValueKind declaredKind = ValueKind::kNone;  // kDeclare
  std::vector<ExprPtr> declared;              // kDeclare: the variables
};

// A method: the main script, a "Method NAME ... End method" block, or a file NAME.4dm.
struct Method {
  std::string name;
  SourcePosition where;
  Block body;
};

}  // namespace nimbus_script
