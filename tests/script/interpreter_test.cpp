// The language as it runs: 32-bit arithmetic, 4D's text comparison, kinds fixed by first
// assignment, control flow, methods with parameters and results, and run-time faults.
#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>

#include "script_fixture.h"

namespace nimbus_script {
namespace {

using InterpreterTest = ScriptTest;

TEST_F(InterpreterTest, ArithmeticWrapsAt32BitsAndGoesLeftToRight) {
  EXPECT_EQ(Output("LOG(String(2147483647+1))\n"
                   "LOG(String(-2147483648-1))\n"
                   "LOG(String(65536*65536+7))\n"
                   "LOG(String(-7\\2))\n"
                   "LOG(String(-7%2))\n"
                   "LOG(String(-2147483648\\-1))\n"
                   "LOG(String(-2147483648%-1))\n"
                   "LOG(String(3+4*2))\n"
                   "LOG(String(3+(4*2)))\n"
                   "LOG(String(10-2-3))\n"
                   "$a:=5\n"
                   "LOG(String(-$a))\n"),
            "-2147483648\n2147483647\n7\n-3\n-1\n-2147483648\n0\n14\n11\n5\n-5\n");
}

TEST_F(InterpreterTest, DivisionByZeroStopsTheScriptAtTheOperator) {
  EXPECT_EQ(Error("$a:=0\n$b:=7\\$a\n"), "test.4dm:2:6: error: division by zero");
  EXPECT_EQ(Error("$a:=0\n$b:=7%$a\n"), "test.4dm:2:6: error: division by zero");
}

TEST_F(InterpreterTest, ComparisonsBindLooserThanArithmeticAndLogicLooserStill) {
  EXPECT_EQ(Output("$a:=2\n"
                   "LOG(String($a=1+1))\n"
                   "LOG(String($a+1>2 & $a<3))\n"
                   "LOG(String($a#2 | $a>=2))\n"
                   "LOG(String(Not($a<=1)))\n"),
            "True\nTrue\nTrue\nTrue\n");
}

TEST_F(InterpreterTest, TextsCompareAs4DDoes) {
  // Letters without regard to case; "@" on the right matches any run; < > ignore case too.
  EXPECT_EQ(Output("LOG(String(\"GET\"=\"get\"))\n"
                   "LOG(String(\"GET /a HTTP/1.0\"=\"get @\"))\n"
                   "LOG(String(\"/img/logo.gif\"=\"@.GIF\"))\n"
                   "LOG(String(\"abc\"=\"a@b@c@\"))\n"
                   "LOG(String(\"abc\"=\"a@d\"))\n"
                   "LOG(String(\"a@\"=\"abc\"))\n"
                   "LOG(String(\"abc\"#\"ABD\"))\n"
                   "LOG(String(\"apple\"<\"Banana\"))\n"
                   "LOG(String(\"ab\"<\"abc\"))\n"
                   "LOG(String(\"\"=\"@\"))\n"),
            "True\nTrue\nTrue\nTrue\nFalse\nFalse\nTrue\nTrue\nTrue\nTrue\n");
}

TEST_F(InterpreterTest, TextCommandsFollow4DConventions) {
  EXPECT_EQ(Output("LOG(Substring(\"Hello\";2;3))\n"
                   "LOG(Substring(\"Hello\";4))\n"
                   "LOG(\"[\"+Substring(\"Hello\";9)+\"]\")\n"
                   "LOG(\"[\"+Substring(\"Hello\";2;-1)+\"]\")\n"
                   "LOG(Substring(\"Hello\";0;2))\n"
                   "LOG(String(Position(\"LL\";\"Hello\")))\n"
                   "LOG(String(Position(\"l\";\"Hello\";4)))\n"
                   "LOG(String(Position(\"z\";\"Hello\")))\n"
                   "LOG(String(Position(\"\";\"Hello\")))\n"
                   "LOG(Replace string(\"a-A-b\";\"a\";\"xy\"))\n"
                   "LOG(String(Length(\"\")+Length(Char(0)+Char(255))))\n"
                   "LOG(String(Character code(Char(200))))\n"
                   "LOG(Uppercase(\"get /x\")+Lowercase(\"ABC\"))\n"
                   "LOG(String(Num(\"  -12abc\")+Num(\"\")+Num(\"x5\")+Num(\"+4\")))\n"
                   "LOG(String(Num(\"4294967297\")))\n"
                   "LOG(String(!2024-03-05!)+\" \"+String(Month of(!2024-03-05!)))\n"),
            "ell\nlo\n[]\n[]\nHe\n3\n4\n0\n0\nxy-xy-b\n2\n200\nGET /Xabc\n-8\n1\n"
            "2024-03-05 3\n");
}

TEST_F(InterpreterTest, BadValuesForCommandsAreErrorsAtTheParameter) {
  EXPECT_EQ(Error("$c:=Char(256)\n"),
            "test.4dm:1:10: error: Char takes a code from 0 to 255; got 256");
  EXPECT_EQ(Error("$c:=Length(5)\n"),
            "test.4dm:1:12: error: parameter 1 of Length is a text; got a longint");
  EXPECT_EQ(Error("$c:=Character code(\"\")\n"),
            "test.4dm:1:20: error: Character code of an empty text");
  EXPECT_EQ(Error("LOG(Text to BLOB(\"a\"))\n"),
            "test.4dm:1:5: error: LOG cannot show a BLOB; use BLOB to text");
}

TEST_F(InterpreterTest, AVariableKeepsTheKindOfItsFirstValue) {
  EXPECT_EQ(Error("$x:=1\n$x:=\"one\"\n"),
            "test.4dm:2:1: error: $x holds a longint; cannot assign a text");
  EXPECT_EQ(Error("C_TEXT($t)\n$t:=1\n"),
            "test.4dm:2:1: error: $t holds a text; cannot assign a longint");
  EXPECT_EQ(Error("$n:=1\nC_TEXT($n)\n"), "test.4dm:2:8: error: $n is already a longint");
  EXPECT_EQ(Error("$a:=$b+1\n"), "test.4dm:1:5: error: $b is used before it has a value");
  EXPECT_EQ(Error("$a:=1+\"1\"\n"),
            "test.4dm:1:6: error: + needs two longints or two texts; got a longint and a text");
  EXPECT_EQ(Error("If (1)\nEnd if\n"),
            "test.4dm:1:5: error: If needs a boolean condition; got a longint");
  EXPECT_EQ(Error("$a:=!2024-01-01!<5\n"),
            "test.4dm:1:17: error: < needs two values of one kind; got a date and a longint");
  // Declared variables start from their kind's empty value; names ignore case.
  EXPECT_EQ(Output("C_LONGINT($n;$M)\nC_TEXT($t)\nC_BOOLEAN($b)\nC_DATE($d)\n"
                   "LOG(String($n+$m)+\"[\"+$T+\"]\"+String($b)+String($d))\n"),
            "0[]False0000-00-00\n");
}

TEST_F(InterpreterTest, LoopsRunAsWrittenAndEndAtTheLastLongint) {
  EXPECT_EQ(Output("$s:=\"\"\n"
                   "For ($i;10;1;-3)\n  $s:=$s+String($i)+\",\"\nEnd for\n"
                   "LOG($s)\n"
                   "For ($i;1;3)\nEnd for\n"
                   "LOG(String($i))\n"
                   "$s:=\"\"\n"
                   "For ($i;1;10)\n  $s:=$s+String($i)\n  $i:=$i+3\nEnd for\n"
                   "LOG($s)\n"
                   "$n:=0\n"
                   "For ($i;2147483646;2147483647)\n  $n:=$n+1\nEnd for\n"
                   "LOG(String($n))\n"
                   "For ($i;5;1)\n  LOG(\"never\")\nEnd for\n"
                   "$k:=0\nRepeat\n  $k:=$k+1\nUntil ($k>=3)\n"
                   "Repeat\n  $k:=$k+10\nUntil (True)\n"
                   "LOG(String($k))\n"
                   "While (False)\n  LOG(\"never\")\nEnd while\n"),
            "10,7,4,1,\n4\n159\n2\n13\n");
  EXPECT_EQ(Error("For ($i;1;5;0)\nEnd for\n"),
            "test.4dm:1:13: error: the step of For cannot be 0");
}

TEST_F(InterpreterTest, CaseOfRunsOnlyTheFirstTrueBranch) {
  EXPECT_EQ(Output("For ($i;1;4)\n"
                   "  Case of\n"
                   "    : ($i=1)\n      LOG(\"one\")\n"
                   "    : ($i<3)\n      LOG(\"small\")\n"
                   "    : ($i<4)\n      LOG(\"three\")\n"
                   "  Else\n      LOG(\"big\")\n"
                   "  End case\n"
                   "End for\n"),
            "one\nsmall\nthree\nbig\n");
}

TEST_F(InterpreterTest, MethodsTakeParametersAndAnswerThroughDollarZero) {
  EXPECT_EQ(Output("LOG(String(Factorial(10)))\n"
                   "LOG(Describe(\"x\";7))\n"
                   "Greet\n"
                   "Method Factorial\n"
                   "  If ($1<=1)\n    $0:=1\n  Else\n    $0:=$1*Factorial($1-1)\n  End if\n"
                   "End method\n"
                   "Method Describe\n"
                   "  $0:=$1+String($2)+\"/\"+String(Count parameters)\n"
                   "End method\n"
                   "Method Greet\n"
                   "  LOG(\"hi \"+String(Count parameters))\n"
                   "End method\n"),
            "3628800\nx7/2\nhi 0\n");
  EXPECT_EQ(Error("$a:=Nothing\nMethod Nothing\nEnd method\n"),
            "test.4dm:1:5: error: method Nothing gave no value (it sets no $0)");
  // Each call has its own variables.
  EXPECT_EQ(Error("$a:=1\nPeek\nMethod Peek\n  LOG(String($a))\nEnd method\n"),
            "test.4dm:4:14: error: $a is used before it has a value");
}

TEST_F(InterpreterTest, EndlessRecursionIsAnErrorNotACrash) {
  const std::string error = Error("Down(1)\nMethod Down\n  Down($1+1)\nEnd method\n");
  EXPECT_NE(error.find("error: calls nested too deeply"), std::string::npos) << error;
}

TEST_F(InterpreterTest, ScriptArgumentsAreTexts) {
  EXPECT_EQ(Output("LOG(String(Count parameters)+\":\"+$1+\"+\"+$2)\n"
                   "LOG(String(Num($1)+Num($2)))\n",
                   {"40", "2"}),
            "2:40+2\n42\n");
  EXPECT_EQ(Output("LOG(String(Count parameters))\n"), "0\n");
}

TEST_F(InterpreterTest, TheClockGivesTheLocalDateAndTimeOfDay) {
  const std::string output =
      Output("LOG(String(Current date))\n$t:=Current time\nLOG(String(($t>=0) & ($t<86400)))\n");
  const std::time_t now = std::time(nullptr);
  char expected[32];
  std::strftime(expected, sizeof expected, "%Y-%m-%d\nTrue\n", std::localtime(&now));
  EXPECT_EQ(output, expected);
}

TEST_F(InterpreterTest, TextsAreBoundedInsteadOfExhaustingMemory) {
  const std::string error =
      Error("$t:=\"0123456789abcdef\"\nFor ($i;1;40)\n  $t:=$t+$t\nEnd for\n");
  EXPECT_NE(error.find("test.4dm:3:9: error: text would pass"), std::string::npos) << error;
}

TEST_F(InterpreterTest, VariablesReadInPlaceKeepTheirValuesAsCopiesWould) {
  // Appending to a variable, to itself, through another name case; a copy stays apart.
  EXPECT_EQ(Output("$t:=\"ab\"\n$t:=$t+\"c\"\n$T:=$t+$T\n$u:=$t\n$u:=$u+\"!\"\n"
                   "$t:=$t+Substring($t;2;2)\nLOG($t+\" \"+$u)\n"),
            "abcabcbc abcabc!\n");
  // A routine on the right writes the variable the left reads: the left is read first, in
  // an append, an operator and a built-in's parameters alike. NameCopy gives 0 and writes
  // its second parameter.
  EXPECT_EQ(Output("$c:=\"xy\"\n$c:=$c+String(NameCopy(\"zz\";$c;$s;0))\nLOG($c)\n"
                   "$d:=\"xy\"\n$e:=$d+String(NameCopy(\"zz\";$d;$s;0))\nLOG($e+\" \"+$d)\n"
                   "$f:=\"abc\"\nLOG(Substring($f;2+NameCopy(\"wxyz\";$f;$s;0)))\n"
                   "$g:=\"abc\"\nLOG(String($g=\"abc\"+String(NameCopy(\"q\";$g;$s;0))))\n"
                   "LOG($f+$g)\n"),
            "xy0\nxy0 zz\nbc\nFalse\nwxyzq\n");
  // The faults of the ordinary way, at the same places.
  EXPECT_EQ(Error("$t:=\"a\"\n$t:=$t+5\n"),
            "test.4dm:2:7: error: + needs two longints or two texts; got a text and a longint");
  EXPECT_EQ(Error("$n:=1\n$n:=$n+\"a\"\n"),
            "test.4dm:2:7: error: + needs two longints or two texts; got a longint and a text");
  EXPECT_EQ(Error("$t:=$t+\"a\"\n"), "test.4dm:1:5: error: $t is used before it has a value");
  EXPECT_EQ(Error("$t:=\"a\"\n$t:=$t+$nothing\n"),
            "test.4dm:2:8: error: $nothing is used before it has a value");
}

}  // namespace
}  // namespace nimbus_script
