// The built-ins that compute a value from their parameters alone: text, booleans, dates,
// BLOBs and documents.
#pragma once

#include <span>

#include "syntax.h"

namespace nimbus_script {

// Runs the built-in that `call` names on its evaluated parameters, which it only reads (they
// may be the caller's variables, not copies). Throws ScriptError at the faulty parameter for
// a value of the wrong kind or out of range.
ScriptValue EvaluateValueBuiltin(const Expr& call, std::span<const ScriptValue* const> args);

}  // namespace nimbus_script
