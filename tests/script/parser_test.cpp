// The parser: block structure, operator grouping, and the message and position of every
// kind of malformed script.
#include "parser.h"

#include <gtest/gtest.h>

namespace nimbus_script {
namespace {

ParsedFile Parse(const std::string& source) {
  return ParseScript(source, std::make_shared<const std::string>("p.4dm"), "main");
}

// Parses a script that must fail and answers its error.
ScriptError ParseError(const std::string& source) {
  try {
    Parse(source);
  } catch (const ScriptError& error) {
    return error;
  }
  ADD_FAILURE() << "no error for:\n" << source;
  return ScriptError({}, "");
}

std::string Repeated(const std::string& piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

TEST(ParserTest, BlocksNestAndMethodsStandApart) {
  const ParsedFile file = Parse(
      "If ($a=1)\n"
      "  While ($b<2)\n"
      "    $b:=$b+1\n"
      "  End while\n"
      "Else\n"
      "  Case of\n"
      "    : ($c=1)\n"
      "    : ($c=2)\n"
      "      LOG(\"two\")\n"
      "  Else\n"
      "    Repeat\n"
      "    Until (True)\n"
      "  End case\n"
      "End if\n"
      "Method Helper\n"
      "  For ($i;1;3;1)\n"
      "  End for\n"
      "End method\n"
      "$z:=1\n");
  ASSERT_EQ(file.main->body.size(), 2u);
  const Stmt& ifStmt = *file.main->body[0];
  EXPECT_EQ(ifStmt.type, Stmt::Type::kIf);
  EXPECT_EQ(ifStmt.branches[0].body[0]->type, Stmt::Type::kWhile);
  const Stmt& caseStmt = *ifStmt.elseBody[0];
  ASSERT_EQ(caseStmt.type, Stmt::Type::kCase);
  EXPECT_EQ(caseStmt.branches.size(), 2u);
  EXPECT_TRUE(caseStmt.branches[0].body.empty());
  EXPECT_EQ(caseStmt.branches[1].body.size(), 1u);
  EXPECT_EQ(caseStmt.elseBody[0]->type, Stmt::Type::kRepeat);
  ASSERT_EQ(file.methods.size(), 1u);
  EXPECT_EQ(file.methods[0]->name, "Helper");
  EXPECT_EQ(file.methods[0]->body[0]->type, Stmt::Type::kFor);
  EXPECT_EQ(file.main->body[1]->type, Stmt::Type::kAssign);
}

TEST(ParserTest, ArithmeticGroupsLeftToRightBelowComparisonsBelowLogic) {
  // $x:=1+2*3=9 & True   parses as  (((1+2)*3)=9) & True
  const ParsedFile file = Parse("$x:=1+2*3=9 & True\n");
  const Expr& top = *file.main->body[0]->value;
  ASSERT_EQ(top.op, BinaryOp::kAnd);
  const Expr& compare = *top.args[0];
  ASSERT_EQ(compare.op, BinaryOp::kEqual);
  const Expr& times = *compare.args[0];
  ASSERT_EQ(times.op, BinaryOp::kMultiply);
  EXPECT_EQ(times.args[0]->op, BinaryOp::kAdd);
  EXPECT_EQ(times.args[1]->literal.longint, 3);
}

TEST(ParserTest, UnterminatedBlocksPointAtTheirOpening) {
  const struct {
    const char* source;
    int line;
    const char* message;
  } cases[] = {
      {"$a:=1\nIf (True)\n  $a:=2\n", 2, "If at line 2 has no End if"},
      {"If (True)\nElse\n", 1, "has no End if"},
      {"While (True)\n", 1, "While at line 1 has no End while"},
      {"Repeat\n$a:=1\n", 1, "Repeat at line 1 has no Until"},
      {"For ($i;1;2)\n", 1, "For at line 1 has no End for"},
      {"\nCase of\n: (True)\n", 2, "Case of at line 2 has no End case"},
      {"Case of\n", 1, "has no End case"},
      {"Method M\n$a:=1\n", 1, "Method at line 1 has no End method"},
  };
  for (const auto& c : cases) {
    const ScriptError error = ParseError(c.source);
    EXPECT_EQ(error.where().line, c.line) << c.source;
    EXPECT_EQ(error.where().column, 1) << c.source;
    EXPECT_NE(error.message().find(c.message), std::string::npos)
        << c.source << " gave: " << error.message();
  }
}

TEST(ParserTest, StrayAndMismatchedWordsAreNamed) {
  const struct {
    const char* source;
    int line, column;
    const char* message;
  } cases[] = {
      {"$a:=1\nEnd if\n", 2, 1, "End if without If"},
      {"Until ($a=1)\n", 1, 1, "Until without Repeat"},
      {"Else\n", 1, 1, "Else without If or Case of"},
      {": ($a=1)\n", 1, 1, "outside Case of"},
      {"End method\n", 1, 1, "End method without Method"},
      {"If (True)\n  $a:=1\nEnd while\n", 3, 1,
       "expected End if to close the If at line 1, found End while"},
      {"While (True)\nIf (True)\nEnd while\n", 3, 1, "expected End if"},
      {"If (True)\nMethod M\nEnd method\nEnd if\n", 2, 1, "expected End if"},
      {"Case of\n$a:=1\nEnd case\n", 2, 1, "expected : (condition), Else or End case"},
      {"$a=1\n", 1, 3, "assignment is written :="},
      {"$a\n", 1, 3, "expected := after $a"},
      {"$a:=1 $b:=2\n", 1, 7, "after the statement"},
      {"$a:=$b<$c<$d\n", 1, 10, "do not chain"},
      {"$a:=(1+2\n", 1, 9, "expected ) to close"},
      {"$a:=F(1;2\n", 1, 10, "expected ; or )"},
      {"$a:=If\n", 1, 5, "cannot stand inside an expression"},
      {"42\n", 1, 1, "expected a statement"},
      {"$a:=\n", 1, 5, "expected a value"},
      {"For ($i;1)\nEnd for\n", 1, 10, "; after the start value"},
      {"C_LONGINT($a;1)\n", 1, 14, "a variable to declare"},
      {"Method If\nEnd method\n", 1, 8, "one word that is not a keyword"},
  };
  for (const auto& c : cases) {
    const ScriptError error = ParseError(c.source);
    EXPECT_EQ(error.where().line, c.line) << c.source;
    EXPECT_EQ(error.where().column, c.column) << c.source;
    EXPECT_NE(error.message().find(c.message), std::string::npos)
        << c.source << " gave: " << error.message();
  }
}

TEST(ParserTest, NestingIsBoundedInsteadOfExhaustingTheStack) {
  EXPECT_NO_THROW(Parse(Repeated("If (True)\n", 150) + Repeated("End if\n", 150)));
  EXPECT_NE(ParseError(Repeated("If (True)\n", 300) + Repeated("End if\n", 300))
                .message()
                .find("nested more than"),
            std::string::npos);
  EXPECT_NO_THROW(Parse("$a:=" + Repeated("(", 100) + "1" + Repeated(")", 100) + "\n"));
  EXPECT_THROW(Parse("$a:=" + Repeated("(", 5000) + "1" + Repeated(")", 5000) + "\n"), ScriptError);
  EXPECT_THROW(Parse("$a:=" + Repeated("-", 5000) + "$b\n"), ScriptError);
  // A long flat chain nests as deeply as parentheses do once it is a tree.
  EXPECT_NO_THROW(Parse("$a:=1" + Repeated("+1", 150) + "\n"));
  EXPECT_THROW(Parse("$a:=1" + Repeated("+1", 100000) + "\n"), ScriptError);
  EXPECT_THROW(Parse("$a:=" + Repeated("F(", 5000) + Repeated(")", 5000) + "\n"), ScriptError);
}

TEST(ParserTest, NegativeLiteralsFoldIncludingTheSmallestLongint) {
  const ParsedFile file = Parse("$a:=-2147483648\n$b:=--5\n");
  EXPECT_EQ(file.main->body[0]->value->literal.longint, INT32_MIN);
  EXPECT_EQ(file.main->body[1]->value->literal.longint, 5);
}

}  // namespace
}  // namespace nimbus_script
