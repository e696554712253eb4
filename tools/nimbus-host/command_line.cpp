// Parsing nimbus-host's options and command.
#include "command_line.h"

namespace nimbus_host {
namespace {

// Takes the option at argv[*i] (and its value); false when it is none of ours.
bool TakeOption(int argc, char** argv, int* i, CommandLine* line, std::string* error) {
  const std::string option = argv[*i];
  if (option == "--hex") {
    line->hex = true;
    return true;
  }
  if (option == "--package" || option == "--resources") {
    if (*i + 1 >= argc) {
      *error = option + " needs a path";
      return true;
    }
    (option == "--package" ? line->packagePath : line->resourcePath) = argv[++*i];
    return true;
  }
  if (option == "--help" || option == "-h") {
    line->command = "help";
    return true;
  }
  if (option.size() > 1 && option[0] == '-' && option[1] == '-' && option != "--") {
    *error = "unknown option " + option;
    return true;
  }
  return false;
}

}  // namespace

bool ParseCommandLine(int argc, char** argv, CommandLine* line, std::string* error) {
  error->clear();
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    const bool inOptions = !optionsEnded && line->arguments.empty();
    if (inOptions && word == "--") {
      optionsEnded = true;
      continue;
    }
    if (inOptions && TakeOption(argc, argv, &i, line, error)) {
      if (!error->empty()) return false;
      continue;
    }
    if (line->command.empty()) {
      line->command = word;
    } else {
      line->arguments.push_back(word);
    }
  }
  if (line->command.empty()) {
    *error = "no command given";
    return false;
  }
  return true;
}

const char* UsageText() {
  return "usage: nimbus-host [--package PATH] [--resources PATH] [--hex] COMMAND ...\n"
         "\n"
         "commands:\n"
         "  call ROUTINE ARG...   call one routine, by name (any case) or number, with one\n"
         "                        argument per parameter; prints the result and every\n"
         "                        parameter the routine writes\n"
         "  list                  print every routine with its parameters and result\n"
         "  help [ROUTINE]        this text, or the routine's entry from the reference\n"
         "  run FILE ARG...       run a method script; the arguments are $1, $2 ... (texts)\n"
         "\n"
         "arguments, by the parameter's kind:\n"
         "  longint, integer      decimal or 0x hex, optionally signed\n"
         "  string, Text          the text as given; escapes \\r \\n \\t \\\\ \\xHH\n"
         "  block                 @PATH reads a file's bytes; anything else is text as above\n"
         "  date                  D/M/YYYY\n"
         "\n"
         "options:\n"
         "  --package PATH        the package to load (default: the one the build made)\n"
         "  --resources PATH      its resource file (default: Nimbus.RSR beside it)\n"
         "  --hex                 print Texts and blocks as a hex dump\n";
}

}  // namespace nimbus_host
