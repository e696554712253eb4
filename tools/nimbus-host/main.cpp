// nimbus-host: the command-line stand-in 4D host. Loads the package and calls its routines.
#include <cstdio>
#include <string>

#include "command_line.h"
#include "commands.h"
#include "run_command.h"

namespace {

struct Command {
  const char* name;
  int (*run)(const nimbus_host::CommandLine&);
};

constexpr Command kCommands[] = {
    {"call", nimbus_host::RunCall},
    {"list", nimbus_host::RunList},
    {"help", nimbus_host::RunHelp},
    {"run", nimbus_host::RunScript},
};

}  // namespace

int main(int argc, char** argv) {
  nimbus_host::CommandLine line;
  std::string error;
  if (!nimbus_host::ParseCommandLine(argc, argv, &line, &error)) {
    std::fprintf(stderr, "nimbus-host: %s\n%s", error.c_str(), nimbus_host::UsageText());
    return nimbus_host::kExitUsage;
  }
  for (const Command& command : kCommands) {
    if (line.command == command.name) return command.run(line);
  }
  std::fprintf(stderr, "nimbus-host: unknown command %s\n%s", line.command.c_str(),
               nimbus_host::UsageText());
  return nimbus_host::kExitUsage;
}
