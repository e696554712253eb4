// The script lexer: one pass over the bytes, tracking line and column for messages.
#include "lexer.h"

#include <cstdint>
#include <utility>

namespace nimbus_script {
namespace {

bool IsNameStart(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsNameChar(char c) {
  return IsNameStart(c) || IsDigit(c);
}
bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

bool SameLetters(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

std::vector<std::string> SplitWords(const std::string& phrase) {
  std::vector<std::string> words;
  std::string word;
  for (char c : phrase) {
    if (c == ' ') {
      if (!word.empty()) words.push_back(std::move(word));
      word.clear();
    } else {
      word += c;
    }
  }
  if (!word.empty()) words.push_back(std::move(word));
  return words;
}

class Lexer {
 public:
  Lexer(const std::string& source, std::shared_ptr<const std::string> file,
        const std::vector<std::string>& phrases)
      : source_(source), file_(std::move(file)) {
    for (const std::string& phrase : phrases) {
      std::vector<std::string> words = SplitWords(phrase);
      if (words.size() > 1) phrases_.push_back({phrase, std::move(words)});
    }
  }

  std::vector<Token> Run() {
    while (pos_ < source_.size()) ReadOne();
    Token end = Make(TokenType::kEnd);
    if (tokens_.empty() || tokens_.back().type != TokenType::kNewline) {
      tokens_.push_back(Make(TokenType::kNewline));
    }
    tokens_.push_back(end);
    return std::move(tokens_);
  }

 private:
  struct Phrase {
    std::string canonical;
    std::vector<std::string> words;
  };

  char Peek(size_t ahead = 0) const {
    return pos_ + ahead < source_.size() ? source_[pos_ + ahead] : '\0';
  }

  SourcePosition Here() const { return {file_, line_, static_cast<int>(pos_ - lineStart_) + 1}; }

  Token Make(TokenType type) const {
    Token token;
    token.type = type;
    token.where = Here();
    return token;
  }

  [[noreturn]] void Fail(const SourcePosition& where, const std::string& message) const {
    throw ScriptError(where, message);
  }

  // Consumes one line end (CR LF, CR or LF) at pos_.
  void TakeLineEnd() {
    if (Peek() == '\r' && Peek(1) == '\n') ++pos_;
    ++pos_;
    ++line_;
    lineStart_ = pos_;
  }

  void AddNewline() {
    if (!tokens_.empty() && tokens_.back().type != TokenType::kNewline) {
      tokens_.push_back(Make(TokenType::kNewline));
    }
  }

  void ReadOne() {
    const char c = Peek();
    if (IsBlank(c)) {
      ++pos_;
    } else if (c == '\r' || c == '\n') {
      AddNewline();
      TakeLineEnd();
    } else if (c == '/' && Peek(1) == '/') {
      while (pos_ < source_.size() && Peek() != '\r' && Peek() != '\n') ++pos_;
    } else if (c == '/' && Peek(1) == '*') {
      SkipBlockComment();
    } else if (c == '\\' && RestOfLineIsBlank(pos_ + 1)) {
      // A line continuation: the statement goes on on the next line.
      while (IsBlank(Peek(1))) ++pos_;
      ++pos_;
      if (pos_ < source_.size()) TakeLineEnd();
    } else if (c == '"') {
      ReadString();
    } else if (c == '$') {
      ReadVariable();
    } else if (c == '!') {
      ReadDate();
    } else if (IsDigit(c)) {
      ReadNumber();
    } else if (IsNameStart(c)) {
      ReadName();
    } else {
      ReadOperator();
    }
  }

  bool RestOfLineIsBlank(size_t from) const {
    while (from < source_.size() && IsBlank(source_[from])) ++from;
    return from >= source_.size() || source_[from] == '\r' || source_[from] == '\n';
  }

  void SkipBlockComment() {
    const SourcePosition start = Here();
    pos_ += 2;
    bool spannedLines = false;
    while (pos_ < source_.size() && !(Peek() == '*' && Peek(1) == '/')) {
      if (Peek() == '\r' || Peek() == '\n') {
        spannedLines = true;
        TakeLineEnd();
      } else {
        ++pos_;
      }
    }
    if (pos_ >= source_.size()) Fail(start, "comment /* is never closed with */");
    pos_ += 2;
    if (spannedLines) AddNewline();
  }

  void ReadString() {
    Token token = Make(TokenType::kString);
    ++pos_;
    for (;;) {
      const char c = Peek();
      if (pos_ >= source_.size() || c == '\r' || c == '\n') {
        Fail(token.where, "text literal is not closed with \" before the end of the line");
      }
      ++pos_;
      if (c == '"') break;
      if (c != '\\') {
        token.text += c;
        continue;
      }
      const SourcePosition escapeAt{file_, line_, static_cast<int>(pos_ - lineStart_)};
      const char e = Peek();
      ++pos_;
      switch (e) {
        case '"':
          token.text += '"';
          break;
        case '\\':
          token.text += '\\';
          break;
        case 'r':
          token.text += '\r';
          break;
        case 'n':
          token.text += '\n';
          break;
        case 't':
          token.text += '\t';
          break;
        default:
          Fail(escapeAt, std::string("unknown escape \\") + (e ? std::string(1, e) : "") +
                             " (known: \\\" \\\\ \\r \\n \\t; use Char(n) for other bytes)");
      }
    }
    tokens_.push_back(std::move(token));
  }

  void ReadVariable() {
    Token token = Make(TokenType::kVariable);
    ++pos_;
    while (IsNameChar(Peek())) token.text += source_[pos_++];
    if (token.text.empty()) Fail(token.where, "$ must be followed by a variable name");
    tokens_.push_back(std::move(token));
  }

  int ReadDigits(size_t count) {
    int value = 0;
    for (size_t i = 0; i < count; ++i) {
      if (!IsDigit(Peek())) return -1;
      value = value * 10 + (source_[pos_++] - '0');
    }
    return value;
  }

  void ReadDate() {
    Token token = Make(TokenType::kDate);
    const char* const form = "a date literal is written !YYYY-MM-DD!";
    ++pos_;
    const int year = ReadDigits(4);
    if (year < 0 || Peek() != '-') Fail(token.where, form);
    ++pos_;
    const int month = ReadDigits(2);
    if (month < 0 || Peek() != '-') Fail(token.where, form);
    ++pos_;
    const int day = ReadDigits(2);
    if (day < 0 || Peek() != '!') Fail(token.where, form);
    ++pos_;
    const bool nullDate = year == 0 && month == 0 && day == 0;
    if (!nullDate && (month < 1 || month > 12 || day < 1 || day > 31)) {
      Fail(token.where, "date literal has no such month or day");
    }
    token.date = {static_cast<int16_t>(day), static_cast<int16_t>(month),
                  static_cast<int16_t>(year)};
    tokens_.push_back(std::move(token));
  }

  void ReadNumber() {
    Token token = Make(TokenType::kNumber);
    uint64_t value = 0;
    bool tooLarge = false;
    if (Peek() == '0' && (Peek(1) == 'x' || Peek(1) == 'X')) {
      pos_ += 2;
      size_t digits = 0;
      for (;; ++digits, ++pos_) {
        const char c = Peek();
        int digit = -1;
        if (IsDigit(c)) digit = c - '0';
        if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        if (digit < 0) break;
        value = value * 16 + static_cast<uint64_t>(digit);
        tooLarge = tooLarge || value > UINT32_MAX;
      }
      if (digits == 0) Fail(token.where, "0x must be followed by hexadecimal digits");
    } else {
      while (IsDigit(Peek())) {
        value = value * 10 + static_cast<uint64_t>(source_[pos_++] - '0');
        tooLarge = tooLarge || value > UINT32_MAX;
      }
    }
    if (IsNameChar(Peek()) || Peek() == '.') {
      Fail(token.where, Peek() == '.' ? "numbers are integers here: no decimal point"
                                      : "a number runs into letters");
    }
    if (tooLarge) Fail(token.where, "number does not fit in 32 bits");
    // 2147483648 to 4294967295 carry the same 32 bits as a negative longint (seconds counts).
    token.number = static_cast<int32_t>(static_cast<uint32_t>(value));
    tokens_.push_back(std::move(token));
  }

  std::string ReadWord() {
    std::string word;
    while (IsNameChar(Peek())) word += source_[pos_++];
    return word;
  }

  void ReadName() {
    Token token = Make(TokenType::kName);
    token.text = ReadWord();
    // Take the longest phrase that starts with this word and continues with the next ones.
    size_t bestEnd = pos_;
    const Phrase* best = nullptr;
    for (const Phrase& phrase : phrases_) {
      if (!SameLetters(phrase.words[0], token.text)) continue;
      size_t at = pos_;
      bool matched = true;
      for (size_t w = 1; w < phrase.words.size() && matched; ++w) {
        size_t start = at;
        while (start < source_.size() && IsBlank(source_[start])) ++start;
        size_t end = start;
        while (end < source_.size() && IsNameChar(source_[end])) ++end;
        matched = start > at && SameLetters(phrase.words[w], source_.substr(start, end - start));
        at = end;
      }
      if (matched && at > bestEnd) {
        bestEnd = at;
        best = &phrase;
      }
    }
    if (best != nullptr) {
      token.text = best->canonical;
      pos_ = bestEnd;
    }
    tokens_.push_back(std::move(token));
  }

  void ReadOperator() {
    const SourcePosition where = Here();
    const char c = Peek();
    const char next = Peek(1);
    auto emit = [&](TokenType type, size_t length) {
      Token token = Make(type);
      pos_ += length;
      tokens_.push_back(std::move(token));
    };
    switch (c) {
      case ':':
        return next == '=' ? emit(TokenType::kAssign, 2) : emit(TokenType::kColon, 1);
      case '(':
        return emit(TokenType::kLeftParen, 1);
      case ')':
        return emit(TokenType::kRightParen, 1);
      case ';':
        return emit(TokenType::kSemicolon, 1);
      case '+':
        return emit(TokenType::kPlus, 1);
      case '-':
        return emit(TokenType::kMinus, 1);
      case '*':
        return emit(TokenType::kStar, 1);
      case '\\':
        return emit(TokenType::kBackslash, 1);
      case '%':
        return emit(TokenType::kPercent, 1);
      case '=':
        return emit(TokenType::kEqual, 1);
      case '#':
        return emit(TokenType::kNotEqual, 1);
      case '<':
        return next == '=' ? emit(TokenType::kLessEqual, 2) : emit(TokenType::kLess, 1);
      case '>':
        return next == '=' ? emit(TokenType::kGreaterEqual, 2) : emit(TokenType::kGreater, 1);
      case '&':
        return emit(TokenType::kAnd, 1);
      case '|':
        return emit(TokenType::kOr, 1);
      case ',':
        Fail(where, "parameters are separated with ; not ,");
      case '/':
        Fail(where, "integer division is written \\ (there are no reals)");
      case '\'':
        Fail(where, "text literals are written in double quotes");
      default:
        break;
    }
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte >= 0x7F) {
      char hex[8];
      static const char* const digits = "0123456789ABCDEF";
      hex[0] = '0';
      hex[1] = 'x';
      hex[2] = digits[byte >> 4];
      hex[3] = digits[byte & 15];
      hex[4] = '\0';
      Fail(where, std::string("unexpected byte ") + hex);
    }
    Fail(where, std::string("unexpected character '") + c + "'");
  }

  const std::string& source_;
  std::shared_ptr<const std::string> file_;
  std::vector<Phrase> phrases_;
  std::vector<Token> tokens_;
  size_t pos_ = 0;
  size_t lineStart_ = 0;
  int line_ = 1;
};

}  // namespace

std::vector<Token> Tokenize(const std::string& source, std::shared_ptr<const std::string> file,
                            const std::vector<std::string>& phrases) {
  return Lexer(source, std::move(file), phrases).Run();
}

std::string Describe(const Token& token) {
  switch (token.type) {
    case TokenType::kEnd:
      return "end of file";
    case TokenType::kNewline:
      return "end of line";
    case TokenType::kName:
      return token.text;
    case TokenType::kVariable:
      return "$" + token.text;
    case TokenType::kNumber:
      return std::to_string(token.number);
    case TokenType::kString:
      return "a text literal";
    case TokenType::kDate:
      return "a date literal";
    case TokenType::kAssign:
      return ":=";
    case TokenType::kColon:
      return ":";
    case TokenType::kLeftParen:
      return "(";
    case TokenType::kRightParen:
      return ")";
    case TokenType::kSemicolon:
      return ";";
    case TokenType::kPlus:
      return "+";
    case TokenType::kMinus:
      return "-";
    case TokenType::kStar:
      return "*";
    case TokenType::kBackslash:
      return "\\";
    case TokenType::kPercent:
      return "%";
    case TokenType::kEqual:
      return "=";
    case TokenType::kNotEqual:
      return "#";
    case TokenType::kLess:
      return "<";
    case TokenType::kGreater:
      return ">";
    case TokenType::kLessEqual:
      return "<=";
    case TokenType::kGreaterEqual:
      return ">=";
    case TokenType::kAnd:
      return "&";
    case TokenType::kOr:
      return "|";
  }
  return "?";
}

}  // namespace nimbus_script
