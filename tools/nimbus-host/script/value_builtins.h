// The built-ins that compute a value from their parameters alone: text, booleans, dates,
// BLOBs and documents.
#pragma once

#include <vector>

#include "syntax.h"

namespace nimbus_script {

// Runs the built-in that `call` names on its evaluated parameters. Throws ScriptError at the
// faulty parameter for a value of the wrong kind or out of range.
ScriptValue EvaluateValueBuiltin(const Expr& call, std::vector<ScriptValue>& args);

}  // namespace nimbus_script
