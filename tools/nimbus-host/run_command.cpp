// The run command: the script interpreter over the loaded package.
#include "run_command.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "executable_path.h"
#include "host/host.h"
#include "script_runner.h"

namespace nimbus_host {
namespace {

std::string PackageBesideExecutable() {
  const std::string directory = ExecutableDirectory();
  if (directory.empty()) return NIMBUS_PACKAGE_FROM_EXECUTABLE;
  return (std::filesystem::path(directory) / NIMBUS_PACKAGE_FROM_EXECUTABLE)
      .lexically_normal()
      .string();
}

// LOG lines go out at once, so that a server's log and a pipe reader see each request as it
// happens.
void PrintLine(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
}

}  // namespace

int RunScript(const CommandLine& line) {
  if (line.arguments.empty()) {
    std::fprintf(stderr, "nimbus-host: run needs a script file\n");
    return kExitUsage;
  }
  const std::string& path = line.arguments[0];
  const std::vector<std::string> arguments(line.arguments.begin() + 1, line.arguments.end());

  standin::Host host;
  const std::string package =
      line.packagePath.empty() ? PackageBesideExecutable() : line.packagePath;
  if (!host.Load(package, line.resourcePath)) {
    std::fprintf(stderr, "nimbus-host: %s\n", host.lastError().c_str());
    return kExitFailure;
  }
  const nimbus_script::RunOutcome outcome =
      nimbus_script::RunScriptFile(host, path, arguments, PrintLine);
  host.Unload();
  if (!outcome.ok) {
    std::fprintf(stderr, "%s\n", outcome.error.c_str());
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace nimbus_host
