// New process: cooperative processes that take turns at each yield, hand texts through the
// package's queues, and stop together when one of them fails.
#include <gtest/gtest.h>

#include <chrono>

#include "script_fixture.h"

namespace nimbus_script {
namespace {

using ProcessesTest = ScriptTest;

TEST_F(ProcessesTest, ProcessesTakeTurnsAtEachIdleAndTheMainScriptWaitsForThem) {
  EXPECT_EQ(
      Output("$a:=New process(\"Count\";0;\"A\";\"a\")\n"
             "$b:=New process(\"Count\";0;\"B\";\"b\")\n"
             "LOG(\"started \"+String($a)+\" \"+String($b)+\" from \"+String(Current process))\n"
             "Method Count\n"
             "  For ($i;1;3)\n"
             "    LOG($1+String($i)+\"@\"+String(Current process))\n"
             "    IDLE\n"
             "  End for\n"
             "End method\n"),
      "started 2 3 from 1\na1@2\nb1@3\na2@2\nb2@3\na3@2\nb3@3\n");
}

TEST_F(ProcessesTest, AQueueHandsTextsFromOneProcessToAnother) {
  // The consumer starts first and waits; the producer pushes three texts and a last "end".
  EXPECT_EQ(Output("$c:=New process(\"Consumer\";0;\"consumer\";7)\n"
                   "$p:=New process(\"Producer\";0;\"producer\";7)\n"
                   "Method Producer\n"
                   "  For ($i;1;3)\n"
                   "    QueuePush($1;\"item \"+String($i))\n"
                   "    DELAY PROCESS(Current process;1)\n"
                   "  End for\n"
                   "  QueuePush($1;\"end\")\n"
                   "End method\n"
                   "Method Consumer\n"
                   "  $text:=\"\"\n"
                   "  Repeat\n"
                   "    If (QueueCount($1)>0)\n"
                   "      $text:=QueuePop($1)\n"
                   "      LOG(\"got \"+$text)\n"
                   "    Else\n"
                   "      IDLE\n"
                   "    End if\n"
                   "  Until ($text=\"end\")\n"
                   "End method\n"),
            "got item 1\ngot item 2\ngot item 3\ngot end\n");
}

TEST_F(ProcessesTest, AFailingProcessIsNamedAndStopsTheOthers) {
  // The spinner would run for ever; the failure in the other process ends the run.
  const ScriptRun run =
      Run("$s:=New process(\"Spin\";0;\"spinner\")\n"
          "$f:=New process(\"Fail\";0;\"failer\")\n"
          "Method Spin\n"
          "  While (True)\n    IDLE\n  End while\n"
          "End method\n"
          "Method Fail\n"
          "  IDLE\n"
          "  $x:=1\\0\n"
          "End method\n");
  EXPECT_FALSE(run.ok);
  EXPECT_EQ(run.error, "test.4dm:10:8: error: division by zero (in process 3 \"failer\")");
}

TEST_F(ProcessesTest, DelayedProcessesSleepWhileOthersRunAndAFailureEndsTheirDelay) {
  // The sleeper's turn comes only after its delay, however often the counter idles.
  EXPECT_EQ(Output("$s:=New process(\"Sleeper\";0)\n"
                   "$c:=New process(\"Counter\";0)\n"
                   "Method Sleeper\n"
                   "  DELAY PROCESS(Current process;3)\n"
                   "  LOG(\"slept\")\n"
                   "End method\n"
                   "Method Counter\n"
                   "  For ($i;1;3)\n"
                   "    LOG(\"count \"+String($i))\n"
                   "    IDLE\n"
                   "  End for\n"
                   "End method\n"),
            "count 1\ncount 2\ncount 3\nslept\n");
  // A failure elsewhere stops a process in a ten-minute delay at once, not when it wakes.
  const auto start = std::chrono::steady_clock::now();
  const ScriptRun run =
      Run("$s:=New process(\"Sleeper\";0;\"sleeper\")\n"
          "$f:=New process(\"Fail\";0;\"failer\")\n"
          "Method Sleeper\n"
          "  DELAY PROCESS(Current process;36000)\n"
          "  LOG(\"woke\")\n"
          "End method\n"
          "Method Fail\n"
          "  DELAY PROCESS(Current process;2)\n"
          "  $x:=1\\0\n"
          "End method\n");
  EXPECT_FALSE(run.ok);
  EXPECT_EQ(run.error, "test.4dm:9:8: error: division by zero (in process 3 \"failer\")");
  EXPECT_EQ(run.output, "");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
}

TEST_F(ProcessesTest, AFailureInTheMainScriptStopsTheProcessesItStarted) {
  const ScriptRun run =
      Run("$s:=New process(\"Spin\";0)\n"
          "IDLE\n"
          "$x:=Substring(5;1)\n"
          "Method Spin\n"
          "  While (True)\n    IDLE\n  End while\n"
          "End method\n");
  EXPECT_FALSE(run.ok);
  EXPECT_EQ(run.error, "test.4dm:3:15: error: parameter 1 of Substring is a text; got a longint");
}

TEST_F(ProcessesTest, ProcessCommandsRefuseWhatTheyCannotDo) {
  EXPECT_EQ(Error("$m:=\"Nowhere\"\n$p:=New process($m;0)\n"),
            "test.4dm:2:17: error: no method named Nowhere");
  EXPECT_EQ(Error("$p:=New process(5;0)\n"),
            "test.4dm:1:17: error: the method of New process is given by its name (a text)");
  EXPECT_EQ(Error("DELAY PROCESS(Current process+1;10)\n"),
            "test.4dm:1:30: error: DELAY PROCESS delays only the current process (Current "
            "process)");
  const std::string tooMany = Error(
      "For ($i;1;100)\n  $p:=New process(\"Spin\";0)\nEnd for\n"
      "Method Spin\n  While (True)\n    IDLE\n  End while\nEnd method\n");
  EXPECT_EQ(tooMany, "test.4dm:2:7: error: too many processes: at most 64 run at once");
}

TEST_F(ProcessesTest, ProcessesGetTheirParametersWithTheirKinds) {
  EXPECT_EQ(Output("$p:=New process(\"Show\";0;\"show\";5;\"five\";!2020-02-02!;True)\n"
                   "Method Show\n"
                   "  LOG(String(Count parameters)+\" \"+String($1+1)+\" \"+$2+\" \"+String($3)+"
                   "\" \"+String($4))\n"
                   "End method\n"),
            "4 6 five 2020-02-02 True\n");
}

}  // namespace
}  // namespace nimbus_script
