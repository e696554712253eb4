// The lexer: token kinds and values, names of several words, numbers at the edges of 32
// bits, and the line and column of every fault it reports.
#include "lexer.h"

#include <gtest/gtest.h>

#include "builtins.h"

namespace nimbus_script {
namespace {

std::vector<Token> Lex(const std::string& source) {
  return Tokenize(source, std::make_shared<const std::string>("t.4dm"), MultiWordNames());
}

std::vector<TokenType> Types(const std::vector<Token>& tokens) {
  std::vector<TokenType> types;
  for (const Token& token : tokens) types.push_back(token.type);
  return types;
}

TEST(LexerTest, ReadsAStatementWithEveryKindOfValue) {
  const auto tokens = Lex("$ref:=StreamOpen(\"a\\\"b\\r\";0x50;-1;!2024-02-29!)\n");
  using T = TokenType;
  EXPECT_EQ(Types(tokens),
            (std::vector<T>{T::kVariable, T::kAssign, T::kName, T::kLeftParen, T::kString,
                            T::kSemicolon, T::kNumber, T::kSemicolon, T::kMinus, T::kNumber,
                            T::kSemicolon, T::kDate, T::kRightParen, T::kNewline, T::kEnd}));
  EXPECT_EQ(tokens[0].text, "ref");
  EXPECT_EQ(tokens[4].text, "a\"b\r");
  EXPECT_EQ(tokens[6].number, 0x50);
  EXPECT_EQ(tokens[11].date.year, 2024);
  EXPECT_EQ(tokens[11].date.month, 2);
  EXPECT_EQ(tokens[11].date.day, 29);
  EXPECT_EQ(tokens[2].where.line, 1);
  EXPECT_EQ(tokens[2].where.column, 7);
}

TEST(LexerTest, OperatorsOfOneAndTwoCharacters) {
  using T = TokenType;
  EXPECT_EQ(
      Types(Lex("<= >= < > = # & | + - * \\ % : :=")),
      (std::vector<T>{T::kLessEqual, T::kGreaterEqual, T::kLess, T::kGreater, T::kEqual,
                      T::kNotEqual, T::kAnd, T::kOr, T::kPlus, T::kMinus, T::kStar, T::kBackslash,
                      T::kPercent, T::kColon, T::kAssign, T::kNewline, T::kEnd}));
}

TEST(LexerTest, NamesOfSeveralWordsBecomeOneToken) {
  const auto tokens = Lex("end   IF\nNew\tprocess\nText to BLOB\nEnd\nCase x\nDay of");
  std::vector<std::string> names;
  for (const Token& token : tokens) {
    if (token.type == TokenType::kName) names.push_back(token.text);
  }
  // The canonical spelling; a first word alone stays a word of its own.
  EXPECT_EQ(names, (std::vector<std::string>{"End if", "New process", "Text to BLOB", "End", "Case",
                                             "x", "Day of"}));
}

TEST(LexerTest, NumbersUseAll32BitsAndNoMore) {
  EXPECT_EQ(Lex("2147483647")[0].number, 2147483647);
  EXPECT_EQ(Lex("2147483648")[0].number, INT32_MIN);
  EXPECT_EQ(Lex("4294967295")[0].number, -1);
  EXPECT_EQ(Lex("0xFFFFFFFF")[0].number, -1);
  EXPECT_EQ(Lex("0x7f")[0].number, 127);
  EXPECT_THROW(Lex("4294967296"), ScriptError);
  EXPECT_THROW(Lex("0x100000000"), ScriptError);
  EXPECT_THROW(Lex("99999999999999999999999"), ScriptError);
}

TEST(LexerTest, CommentsVanishAndContinuationsJoinLines) {
  using T = TokenType;
  EXPECT_EQ(Types(Lex("// only a comment\n$a:=1 // trailing\n")),
            (std::vector<T>{T::kVariable, T::kAssign, T::kNumber, T::kNewline, T::kEnd}));
  // A block comment over lines still ends the statement before it.
  EXPECT_EQ(Types(Lex("$a:=1 /* one\ntwo */ $b:=2")),
            (std::vector<T>{T::kVariable, T::kAssign, T::kNumber, T::kNewline, T::kVariable,
                            T::kAssign, T::kNumber, T::kNewline, T::kEnd}));
  const auto joined = Lex("$a:=1+ \\  \n  2\n$b");
  EXPECT_EQ(Types(joined),
            (std::vector<T>{T::kVariable, T::kAssign, T::kNumber, T::kPlus, T::kNumber, T::kNewline,
                            T::kVariable, T::kNewline, T::kEnd}));
  EXPECT_EQ(joined[4].where.line, 2);
  EXPECT_EQ(joined[6].where.line, 3);
}

TEST(LexerTest, LineEndsOfEverySystemCountLines) {
  for (const char* end : {"\n", "\r", "\r\n"}) {
    const std::string source = std::string("$a:=1") + end + end + "$b:=2" + end + "$c";
    const auto tokens = Lex(source);
    EXPECT_EQ(tokens[4].where.line, 3) << "line end " << static_cast<int>(end[0]);
    EXPECT_EQ(tokens[8].where.line, 4);
    EXPECT_EQ(tokens[8].where.column, 1);
  }
}

TEST(LexerTest, FaultsNameTheirLineAndColumn) {
  struct Case {
    const char* source;
    int line, column;
    const char* message;
  };
  const Case cases[] = {
      {"$a:=1\n$b:=\"open", 2, 5, "not closed"}, {"$a:=\"x\\q\"", 1, 7, "unknown escape \\q"},
      {"F(1,2)", 1, 4, "separated with ;"},      {"$a:=4/2", 1, 6, "\\"},
      {"$a:=$ ", 1, 5, "variable name"},         {"$a:=!2024-13-01!", 1, 5, "month"},
      {"$a:=!24-1-1!", 1, 5, "!YYYY-MM-DD!"},    {"$a:=12ab", 1, 5, "letters"},
      {"$a:=1.5", 1, 5, "decimal point"},        {"\n\n  /* never closed", 3, 3, "never closed"},
      {"$a:='x'", 1, 5, "double quotes"},        {"$a:=1 \xC3\xA9", 1, 7, "0xC3"},
      {"$a:=0x", 1, 5, "hexadecimal"},
  };
  for (const Case& c : cases) {
    try {
      Lex(c.source);
      ADD_FAILURE() << "no error for " << c.source;
    } catch (const ScriptError& error) {
      EXPECT_EQ(error.where().line, c.line) << c.source;
      EXPECT_EQ(error.where().column, c.column) << c.source;
      EXPECT_NE(error.message().find(c.message), std::string::npos)
          << c.source << " gave: " << error.message();
      EXPECT_EQ(error.formatted().rfind("t.4dm:", 0), 0u);
    }
  }
}

}  // namespace
}  // namespace nimbus_script
