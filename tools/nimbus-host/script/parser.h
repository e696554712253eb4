// Builds the syntax tree of one script file.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "syntax.h"

namespace nimbus_script {

// A file's top-level statements (as a method named `mainName`) and its Method blocks.
struct ParsedFile {
  std::unique_ptr<Method> main;
  std::vector<std::unique_ptr<Method>> methods;
};

// Parses `source`, the contents of `file`. Calls are left unresolved. Throws ScriptError at
// the first fault: a statement it cannot read, a block without its end, a stray end.
ParsedFile ParseScript(const std::string& source, std::shared_ptr<const std::string> file,
                       const std::string& mainName);

}  // namespace nimbus_script
