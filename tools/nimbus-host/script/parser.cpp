// A recursive-descent parser. Statements stand one per line; blocks are closed by their
// keyword (End if, End while, Until ...). Arithmetic operators have no precedence among
// themselves and are applied from left to right, as 4D does; comparisons bind looser than
// arithmetic, and & | looser than comparisons.
#include "parser.h"

#include <algorithm>
#include <utility>

#include "lexer.h"

namespace nimbus_script {
namespace {

// Deeper nesting than this is refused rather than risking the native stack.
constexpr int kMaxNesting = 200;

struct Declaration {
  const char* name;
  ValueKind kind;
};
constexpr Declaration kDeclarations[] = {
    {"C_LONGINT", ValueKind::kLongint}, {"C_INTEGER", ValueKind::kLongint},
    {"C_TEXT", ValueKind::kText},       {"C_STRING", ValueKind::kText},
    {"C_BOOLEAN", ValueKind::kBoolean}, {"C_DATE", ValueKind::kDate},
    {"C_BLOB", ValueKind::kBlob},       {"C_PICTURE", ValueKind::kBlob},
};

// Words that open, divide or close blocks; they are never calls.
constexpr const char* kBlockWords[] = {"If",      "Else",      "End if",    "Case of", "End case",
                                       "While",   "End while", "Repeat",    "Until",   "For",
                                       "End for", "Method",    "End method"};

bool IsBlockWord(const Token& token) {
  if (token.type != TokenType::kName) return false;
  for (const char* word : kBlockWords) {
    if (SameName(word, token.text)) return true;
  }
  return false;
}

// The words that open a block statement.
bool IsOpener(const Token& token) {
  if (token.type != TokenType::kName) return false;
  for (const char* word : {"If", "Case of", "While", "Repeat", "For"}) {
    if (SameName(word, token.text)) return true;
  }
  return false;
}

class Parser {
 public:
  Parser(std::vector<Token> tokens, std::shared_ptr<const std::string> file)
      : tokens_(std::move(tokens)), file_(std::move(file)) {}

  ParsedFile Run(const std::string& mainName) {
    ParsedFile parsed;
    parsed.main = std::make_unique<Method>();
    parsed.main->name = mainName;
    parsed.main->where = {file_, 1, 1};
    for (;;) {
      SkipNewlines();
      if (At(TokenType::kEnd)) break;
      if (AtWord("Method")) {
        parsed.methods.push_back(ParseMethodBlock());
      } else if ((IsBlockWord(Peek()) && !IsOpener(Peek())) || At(TokenType::kColon)) {
        throw StrayWord(Peek());
      } else {
        parsed.main->body.push_back(ParseStatement());
      }
    }
    return parsed;
  }

 private:
  // ---- tokens ----
  const Token& Peek() const { return tokens_[index_]; }
  const Token& Next() {
    const Token& token = tokens_[index_];
    if (token.type != TokenType::kEnd) ++index_;
    return token;
  }
  bool At(TokenType type) const { return Peek().type == type; }
  bool AtWord(const char* word) const {
    return At(TokenType::kName) && SameName(Peek().text, word);
  }
  void SkipNewlines() {
    while (At(TokenType::kNewline)) Next();
  }

  [[noreturn]] void Fail(const Token& at, const std::string& message) const {
    throw ScriptError(at.where, message);
  }

  const Token& Expect(TokenType type, const std::string& what) {
    if (!At(type)) Fail(Peek(), "expected " + what + ", found " + Describe(Peek()));
    return Next();
  }

  void ExpectEndOfStatement() {
    if (!At(TokenType::kNewline) && !At(TokenType::kEnd)) {
      Fail(Peek(),
           "unexpected " + Describe(Peek()) + " after the statement (one statement a line)");
    }
    Next();
  }

  std::string Where(const Token& token) const { return "line " + std::to_string(token.where.line); }

  ScriptError StrayWord(const Token& token) const {
    if (token.type == TokenType::kColon) {
      return ScriptError(token.where, ": (condition) outside Case of");
    }
    if (SameName(token.text, "Method")) {
      return ScriptError(token.where,
                         "Method blocks stand at the top of a file, not inside another block");
    }
    static const std::pair<const char*, const char*> kOpeners[] = {
        {"Else", "If or Case of"}, {"End if", "If"},    {"End case", "Case of"},
        {"End while", "While"},    {"Until", "Repeat"}, {"End for", "For"},
        {"End method", "Method"}};
    for (const auto& [word, opener] : kOpeners) {
      if (SameName(token.text, word)) {
        return ScriptError(token.where, std::string(word) + " without " + opener);
      }
    }
    return ScriptError(token.where, "unexpected " + token.text);
  }

  // ---- nesting ----
  struct NestingGuard {
    NestingGuard(Parser* parser, const Token& at) : parser(parser) {
      if (++parser->depth_ > kMaxNesting) {
        parser->Fail(at, "nested more than " + std::to_string(kMaxNesting) + " levels deep");
      }
    }
    ~NestingGuard() { --parser->depth_; }
    Parser* parser;
  };

  // ---- blocks ----
  // Reads statements until one of `enders` (or a ":" when `colonEnds`) starts a line.
  // `opener` and `closer` name the block for messages.
  Block ParseBlock(const Token& opener, const char* closer,
                   std::initializer_list<const char*> enders, bool colonEnds = false) {
    Block block;
    for (;;) {
      SkipNewlines();
      if (At(TokenType::kEnd)) {
        Fail(opener,
             opener.text + " at " + Where(opener) + " has no " + closer + " (the file ends first)");
      }
      if (colonEnds && At(TokenType::kColon)) return block;
      for (const char* ender : enders) {
        if (AtWord(ender)) return block;
      }
      if (IsBlockWord(Peek()) && !IsOpener(Peek())) {
        Fail(Peek(), "expected " + std::string(closer) + " to close the " + opener.text + " at " +
                         Where(opener) + ", found " + Peek().text);
      }
      if (At(TokenType::kColon)) throw StrayWord(Peek());
      block.push_back(ParseStatement());
    }
  }

  std::unique_ptr<Method> ParseMethodBlock() {
    const Token& opener = Next();
    auto method = std::make_unique<Method>();
    method->where = opener.where;
    method->name = Expect(TokenType::kName, "the method's name after Method").text;
    if (method->name.find(' ') != std::string::npos || IsBlockWord(tokens_[index_ - 1])) {
      Fail(tokens_[index_ - 1], "a method's name is one word that is not a keyword");
    }
    ExpectEndOfStatement();
    method->body = ParseBlock(opener, "End method", {"End method"});
    Next();
    ExpectEndOfStatement();
    return method;
  }

  // ---- statements ----
  std::unique_ptr<Stmt> ParseStatement() {
    const Token& first = Peek();
    NestingGuard guard(this, first);
    auto stmt = std::make_unique<Stmt>();
    stmt->where = first.where;
    if (At(TokenType::kVariable)) {
      stmt->type = Stmt::Type::kAssign;
      stmt->variable = Next().text;
      if (At(TokenType::kEqual)) Fail(Peek(), "assignment is written := (= compares)");
      Expect(TokenType::kAssign, ":= after $" + stmt->variable);
      stmt->value = ParseExpression();
    } else if (AtWord("If")) {
      ParseIf(stmt.get());
      return stmt;
    } else if (AtWord("Case of")) {
      ParseCase(stmt.get());
      return stmt;
    } else if (AtWord("While")) {
      const Token& opener = Next();
      stmt->type = Stmt::Type::kWhile;
      stmt->value = ParseExpression();
      ExpectEndOfStatement();
      stmt->body = ParseBlock(opener, "End while", {"End while"});
      Next();
    } else if (AtWord("Repeat")) {
      const Token& opener = Next();
      stmt->type = Stmt::Type::kRepeat;
      ExpectEndOfStatement();
      stmt->body = ParseBlock(opener, "Until", {"Until"});
      Next();
      stmt->value = ParseExpression();
    } else if (AtWord("For")) {
      ParseFor(stmt.get());
    } else if (At(TokenType::kName) && DeclarationKind(Peek().text) != ValueKind::kNone) {
      ParseDeclaration(stmt.get());
    } else if (At(TokenType::kName) && !IsBlockWord(Peek())) {
      stmt->type = Stmt::Type::kCall;
      stmt->value = ParseCall();
    } else if (IsBlockWord(Peek()) || At(TokenType::kColon)) {
      throw StrayWord(Peek());
    } else {
      Fail(Peek(), "expected a statement, found " + Describe(Peek()));
    }
    ExpectEndOfStatement();
    return stmt;
  }

  void ParseIf(Stmt* stmt) {
    const Token& opener = Next();
    stmt->type = Stmt::Type::kIf;
    Branch branch;
    branch.condition = ParseExpression();
    ExpectEndOfStatement();
    branch.body = ParseBlock(opener, "End if", {"Else", "End if"});
    stmt->branches.push_back(std::move(branch));
    if (AtWord("Else")) {
      Next();
      ExpectEndOfStatement();
      stmt->elseBody = ParseBlock(opener, "End if", {"End if"});
    }
    Next();
    ExpectEndOfStatement();
  }

  void ParseCase(Stmt* stmt) {
    const Token& opener = Next();
    stmt->type = Stmt::Type::kCase;
    ExpectEndOfStatement();
    for (;;) {
      SkipNewlines();
      if (At(TokenType::kEnd)) {
        Fail(opener, "Case of at " + Where(opener) + " has no End case (the file ends first)");
      }
      if (AtWord("End case")) break;
      if (AtWord("Else")) {
        Next();
        ExpectEndOfStatement();
        stmt->elseBody = ParseBlock(opener, "End case", {"End case"});
        break;
      }
      if (!At(TokenType::kColon)) {
        Fail(Peek(), "expected : (condition), Else or End case in the Case of at " + Where(opener) +
                         ", found " + Describe(Peek()));
      }
      Next();
      Branch branch;
      branch.condition = ParseExpression();
      ExpectEndOfStatement();
      branch.body = ParseBlock(opener, "End case", {"Else", "End case"}, true);
      stmt->branches.push_back(std::move(branch));
    }
    Next();
    ExpectEndOfStatement();
  }

  void ParseFor(Stmt* stmt) {
    const Token& opener = Next();
    stmt->type = Stmt::Type::kFor;
    Expect(TokenType::kLeftParen, "( after For");
    stmt->variable = Expect(TokenType::kVariable, "the counter variable in For").text;
    Expect(TokenType::kSemicolon, "; after the counter");
    stmt->start = ParseExpression();
    Expect(TokenType::kSemicolon, "; after the start value");
    stmt->end = ParseExpression();
    if (At(TokenType::kSemicolon)) {
      Next();
      stmt->step = ParseExpression();
    }
    Expect(TokenType::kRightParen, ") to close For(...)");
    ExpectEndOfStatement();
    stmt->body = ParseBlock(opener, "End for", {"End for"});
    Next();
  }

  static ValueKind DeclarationKind(const std::string& name) {
    for (const Declaration& declaration : kDeclarations) {
      if (SameName(declaration.name, name)) return declaration.kind;
    }
    return ValueKind::kNone;
  }

  void ParseDeclaration(Stmt* stmt) {
    const Token& command = Next();
    stmt->type = Stmt::Type::kDeclare;
    stmt->declaredKind = DeclarationKind(command.text);
    Expect(TokenType::kLeftParen, "( after " + command.text);
    do {
      const Token& variable = Expect(TokenType::kVariable, "a variable to declare");
      auto expr = std::make_unique<Expr>();
      expr->type = Expr::Type::kVariable;
      expr->where = variable.where;
      expr->name = variable.text;
      stmt->declared.push_back(std::move(expr));
    } while (At(TokenType::kSemicolon) && (Next(), true));
    Expect(TokenType::kRightParen, ") to close " + command.text + "(...)");
  }

  // ---- expressions ----
  // Sets the node's height from its operands; long operator chains nest as deeply as
  // parentheses do, so both are bounded (evaluation and destruction recurse over them).
  void Measure(Expr& expr, const Token& at) {
    for (const ExprPtr& arg : expr.args) expr.height = std::max(expr.height, arg->height + 1);
    if (expr.height > kMaxNesting) {
      Fail(at, "expression nested more than " + std::to_string(kMaxNesting) +
                   " levels deep (split it into several assignments)");
    }
  }

  ExprPtr MakeBinary(BinaryOp op, const Token& at, ExprPtr left, ExprPtr right) {
    auto expr = std::make_unique<Expr>();
    expr->type = Expr::Type::kBinary;
    expr->where = at.where;
    expr->op = op;
    expr->args.push_back(std::move(left));
    expr->args.push_back(std::move(right));
    Measure(*expr, at);
    return expr;
  }

  ExprPtr ParseExpression() {
    NestingGuard guard(this, Peek());
    ExprPtr left = ParseComparison();
    while (At(TokenType::kAnd) || At(TokenType::kOr)) {
      const Token& op = Next();
      ExprPtr right = ParseComparison();
      left = MakeBinary(op.type == TokenType::kAnd ? BinaryOp::kAnd : BinaryOp::kOr, op,
                        std::move(left), std::move(right));
    }
    return left;
  }

  static bool ComparisonOf(TokenType type, BinaryOp* op) {
    switch (type) {
      case TokenType::kEqual:
        *op = BinaryOp::kEqual;
        return true;
      case TokenType::kNotEqual:
        *op = BinaryOp::kNotEqual;
        return true;
      case TokenType::kLess:
        *op = BinaryOp::kLess;
        return true;
      case TokenType::kGreater:
        *op = BinaryOp::kGreater;
        return true;
      case TokenType::kLessEqual:
        *op = BinaryOp::kLessEqual;
        return true;
      case TokenType::kGreaterEqual:
        *op = BinaryOp::kGreaterEqual;
        return true;
      default:
        return false;
    }
  }

  ExprPtr ParseComparison() {
    ExprPtr left = ParseArithmetic();
    BinaryOp op;
    if (ComparisonOf(Peek().type, &op)) {
      const Token& at = Next();
      left = MakeBinary(op, at, std::move(left), ParseArithmetic());
      if (ComparisonOf(Peek().type, &op)) {
        Fail(Peek(), "comparisons do not chain; use parentheses and & or |");
      }
    }
    return left;
  }

  static bool ArithmeticOf(TokenType type, BinaryOp* op) {
    switch (type) {
      case TokenType::kPlus:
        *op = BinaryOp::kAdd;
        return true;
      case TokenType::kMinus:
        *op = BinaryOp::kSubtract;
        return true;
      case TokenType::kStar:
        *op = BinaryOp::kMultiply;
        return true;
      case TokenType::kBackslash:
        *op = BinaryOp::kDivide;
        return true;
      case TokenType::kPercent:
        *op = BinaryOp::kModulo;
        return true;
      default:
        return false;
    }
  }

  ExprPtr ParseArithmetic() {
    ExprPtr left = ParseUnary();
    BinaryOp op;
    while (ArithmeticOf(Peek().type, &op)) {
      const Token& at = Next();
      left = MakeBinary(op, at, std::move(left), ParseUnary());
    }
    return left;
  }

  ExprPtr ParseUnary() {
    if (!At(TokenType::kMinus)) return ParsePrimary();
    NestingGuard guard(this, Peek());
    const Token& minus = Next();
    ExprPtr operand = ParseUnary();
    if (operand->type == Expr::Type::kLiteral && operand->literal.kind == ValueKind::kLongint) {
      operand->literal.longint =
          static_cast<int32_t>(0u - static_cast<uint32_t>(operand->literal.longint));
      operand->where = minus.where;
      return operand;
    }
    auto expr = std::make_unique<Expr>();
    expr->type = Expr::Type::kNegate;
    expr->where = minus.where;
    expr->args.push_back(std::move(operand));
    Measure(*expr, minus);
    return expr;
  }

  ExprPtr ParsePrimary() {
    const Token& token = Peek();
    auto expr = std::make_unique<Expr>();
    expr->where = token.where;
    switch (token.type) {
      case TokenType::kNumber:
        expr->literal = ScriptValue::Longint(Next().number);
        return expr;
      case TokenType::kString:
        expr->literal = ScriptValue::Text(Next().text);
        return expr;
      case TokenType::kDate:
        expr->literal = ScriptValue::Date(Next().date);
        return expr;
      case TokenType::kVariable:
        expr->type = Expr::Type::kVariable;
        expr->name = Next().text;
        return expr;
      case TokenType::kLeftParen: {
        Next();
        ExprPtr inner = ParseExpression();
        Expect(TokenType::kRightParen, ") to close the (");
        return inner;
      }
      case TokenType::kName:
        if (IsBlockWord(token) || DeclarationKind(token.text) != ValueKind::kNone) {
          Fail(token, token.text + " cannot stand inside an expression");
        }
        return ParseCall();
      default:
        Fail(token, "expected a value, found " + Describe(token));
    }
  }

  // NAME, NAME() or NAME(arg;arg...)
  ExprPtr ParseCall() {
    const Token& name = Next();
    auto expr = std::make_unique<Expr>();
    expr->type = Expr::Type::kCall;
    expr->where = name.where;
    expr->name = name.text;
    if (!At(TokenType::kLeftParen)) return expr;
    Next();
    if (At(TokenType::kRightParen)) {
      Next();
      return expr;
    }
    for (;;) {
      expr->args.push_back(ParseExpression());
      if (At(TokenType::kSemicolon)) {
        Next();
        continue;
      }
      if (At(TokenType::kRightParen)) {
        Next();
        Measure(*expr, name);
        return expr;
      }
      Fail(Peek(),
           "expected ; or ) in the parameters of " + name.text + ", found " + Describe(Peek()));
    }
  }

  std::vector<Token> tokens_;
  std::shared_ptr<const std::string> file_;
  size_t index_ = 0;
  int depth_ = 0;
};

}  // namespace

ParsedFile ParseScript(const std::string& source, std::shared_ptr<const std::string> file,
                       const std::string& mainName) {
  std::vector<Token> tokens = Tokenize(source, file, MultiWordNames());
  return Parser(std::move(tokens), std::move(file)).Run(mainName);
}

const char* OperatorText(BinaryOp op) {
  switch (op) {
    case BinaryOp::kAdd:
      return "+";
    case BinaryOp::kSubtract:
      return "-";
    case BinaryOp::kMultiply:
      return "*";
    case BinaryOp::kDivide:
      return "\\";
    case BinaryOp::kModulo:
      return "%";
    case BinaryOp::kEqual:
      return "=";
    case BinaryOp::kNotEqual:
      return "#";
    case BinaryOp::kLess:
      return "<";
    case BinaryOp::kGreater:
      return ">";
    case BinaryOp::kLessEqual:
      return "<=";
    case BinaryOp::kGreaterEqual:
      return ">=";
    case BinaryOp::kAnd:
      return "&";
    case BinaryOp::kOr:
      return "|";
  }
  return "?";
}

}  // namespace nimbus_script
