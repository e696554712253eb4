// Reading a script and running it, with every fault turned into a reported error.
#include "script_runner.h"

#include <exception>
#include <memory>

#include "interpreter.h"
#include "program.h"

namespace nimbus_script {
namespace {

RunOutcome RunProgram(standin::Host& host, const Program& program,
                      const std::vector<std::string>& arguments,
                      const std::function<void(const std::string&)>& print) {
  Interpreter interpreter(program, host, print);
  RunOutcome outcome;
  outcome.ok = interpreter.Run(arguments);
  if (!outcome.ok) outcome.error = interpreter.error();
  return outcome;
}

template <typename LoadFn>
RunOutcome LoadAndRun(standin::Host& host, LoadFn load, const std::vector<std::string>& arguments,
                      const std::function<void(const std::string&)>& print) {
  std::unique_ptr<Program> program;
  try {
    program = load();
  } catch (const ScriptError& error) {
    return {false, error.formatted()};
  } catch (const std::exception& error) {
    return {false, std::string("error: ") + error.what()};
  }
  return RunProgram(host, *program, arguments, print);
}

}  // namespace

RunOutcome RunScriptFile(standin::Host& host, const std::string& path,
                         const std::vector<std::string>& arguments,
                         const std::function<void(const std::string&)>& print) {
  return LoadAndRun(
      host, [&] { return Program::Load(path); }, arguments, print);
}

RunOutcome RunScriptSource(standin::Host& host, const std::string& source,
                           const std::string& fileName, const std::string& folder,
                           const std::vector<std::string>& arguments,
                           const std::function<void(const std::string&)>& print) {
  return LoadAndRun(
      host, [&] { return Program::FromSource(source, fileName, folder); }, arguments, print);
}

}  // namespace nimbus_script
