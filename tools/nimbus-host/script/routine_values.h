// Script values to and from the parameters and results of the package's routines.
#pragma once

#include <string>

#include "host/host.h"
#include "script_error.h"
#include "script_value.h"

namespace nimbus_script {

// The script kind that holds a routine value of `kind`: longint and integer → longint;
// string and Text → text; block → BLOB; date → date.
ValueKind ScriptKindOf(standin::Kind kind);

// Makes the routine parameter of `kind` from `value`. Throws ScriptError at `where` when the
// value is of another kind or does not fit: an integer takes -32768..65535 (values above
// 32767 pass as the same 16 bits, as ports do), a string at most 255 bytes, a Text at most
// 32767. `what` names the parameter in messages ("parameter 2 of StreamOpen").
standin::Value ToRoutineValue(const ScriptValue& value, standin::Kind kind, const std::string& what,
                              const SourcePosition& where);

// The script value of a parameter or result the routine gave back (null Texts and blocks
// become empty ones).
ScriptValue FromRoutineValue(const standin::Value& value);

}  // namespace nimbus_script
