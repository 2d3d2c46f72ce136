#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "sandbox/engine/convert.h"
#include "sandbox/engine/statements.h"

namespace sandbox {

/// Evaluates the constant expressions of VALUES lists, DEFAULT definitions and procedure
/// arguments into typed Scalars, as T-SQL types literals: 'x' varchar (code page 1254),
/// N'x' nvarchar, 12 int, 1.5 decimal, 1E5 float, 0x1F binary, NULL; unary minus, + (string
/// concatenation or addition), CHAR(n), NCHAR(n), GETDATE(), NEWID(), CAST and CONVERT.
/// Throws SqlError: 128 for a column name, 137 for a variable, 102 for other forms, and
/// conversion errors from convert.h.
class ConstantEvaluator {
 public:
  ConstantEvaluator(const std::vector<Token>& tokens, DateFormat format,
                    std::function<std::optional<Scalar>(const std::string&)> system_value = {})
      : t_(tokens), format_(format), system_value_(std::move(system_value)) {}

  Scalar Evaluate(TokenRange range);

 private:
  Scalar Expr(size_t& i, size_t end, int min_prec);
  Scalar Primary(size_t& i, size_t end);
  Scalar Function(const std::string& name, size_t open, size_t close);

  const std::vector<Token>& t_;
  DateFormat format_;
  std::function<std::optional<Scalar>(const std::string&)> system_value_;
  static constexpr int kMaxNesting = 128;
  int depth_ = 0;
};

/// A stored value back as a Scalar of the matching kind (for CAST results).
Scalar ScalarFromValue(const Value& value, const ColumnType& type);

/// The Unicode character of a code page 1254 byte, as UTF-8.
std::string CodePage1254Char(unsigned char byte);

/// Tokenizes and evaluates one constant expression text (a stored DEFAULT).
Scalar EvaluateConstantText(const std::string& text, DateFormat format);

}  // namespace sandbox
