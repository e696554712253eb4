// The call, list and help commands.
#include "commands.h"

#include <cstdio>
#include <filesystem>
#include <string>

#include "argument_values.h"
#include "executable_path.h"
#include "host/host.h"
#include "routine_reference.h"
#include "value_printer.h"

namespace nimbus_host {
namespace {

using standin::Kind;
using standin::RoutineInfo;
using standin::Value;

int UsageError(const std::string& message) {
  std::fprintf(stderr, "nimbus-host: %s\n", message.c_str());
  return kExitUsage;
}

std::string DefaultPackagePath() {
  const std::string directory = ExecutableDirectory();
  if (directory.empty()) return NIMBUS_PACKAGE_FROM_EXECUTABLE;
  return (std::filesystem::path(directory) / NIMBUS_PACKAGE_FROM_EXECUTABLE)
      .lexically_normal()
      .string();
}

std::string Signature(const RoutineInfo& info) {
  std::string out = info.name + "(";
  for (size_t i = 0; i < info.params.size(); ++i) {
    if (i > 0) out += ", ";
    if (info.outputs[i]) out += "out ";
    out += standin::KindName(info.params[i]);
    out += " " + info.names[i];
  }
  out += ")";
  if (info.result != Kind::kNone) out += " -> " + std::string(standin::KindName(info.result));
  return out;
}

// Arguments as the routine's parameter values; an error message when one does not fit.
std::string ParseArguments(const RoutineInfo& info, const std::vector<std::string>& arguments,
                           std::vector<Value>* values) {
  if (arguments.size() != info.params.size()) {
    return info.name + " takes " + std::to_string(info.params.size()) + " argument" +
           (info.params.size() == 1 ? "" : "s") + ", not " + std::to_string(arguments.size()) +
           ": " + Signature(info);
  }
  for (size_t i = 0; i < arguments.size(); ++i) {
    Value value;
    std::string error;
    if (!ParseArgument(info.params[i], arguments[i], &value, &error)) {
      return "argument " + std::to_string(i + 1) + " of " + info.name + ": " + error;
    }
    values->push_back(value);
  }
  return "";
}

}  // namespace

int RunCall(const CommandLine& line) {
  if (line.arguments.empty()) return UsageError("call needs a routine name or number");
  const RoutineInfo* info = standin::FindRoutineInfo(line.arguments[0]);
  if (info == nullptr) {
    return UsageError("unknown routine " + line.arguments[0] + " (nimbus-host list shows them)");
  }
  std::vector<Value> values;
  const std::vector<std::string> arguments(line.arguments.begin() + 1, line.arguments.end());
  const std::string problem = ParseArguments(*info, arguments, &values);
  if (!problem.empty()) return UsageError(problem);

  standin::Host host;
  const std::string package = line.packagePath.empty() ? DefaultPackagePath() : line.packagePath;
  if (!host.Load(package, line.resourcePath)) {
    std::fprintf(stderr, "nimbus-host: %s\n", host.lastError().c_str());
    return kExitFailure;
  }
  const standin::CallResult called = host.Call(info->name, values);
  if (!called.error.empty()) {
    std::fprintf(stderr, "nimbus-host: %s\n", called.error.c_str());
    return kExitFailure;
  }
  if (info->result != Kind::kNone) {
    std::printf("result: %s\n", FormatValue(called.result, line.hex).c_str());
  }
  for (size_t i = 0; i < info->params.size(); ++i) {
    if (!info->outputs[i]) continue;
    std::printf("param %zu: %s\n", i + 1, FormatValue(called.params[i], line.hex).c_str());
  }
  std::fflush(stdout);
  host.Unload();
  return kExitOk;
}

int RunList(const CommandLine& line) {
  if (!line.arguments.empty()) return UsageError("list takes no arguments");
  for (const RoutineInfo& info : standin::RoutineCatalog()) {
    std::printf("%3d  %s\n", int(info.selector), Signature(info).c_str());
  }
  return kExitOk;
}

int RunHelp(const CommandLine& line) {
  if (line.arguments.empty()) {
    std::fputs(UsageText(), stdout);
    return kExitOk;
  }
  if (line.arguments.size() > 1) return UsageError("help takes one routine name");
  const RoutineInfo* info = standin::FindRoutineInfo(line.arguments[0]);
  if (info == nullptr) {
    return UsageError("unknown routine " + line.arguments[0] + " (nimbus-host list shows them)");
  }
  const std::vector<ReferenceEntry> entries = ParseReference(BuiltInReference());
  const ReferenceEntry* entry = FindEntry(entries, info->name);
  if (entry == nullptr) {
    std::fprintf(stderr, "nimbus-host: the reference has no entry for %s\n", info->name.c_str());
    return kExitFailure;
  }
  std::fputs(entry->text.c_str(), stdout);
  return kExitOk;
}

}  // namespace nimbus_host
