// Routines of the package called from scripts: parameters by kind, parameters the routine
// writes landing in variables, results, and values that do not fit a parameter.
#include <gtest/gtest.h>

#include "script_fixture.h"

namespace nimbus_script {
namespace {

using RoutineCallTest = ScriptTest;

TEST_F(RoutineCallTest, WrittenParametersLandInTheirVariables) {
  EXPECT_EQ(Output("NameCopy(\"a name\";$copy;$n;0)\n"
                   "LOG($copy+\"|\"+String($n))\n"
                   "$r:=NameCopy(\"second\";$copy;$n;0)\n"
                   "LOG($copy+\"|\"+String($r))\n"),
            "a name|1000\nsecond|0\n");
}

TEST_F(RoutineCallTest, RoutinesAnsweredByTheEntryPointGiveTheirValues) {
  EXPECT_EQ(Output("LOG(String(StreamList(0))+\" \"+String(StreamList(1025))+\" \"+"
                   "String(Reserved45(9))+\" \"+String(Reserved17)+\"[\"+Reserved24+\"]\")\n"
                   "LOG(String(StreamState(-6;0))+\" \"+String(StreamClose(0)))\n"),
            "0 -1 548 -1[]\n0 -1\n");
}

TEST_F(RoutineCallTest, DatesComeBackAsDatesAndGoInAsDates) {
  // 2867734177 is Tuesday 15 November 1994, 08:49:37 in the host's seconds count.
  EXPECT_EQ(Output("SecondsToDateTime(2867734177;$day;$time;1)\n"
                   "LOG(String($day)+\" \"+String($time))\n"
                   "LOG(String((Year of($day)*10000)+(Month of($day)*100)+Day of($day)))\n"
                   "$back:=DateTimeToSeconds($day;$time;1)\n"
                   "LOG(String($back=2867734177))\n"
                   "LOG(SecondsToDateText($back;1))\n"
                   "LOG(String(DateTextToSeconds(\"Tue, 15 Nov 1994 08:49:37 GMT\";0)=$back))\n"),
            "1994-11-15 31777\n19941115\nTrue\nTue, 15 Nov 1994 08:49:37 GMT\nTrue\n");
}

TEST_F(RoutineCallTest, TextsTravelThroughConversions) {
  // Mac Roman 0x8E is e acute: 0xE9 in ISO-8859-1, "&eacute;" in HTML.
  EXPECT_EQ(Output("$mac:=\"caf\"+Char(142)+\" <b>\"\n"
                   "$iso:=MacToISO($mac)\n"
                   "LOG(String(Character code(Substring($iso;4;1))))\n"
                   "LOG(String(ISOToMac($iso)=$mac)+\" \"+String(Length($iso)))\n"
                   "LOG(TextToHTML($mac;0))\n"
                   "LOG(String(HTMLToText(TextToHTML($mac;0);0)=$mac))\n"),
            "233\nTrue 8\ncaf&eacute; &lt;b&gt;\nTrue\n");
}

TEST_F(RoutineCallTest, ValuesThatDoNotFitAParameterAreErrors) {
  EXPECT_EQ(Error("$r:=StreamList(\"1\")\n"),
            "test.4dm:1:16: error: parameter 1 of StreamList is a longint; got a text");
  EXPECT_EQ(Error("$r:=StreamOpen(\"127.0.0.1\";70000;0;0;0;0;0)\n"),
            "test.4dm:1:28: error: parameter 2 of StreamOpen is an integer: 70000 is outside "
            "-32768..65535");
  EXPECT_EQ(Error("$r:=StreamOpen(\"127.0.0.1\";-32769;0;0;0;0;0)\n"),
            "test.4dm:1:28: error: parameter 2 of StreamOpen is an integer: -32769 is outside "
            "-32768..65535");
  EXPECT_EQ(Error("$s:=\"x\"\nFor ($i;1;8)\n  $s:=$s+$s\nEnd for\n$r:=NameToAddress($s;0;0)\n"),
            "test.4dm:5:19: error: parameter 1 of NameToAddress is a string of at most 255 "
            "characters; got 256");
  EXPECT_EQ(Error("$s:=\"x\"\nFor ($i;1;15)\n  $s:=$s+$s\nEnd for\n$r:=MacToISO($s)\n"),
            "test.4dm:5:14: error: parameter 1 of MacToISO is a Text of at most 32767 "
            "characters; got 32768");
  EXPECT_EQ(Error("$n:=\"x\"\nNameCopy(\"a\";$s;$n;0)\n"),
            "test.4dm:2:17: error: parameter 3 of NameCopy receives a longint; $n holds a text");
  EXPECT_EQ(Error("$r:=PictureInfo(\"not a blob\";$a;$b;$c;$d;$e)\n"),
            "test.4dm:1:17: error: parameter 1 of PictureInfo is a block; got a text");
}

TEST_F(RoutineCallTest, TheLargestValuesThatFitPass) {
  // An integer parameter takes 65535 as the same 16 bits (-1); a string takes 255 bytes.
  EXPECT_EQ(Output("$s:=\"\"\nFor ($i;1;255)\n  $s:=$s+\"a\"\nEnd for\n"
                   "NameCopy($s;$copy;$n;0)\n"
                   "LOG(String(Length($copy)))\n"
                   "$blob:=Text to BLOB(\"abc\")\n"
                   "LOG(String(PictureInfo($blob;$t;$l;$b;$r;$gif))+\" \"+String($gif))\n"),
            "255\n3 0\n");
}

TEST_F(RoutineCallTest, TextVariablesTakeWhatTheRoutineLeftInThem) {
  // StreamSendText converts its Text in place (mode 4: CR to CR LF), as 4D's variable would
  // show; the longint port passed for an integer parameter keeps its value.
  EXPECT_EQ(
      Output("$address:=NameToAddress(\"127.0.0.1\";0;0)\n"
             "$listener:=StreamListen(0;0;0;0;0;0;$address)\n"
             "$local:=StreamAddresses($listener;$ra;$rp;$port;$x;$la)\n"
             "If ($port<0)\n  $port:=$port+65536\nEnd if\n"
             "$before:=$port\n"
             "$client:=StreamOpen(\"127.0.0.1\";$port;0;0;0;0;0)\n"
             "LOG(String(StreamWaitState($client;8;5))+\" \"+String($port=$before))\n"
             "$text:=\"a\"+Char(13)+\"b\"\n"
             "$copy:=$text\n"
             "LOG(String(StreamSendText($client;$text;0;4))+\" \"+String(Length($text)))\n"
             "LOG(String(StreamSendText($client;$copy+\"\";0;4))+\" \"+String(Length($copy)))\n"
             "LOG(String(StreamWaitState($listener;8;5)))\n"
             "$got:=\"\"\n"
             "$all:=\"\"\n"
             "$start:=TimerStart\n"
             "Repeat\n"
             "  If (StreamReceiveText($listener;$got;0;0)>0)\n    $all:=$all+$got\n  End if\n"
             "Until ((Length($all)>=8) | (TimerElapsed($start)>5000))\n"
             "LOG(String(Length($all)))\n"
             "$status:=StreamRelease($client;0)+StreamRelease($listener;0)\n"),
      "8 True\n0 4\n0 3\n8\n8\n");
}

TEST_F(RoutineCallTest, ACallWithoutAPackageIsAnErrorNotACrash) {
  standin::Host bare;
  const RunOutcome outcome =
      RunScriptSource(bare, "$r:=StreamList(0)\n", "bare.4dm", ".", {}, [](const std::string&) {});
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.error.rfind("bare.4dm:1:5: error: StreamList: ", 0), 0u) << outcome.error;
}

}  // namespace
}  // namespace nimbus_script
