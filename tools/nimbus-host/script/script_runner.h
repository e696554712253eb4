// Reads and runs one script file: what `nimbus-host run` does once the package is loaded.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "host/host.h"

namespace nimbus_script {

struct RunOutcome {
  bool ok = false;
  std::string error;  // "FILE:LINE:COLUMN: error: MESSAGE" when not ok
};

// Reads the script at `path` (and the method files it calls), then runs it with `arguments`
// as $1, $2 ... through `host`, waiting for every process it starts. LOG lines go to `print`.
RunOutcome RunScriptFile(standin::Host& host, const std::string& path,
                         const std::vector<std::string>& arguments,
                         const std::function<void(const std::string&)>& print);

// The same for a script given as text (method files are looked for in `folder`).
RunOutcome RunScriptSource(standin::Host& host, const std::string& source,
                           const std::string& fileName, const std::string& folder,
                           const std::vector<std::string>& arguments,
                           const std::function<void(const std::string&)>& print);

}  // namespace nimbus_script
