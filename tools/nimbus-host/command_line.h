// The command line of nimbus-host: options, the command and its arguments.
#pragma once

#include <string>
#include <vector>

namespace nimbus_host {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;  // the package could not be loaded or run
constexpr int kExitUsage = 2;    // the command line is wrong

struct CommandLine {
  std::string packagePath;   // empty: the package the build put beside this program
  std::string resourcePath;  // empty: Nimbus.RSR beside the package
  bool hex = false;          // Texts and blocks as a hex dump
  std::string command;       // "call", "list", "help"
  std::vector<std::string> arguments;
};

// Options may stand before the command and between the command and its first argument;
// everything from the first argument on (or after "--") is an argument. False with `error`
// set when the line cannot be understood.
bool ParseCommandLine(int argc, char** argv, CommandLine* line, std::string* error);

// The help text.
const char* UsageText();

}  // namespace nimbus_host
