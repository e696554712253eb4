// The tokens of a method script.
#pragma once

#include <cstdint>
#include <string>

#include "host/fourd_params.h"
#include "script_error.h"

namespace nimbus_script {

enum class TokenType {
  kEnd,           // end of the file
  kNewline,       // end of a statement
  kName,          // a command, routine, method or keyword; several words for some ("End if")
  kVariable,      // $name or $1 (text holds the name without "$")
  kNumber,        // decimal or 0x hex
  kString,        // "..." (text holds the bytes, escapes resolved)
  kDate,          // !YYYY-MM-DD!
  kAssign,        // :=
  kColon,         // : (a Case of branch)
  kLeftParen,     // (
  kRightParen,    // )
  kSemicolon,     // ;
  kPlus,          // +
  kMinus,         // -
  kStar,          // *
  kBackslash,     // \ integer division
  kPercent,       // %
  kEqual,         // =
  kNotEqual,      // #
  kLess,          // <
  kGreater,       // >
  kLessEqual,     // <=
  kGreaterEqual,  // >=
  kAnd,           // &
  kOr,            // |
};

struct Token {
  TokenType type = TokenType::kEnd;
  std::string text;    // kName: the canonical spelling; kVariable: the name; kString: bytes
  int32_t number = 0;  // kNumber
  FourDDate date{};    // kDate
  SourcePosition where;
};

// How a token is shown in a message: "End if", "$x", "\"abc\"", "end of line", ":=".
std::string Describe(const Token& token);

}  // namespace nimbus_script
