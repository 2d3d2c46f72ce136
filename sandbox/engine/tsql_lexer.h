#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sandbox {

/// One token of a T-SQL batch.
struct Token {
  enum class Kind {
    kWord,      ///< identifier or keyword, also #temp names
    kQuoted,    ///< [bracketed] or "quoted" identifier; value holds the name
    kString,    ///< '...'; value holds the unescaped text
    kNString,   ///< N'...'
    kNumber,    ///< 12, 1.5, .5, 1E5
    kBinary,    ///< 0x1F; value holds the raw bytes
    kVariable,  ///< @x or @@x
    kOperator,  ///< punctuation and operators
    kEnd,
  };
  Kind kind = Kind::kEnd;
  std::string text;        ///< as written
  std::string value;       ///< unescaped value (names, strings, binary bytes)
  int line = 1;            ///< 1-based line within the batch
  size_t offset = 0;       ///< byte offset of the token in the batch
  bool parameter = false;  ///< first token of a bound parameter's value (see parameters.h)

  bool IsWord(std::string_view word) const;  ///< case-insensitive keyword test
  bool IsOp(std::string_view op) const { return kind == Kind::kOperator && text == op; }
  bool IsName() const { return kind == Kind::kWord || kind == Kind::kQuoted; }
};

/// Splits a batch into tokens (comments and blanks dropped, a kEnd token last). Throws
/// SqlError 105 for an unclosed string and 113 for an unclosed comment, as SQL Server does.
std::vector<Token> Tokenize(std::string_view sql);
/// As above, into tokens (cleared first); a vector kept from batch to batch keeps its room.
void Tokenize(std::string_view sql, std::vector<Token>& tokens);

/// ASCII upper case.
std::string Upper(std::string_view text);
/// ASCII case-insensitive equality.
bool EqualsNoCase(std::string_view a, std::string_view b);

/// True for the words T-SQL reserves (SQL Server reports them as "the keyword 'X'").
bool IsReservedWord(std::string_view word);

}  // namespace sandbox
