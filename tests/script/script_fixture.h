// Runs script texts through the interpreter with the built package loaded in a stand-in
// host, collecting what LOG printed.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/host.h"
#include "script_runner.h"

namespace nimbus_script {

struct ScriptRun {
  bool ok = false;
  std::string output;  // every LOG line, each ending with "\n"
  std::string error;   // "FILE:LINE:COLUMN: error: ..." when not ok
};

class ScriptTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(host_.Load(NIMBUS_PACKAGE_PATH)) << host_.lastError(); }

  // Runs `source` as the file "test.4dm" (method files are looked for in `folder`).
  ScriptRun Run(const std::string& source, const std::vector<std::string>& arguments = {},
                const std::string& folder = ".") {
    ScriptRun run;
    const RunOutcome outcome =
        RunScriptSource(host_, source, "test.4dm", folder, arguments,
                        [&run](const std::string& line) { run.output += line; });
    run.ok = outcome.ok;
    run.error = outcome.error;
    return run;
  }

  // The output of a script that must run without error.
  std::string Output(const std::string& source, const std::vector<std::string>& arguments = {}) {
    const ScriptRun run = Run(source, arguments);
    EXPECT_TRUE(run.ok) << run.error;
    return run.output;
  }

  // The error of a script that must fail.
  std::string Error(const std::string& source) {
    const ScriptRun run = Run(source);
    EXPECT_FALSE(run.ok) << "ran with output: " << run.output;
    return run.error;
  }

  standin::Host host_;
};

}  // namespace nimbus_script
