#include "sandbox/engine/tsql_lexer.h"

#include <algorithm>
#include <array>

#include "sandbox/engine/sql_messages.h"

namespace sandbox {
namespace {

bool IsAsciiLetter(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(unsigned char c) {
  return c >= '0' && c <= '9';
}
bool IsWordStart(unsigned char c) {
  return IsAsciiLetter(c) || c == '_' || c == '#' || c >= 0x80;
}
bool IsWordChar(unsigned char c) {
  return IsAsciiLetter(c) || IsDigit(c) || c == '_' || c == '#' || c == '@' || c == '$' ||
         c >= 0x80;
}
char AsciiUpper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - ('a' - 'A')) : c;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

class Lexer {
 public:
  explicit Lexer(std::string_view sql) : sql_(sql) {}

  // Fills tokens from the front, reusing the tokens (and the room of their texts) that are
  // there already; what is left over is dropped at the end.
  void Run(std::vector<Token>& tokens) {
    size_t count = 0;
    try {
      while (true) {
        SkipBlanks();
        if (count == tokens.size()) tokens.emplace_back();
        Token& token = tokens[count++];
        token.value.clear();
        token.line = line_;
        token.offset = pos_;
        if (pos_ >= sql_.size()) {
          token.kind = Token::Kind::kEnd;
          token.text.clear();
          tokens.resize(count);
          return;
        }
        ReadToken(token);
        token.text.assign(sql_.data() + token.offset, pos_ - token.offset);
      }
    } catch (...) {
      tokens.clear();
      throw;
    }
  }

 private:
  char At(size_t i) const { return i < sql_.size() ? sql_[i] : '\0'; }

  void Advance() {
    if (sql_[pos_] == '\n') ++line_;
    ++pos_;
  }

  void SkipBlanks() {
    while (pos_ < sql_.size()) {
      char c = sql_[pos_];
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
        Advance();
      } else if (c == '-' && At(pos_ + 1) == '-') {
        while (pos_ < sql_.size() && sql_[pos_] != '\n') Advance();
      } else if (c == '/' && At(pos_ + 1) == '*') {
        SkipBlockComment();
      } else {
        return;
      }
    }
  }

  // Block comments nest in T-SQL.
  void SkipBlockComment() {
    int depth = 0;
    while (pos_ < sql_.size()) {
      if (sql_[pos_] == '/' && At(pos_ + 1) == '*') {
        ++depth;
        Advance();
        Advance();
      } else if (sql_[pos_] == '*' && At(pos_ + 1) == '/') {
        --depth;
        Advance();
        Advance();
        if (depth == 0) return;
      } else {
        Advance();
      }
    }
    throw MissingEndComment(line_);
  }

  void ReadQuoted(Token& token, char close) {
    int start_line = line_;
    size_t start = pos_;
    Advance();  // opening quote
    std::string& value = token.value;
    while (true) {
      // Everything up to the next closing character is taken as it is.
      const size_t stop = sql_.find(close, pos_);
      if (stop == std::string_view::npos) {
        throw UnclosedQuote(std::string(sql_.substr(start + 1)), start_line);
      }
      const std::string_view chunk = sql_.substr(pos_, stop - pos_);
      value += chunk;
      line_ += static_cast<int>(std::count(chunk.begin(), chunk.end(), '\n'));
      pos_ = stop + 1;
      if (At(pos_) != close) break;
      value += close;  // a doubled closing character stands for itself
      ++pos_;
    }
  }

  void ReadToken(Token& token) {
    unsigned char c = static_cast<unsigned char>(sql_[pos_]);
    if ((c == 'N' || c == 'n') && At(pos_ + 1) == '\'') {
      token.kind = Token::Kind::kNString;
      Advance();
      ReadQuoted(token, '\'');
      return;
    }
    if (c == '\'') {
      token.kind = Token::Kind::kString;
      ReadQuoted(token, '\'');
      return;
    }
    if (c == '[') {
      token.kind = Token::Kind::kQuoted;
      ReadQuoted(token, ']');
      return;
    }
    if (c == '"') {
      token.kind = Token::Kind::kQuoted;
      ReadQuoted(token, '"');
      return;
    }
    if (c == '0' && (At(pos_ + 1) == 'x' || At(pos_ + 1) == 'X')) {
      token.kind = Token::Kind::kBinary;
      Advance();
      Advance();
      std::string hex;
      while (pos_ < sql_.size() && HexDigit(sql_[pos_]) >= 0) {
        hex += sql_[pos_];
        Advance();
      }
      if (hex.size() % 2) hex.insert(hex.begin(), '0');
      for (size_t i = 0; i < hex.size(); i += 2) {
        token.value += static_cast<char>(HexDigit(hex[i]) * 16 + HexDigit(hex[i + 1]));
      }
      return;
    }
    if (IsDigit(c) || (c == '.' && IsDigit(static_cast<unsigned char>(At(pos_ + 1))))) {
      token.kind = Token::Kind::kNumber;
      while (IsDigit(static_cast<unsigned char>(At(pos_)))) Advance();
      if (At(pos_) == '.') {
        Advance();
        while (IsDigit(static_cast<unsigned char>(At(pos_)))) Advance();
      }
      if (At(pos_) == 'e' || At(pos_) == 'E') {
        size_t save = pos_;
        Advance();
        if (At(pos_) == '+' || At(pos_) == '-') Advance();
        if (!IsDigit(static_cast<unsigned char>(At(pos_)))) {
          pos_ = save;  // "1e" alone: the number ends before the e
        } else {
          while (IsDigit(static_cast<unsigned char>(At(pos_)))) Advance();
        }
      }
      return;
    }
    if (c == '@') {
      token.kind = Token::Kind::kVariable;
      Advance();
      if (At(pos_) == '@') Advance();
      while (pos_ < sql_.size() && IsWordChar(static_cast<unsigned char>(sql_[pos_]))) Advance();
      return;
    }
    if (IsWordStart(c)) {
      token.kind = Token::Kind::kWord;
      // A word holds no line break: no line counting needed.
      while (pos_ < sql_.size() && IsWordChar(static_cast<unsigned char>(sql_[pos_]))) ++pos_;
      token.value.assign(sql_.data() + token.offset, pos_ - token.offset);
      return;
    }
    token.kind = Token::Kind::kOperator;
    static constexpr std::array<std::string_view, 10> kTwoChar = {"<=", ">=", "<>", "!=", "!<",
                                                                  "!>", "::", "+=", "-=", "||"};
    static constexpr std::string_view kTwoCharStarts = "<>!:+-|";
    if (kTwoCharStarts.find(static_cast<char>(c)) == std::string_view::npos) {
      Advance();  // ( ) , and the like stand alone
      return;
    }
    for (std::string_view op : kTwoChar) {
      if (sql_.substr(pos_, 2) == op) {
        Advance();
        Advance();
        return;
      }
    }
    Advance();
  }

  std::string_view sql_;
  size_t pos_ = 0;
  int line_ = 1;
};

}  // namespace

bool Token::IsWord(std::string_view word) const {
  return kind == Kind::kWord && EqualsNoCase(text, word);
}

std::vector<Token> Tokenize(std::string_view sql) {
  std::vector<Token> tokens;
  Lexer(sql).Run(tokens);
  return tokens;
}

void Tokenize(std::string_view sql, std::vector<Token>& tokens) {
  Lexer(sql).Run(tokens);
}

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiUpper(c);
  return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return AsciiUpper(x) == AsciiUpper(y);
         });
}

bool IsReservedWord(std::string_view word) {
  static constexpr std::array<std::string_view, 96> kReserved = {
      "ADD",        "ALL",      "ALTER",     "AND",       "ANY",     "AS",
      "ASC",        "BEGIN",    "BETWEEN",   "BREAK",     "BY",      "CASCADE",
      "CASE",       "CHECK",    "CLUSTERED", "COLLATE",   "COLUMN",  "COMMIT",
      "CONSTRAINT", "CONTINUE", "CONVERT",   "CREATE",    "CROSS",   "CURRENT",
      "DATABASE",   "DECLARE",  "DEFAULT",   "DELETE",    "DESC",    "DISTINCT",
      "DROP",       "ELSE",     "END",       "ESCAPE",    "EXCEPT",  "EXEC",
      "EXECUTE",    "EXISTS",   "FOREIGN",   "FROM",      "FULL",    "FUNCTION",
      "GOTO",       "GROUP",    "HAVING",    "IDENTITY",  "IF",      "IN",
      "INDEX",      "INNER",    "INSERT",    "INTERSECT", "INTO",    "IS",
      "JOIN",       "KEY",      "LEFT",      "LIKE",      "NOCHECK", "NONCLUSTERED",
      "NOT",        "NULL",     "OF",        "OFF",       "ON",      "OR",
      "ORDER",      "OUTER",    "PRIMARY",   "PRINT",     "PROC",    "PROCEDURE",
      "REFERENCES", "RETURN",   "RIGHT",     "ROLLBACK",  "SELECT",  "SET",
      "TABLE",      "THEN",     "TO",        "TOP",       "TRAN",    "TRANSACTION",
      "TRUNCATE",   "UNION",    "UNIQUE",    "UPDATE",    "USE",     "VALUES",
      "VIEW",       "WHEN",     "WHERE",     "WHILE",     "WITH",    "PERCENT"};
  return std::any_of(kReserved.begin(), kReserved.end(),
                     [&](std::string_view reserved) { return EqualsNoCase(word, reserved); });
}

}  // namespace sandbox
