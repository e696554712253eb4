// Formatting of script errors.
#include "script_error.h"

#include <utility>

namespace nimbus_script {

ScriptError::ScriptError(SourcePosition where, std::string message)
    : where_(std::move(where)), message_(std::move(message)) {
  formatted_ = where_.FileName() + ":" + std::to_string(where_.line) + ":" +
               std::to_string(where_.column) + ": error: " + message_;
}

}  // namespace nimbus_script
