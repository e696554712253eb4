// Binding calls before anything runs: routines, built-ins and methods by name, parameter
// counts, written parameters, calls without value, and method files beside the script.
#include "program.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace nimbus_script {
namespace {

std::string LoadError(const std::string& source, const std::string& folder = ".") {
  try {
    Program::FromSource(source, "m.4dm", folder);
  } catch (const ScriptError& error) {
    return error.formatted();
  }
  ADD_FAILURE() << "no error for:\n" << source;
  return "";
}

class MethodFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() /
              ("nimbus_script_program_" +
               std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  void Write(const std::string& name, const std::string& contents) {
    std::ofstream(folder_ / name, std::ios::binary) << contents;
  }
  std::string folder() const { return folder_.string(); }

  std::filesystem::path folder_;
};

TEST(ProgramTest, CallsBindToRoutinesBuiltinsAndMethodsInAnyCase) {
  auto program = Program::FromSource(
      "$n:=streamlist(0)\n$t:=char(65)\nHELPER\nMethod Helper\nEnd method\n", "m.4dm", ".");
  const Block& body = program->main().body;
  const Expr& routine = *body[0]->value;
  ASSERT_EQ(routine.target.type, CallTarget::Type::kRoutine);
  EXPECT_EQ(routine.target.routine->selector, 52);
  EXPECT_EQ(routine.name, "StreamList");
  EXPECT_EQ(body[1]->value->target.type, CallTarget::Type::kBuiltin);
  EXPECT_EQ(body[2]->value->target.method, program->FindMethod("helper"));
}

TEST(ProgramTest, CallsThatCannotBeRightAreRefusedWithTheirPosition) {
  const struct {
    const char* source;
    const char* error;
  } cases[] = {
      {"$r:=StreamOpn(\"h\";80;0;0;0;0;0)\n",
       "m.4dm:1:5: error: unknown command, routine or method: StreamOpn"},
      {"$r:=StreamOpen(\"h\";80)\n", "m.4dm:1:5: error: StreamOpen takes 7 parameters; got 2"},
      {"$r:=TimerStart(1)\n", "m.4dm:1:5: error: TimerStart takes 0 parameters; got 1"},
      {"$x:=1\nNameCopy(\"a\";\"b\";$n;0)\n",
       "m.4dm:2:14: error: parameter 2 of NameCopy is written by the routine: pass a variable"},
      {"$s:=\"\"\nStreamReceiveText(1;$s+\"\";100;0)\n",
       "m.4dm:2:23: error: parameter 2 of StreamReceiveText is written by the routine"},
      {"$x:=QueuePush(1;\"a\")\n", "m.4dm:1:5: error: QueuePush gives no value"},
      {"If (LOG(\"a\"))\nEnd if\n", "m.4dm:1:5: error: LOG gives no value"},
      {"$c:=Char()\n", "m.4dm:1:5: error: Char takes 1 parameter; got 0"},
      {"$c:=Substring(\"a\")\n",
       "m.4dm:1:5: error: Substring takes 2 to 3 parameters; got 1 "
       "(Substring(text;start{;count}))"},
      {"$p:=New process(\"M\")\nMethod M\nEnd method\n",
       "error: New process takes at least 2 parameters; got 1"},
      {"$p:=New process(\"Missing\";0)\n", "m.4dm:1:17: error: no method named Missing"},
      {"Method Length\nEnd method\n", "m.4dm:1:1: error: method Length has the name of a command"},
      {"Method streamopen\nEnd method\n", "method streamopen has the name of a routine"},
      {"Method M\nEnd method\nMethod m\nEnd method\n",
       "m.4dm:3:1: error: method m is defined twice (first at m.4dm:1)"},
  };
  for (const auto& c : cases) {
    EXPECT_NE(LoadError(c.source).find(c.error), std::string::npos)
        << c.source << " gave: " << LoadError(c.source);
  }
}

TEST_F(MethodFolder, MethodFilesBesideTheScriptAreLoadedWhenCalled) {
  Write("Double.4dm", "$0:=$1*2\n");
  Write("Worker.4dm", "LOG(\"w\")\nMethod Inner\nEnd method\n");
  auto program = Program::FromSource("$x:=Double(2)\n$p:=New process(\"Worker\";0)\nInner\n",
                                     "m.4dm", folder());
  ASSERT_NE(program->FindMethod("Double"), nullptr);
  ASSERT_NE(program->FindMethod("Worker"), nullptr);
  // A Method block in a method file is known to every file.
  EXPECT_NE(program->FindMethod("Inner"), nullptr);
  EXPECT_EQ(program->FindMethod("Double")->where.FileName(), folder() + "/Double.4dm");
}

TEST_F(MethodFolder, FaultsInMethodFilesNameThatFile) {
  Write("Broken.4dm", "$a:=1\nIf (True)\n");
  const std::string error = LoadError("Broken\n", folder());
  EXPECT_EQ(error, folder() +
                       "/Broken.4dm:2:1: error: If at line 2 has no End if (the file "
                       "ends first)");
  EXPECT_NE(LoadError("Absent\n", folder()).find("unknown command, routine or method: Absent"),
            std::string::npos);
}

TEST(ProgramTest, AnyTextEitherLoadsOrFailsWithAScriptError) {
  // Fragments that open, close and nest things, plus arbitrary bytes: whatever they make,
  // loading answers a program or a ScriptError, never another exception or a crash.
  const char* const pieces[] = {"$a",         ":=",         "(",        ")",         ";",
                                "+",          "-",          "\\",       "%",         "=",
                                "#",          "<=",         "&",        "|",         "1",
                                "4294967295", "\"x",        "\"\\q\"",  "\"t\"",     "!2024-02-30!",
                                "!",          "If",         "Else",     "End if",    "While",
                                "End while",  "Repeat",     "Until",    "For",       "End for",
                                "Case of",    ":",          "End case", "Method M",  "End method",
                                "M",          "LOG",        "Char",     "Substring", "New process",
                                "\"M\"",      "StreamOpen", "NameCopy", "QueuePush", "C_TEXT",
                                "//",         "/*",         "*/",       "\n",        "\n",
                                "\r\n",       " \\\n",      "\t",       "0x",        ","};
  std::mt19937 random(20240229);
  for (int round = 0; round < 3000; ++round) {
    std::string source;
    const int count = 1 + static_cast<int>(random() % 40);
    for (int i = 0; i < count; ++i) {
      if (random() % 16 == 0) {
        source += static_cast<char>(random() % 256);
      } else {
        source += pieces[random() % (sizeof pieces / sizeof pieces[0])];
        source += ' ';
      }
    }
    try {
      Program::FromSource(source, "fuzz.4dm", "/nonexistent-folder");
    } catch (const ScriptError& error) {
      EXPECT_EQ(error.formatted().rfind("fuzz.4dm:", 0), 0u) << error.formatted();
    } catch (...) {
      ADD_FAILURE() << "another exception for:\n" << source;
    }
  }
}

TEST(ProgramTest, AFileThatCannotBeReadIsAnError) {
  try {
    Program::Load("/nonexistent/folder/script.4dm");
    ADD_FAILURE() << "loaded a missing file";
  } catch (const ScriptError& error) {
    EXPECT_EQ(error.formatted(),
              "/nonexistent/folder/script.4dm:0:0: error: cannot read the script file");
  }
}

}  // namespace
}  // namespace nimbus_script
