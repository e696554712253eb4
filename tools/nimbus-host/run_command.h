// nimbus-host run FILE [ARG...]: runs a method script.
#pragma once

#include "command_line.h"

namespace nimbus_host {

// Loads the package, runs the script with the arguments as $1, $2 ... (texts) and waits for
// every process it starts. Exit code 0, or 1 after a script error (reported on standard error
// as FILE:LINE:COLUMN: error: MESSAGE) or when the package cannot be loaded; 2 for a wrong
// command line.
int RunScript(const CommandLine& line);

}  // namespace nimbus_host
