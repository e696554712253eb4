// nimbus-host's commands. Each answers the program's exit code.
#pragma once

#include "command_line.h"

namespace nimbus_host {

// call ROUTINE ARG...: loads the package, calls the routine, prints its result and every
// parameter it writes.
int RunCall(const CommandLine& line);
// list: prints the routine catalog.
int RunList(const CommandLine& line);
// help [ROUTINE]: the usage text, or the routine's entry from the routine reference (by name
// in any case, or number).
int RunHelp(const CommandLine& line);

}  // namespace nimbus_host
