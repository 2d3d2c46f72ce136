#include "sandbox/engine/constant_eval.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "sandbox/engine/codepage1254.h"
#include "sandbox/engine/query_shape.h"
#include "sandbox/engine/schema.h"
#include "sandbox/engine/sql_messages.h"
#include "sandbox/engine/text_fold.h"
#include "sandbox/engine/tsql_functions.h"
#include "sandbox/engine/utf8.h"

namespace sandbox {
namespace {

using Kind = Token::Kind;

Scalar MakeNull() {
  return Scalar{};
}

Scalar MakeInt(std::int64_t v) {
  Scalar s;
  s.kind = Scalar::Kind::kInt;
  s.int_value = v;
  return s;
}

Scalar MakeFloat(double v) {
  Scalar s;
  s.kind = Scalar::Kind::kFloat;
  s.float_value = v;
  return s;
}

Scalar MakeText(Scalar::Kind kind, std::string text) {
  Scalar s;
  s.kind = kind;
  s.text = std::move(text);
  return s;
}

bool IsText(const Scalar& s) {
  return s.kind == Scalar::Kind::kVarChar || s.kind == Scalar::Kind::kNVarChar;
}

// The number a Scalar holds, for arithmetic; strings convert as SQL Server would to a
// number (precedence puts numbers above strings).
double NumberOf(const Scalar& s) {
  switch (s.kind) {
    case Scalar::Kind::kInt:
      return static_cast<double>(s.int_value);
    case Scalar::Kind::kFloat:
      return s.float_value;
    case Scalar::Kind::kDecimal:
      return std::strtod(s.text.c_str(), nullptr);
    default:
      break;
  }
  char* end = nullptr;
  double v = std::strtod(s.text.c_str(), &end);
  if (s.text.empty() || (end && *end != '\0')) {
    throw ConversionFailed(s.kind == Scalar::Kind::kNVarChar ? "nvarchar" : "varchar", s.text,
                           "int");
  }
  return v;
}

std::string DecimalText(double value, int scale) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", scale, value);
  return buffer;
}

int ScaleOf(const Scalar& s) {
  if (s.kind != Scalar::Kind::kDecimal) return 0;
  size_t dot = s.text.find('.');
  return dot == std::string::npos ? 0 : static_cast<int>(s.text.size() - dot - 1);
}

}  // namespace

std::string CodePage1254Char(unsigned char byte) {
  std::string out;
  AppendUtf8(out, Cp1254ToUnicode(byte));
  return out;
}

Scalar ScalarFromValue(const Value& value, const ColumnType& type) {
  if (std::holds_alternative<std::monostate>(value)) return MakeNull();
  if (std::holds_alternative<std::int64_t>(value)) {
    std::int64_t v = std::get<std::int64_t>(value);
    if (v >= std::numeric_limits<std::int32_t>::min() &&
        v <= std::numeric_limits<std::int32_t>::max()) {
      return MakeInt(v);
    }
    return MakeText(Scalar::Kind::kDecimal, std::to_string(v));
  }
  if (std::holds_alternative<double>(value)) return MakeFloat(std::get<double>(value));
  if (std::holds_alternative<Blob>(value)) {
    return MakeText(Scalar::Kind::kBinary, std::get<Blob>(value).bytes);
  }
  const std::string& text = std::get<std::string>(value);
  if (IsExactNumericType(type.type)) return MakeText(Scalar::Kind::kDecimal, text);
  if (IsDateTimeType(type.type)) {
    // The stored form with a T is ISO 8601, read the same under every DATEFORMAT.
    std::string iso = text;
    if (iso.size() > 10 && iso[10] == ' ' && type.type != SqlType::Time) iso[10] = 'T';
    return MakeText(Scalar::Kind::kVarChar, iso);
  }
  return MakeText(IsUnicodeType(type.type) ? Scalar::Kind::kNVarChar : Scalar::Kind::kVarChar,
                  text);
}

Scalar ConstantEvaluator::Evaluate(TokenRange range) {
  size_t i = range.begin;
  if (i >= range.end) throw IncorrectSyntax(t_[i].text, t_[i].line);
  Scalar out = Expr(i, range.end, 0);
  if (i != range.end) throw IncorrectSyntax(t_[i].text, t_[i].line);
  return out;
}

Scalar ConstantEvaluator::Expr(size_t& i, size_t end, int min_prec) {
  if (++depth_ > kMaxNesting) throw NestedTooDeeply();
  struct Leave {
    int& depth;
    ~Leave() { --depth; }
  } leave{depth_};
  Scalar left = Primary(i, end);
  while (i < end) {
    const Token& op = t_[i];
    int prec = op.IsOp("*") || op.IsOp("/") || op.IsOp("%") ? 2
               : op.IsOp("+") || op.IsOp("-")               ? 1
                                                            : 0;
    if (prec == 0) throw IncorrectSyntax(op.text, op.line);
    if (prec <= min_prec) return left;
    ++i;
    Scalar right = Expr(i, end, prec);
    if (left.kind == Scalar::Kind::kNull || right.kind == Scalar::Kind::kNull) {
      left = MakeNull();
      continue;
    }
    if (op.IsOp("+") && IsText(left) && IsText(right)) {
      bool unicode = left.kind == Scalar::Kind::kNVarChar || right.kind == Scalar::Kind::kNVarChar;
      left = MakeText(unicode ? Scalar::Kind::kNVarChar : Scalar::Kind::kVarChar,
                      left.text + right.text);
      continue;
    }
    if (left.kind == Scalar::Kind::kBinary || right.kind == Scalar::Kind::kBinary) {
      if (op.IsOp("+") && left.kind == right.kind) {
        left = MakeText(Scalar::Kind::kBinary, left.text + right.text);
        continue;
      }
      throw IncorrectSyntax(op.text, op.line);
    }
    bool both_int = (left.kind == Scalar::Kind::kInt || IsText(left)) &&
                    (right.kind == Scalar::Kind::kInt || IsText(right)) &&
                    !(IsText(left) && IsText(right));
    double a = NumberOf(left);
    double b = NumberOf(right);
    if ((op.IsOp("/") || op.IsOp("%")) && b == 0) throw DivideByZero();
    if (both_int) {
      std::int64_t x = static_cast<std::int64_t>(a);
      std::int64_t y = static_cast<std::int64_t>(b);
      std::int64_t r = op.IsOp("+")   ? x + y
                       : op.IsOp("-") ? x - y
                       : op.IsOp("*") ? x * y
                       : op.IsOp("/") ? x / y
                                      : x % y;
      if (r > std::numeric_limits<std::int32_t>::max() ||
          r < std::numeric_limits<std::int32_t>::min()) {
        throw ExpressionOverflow("int");
      }
      left = MakeInt(r);
      continue;
    }
    double r = op.IsOp("+")   ? a + b
               : op.IsOp("-") ? a - b
               : op.IsOp("*") ? a * b
               : op.IsOp("/") ? a / b
                              : std::fmod(a, b);
    if (left.kind == Scalar::Kind::kFloat || right.kind == Scalar::Kind::kFloat) {
      left = MakeFloat(r);
    } else {
      int scale = std::max(ScaleOf(left), ScaleOf(right));
      if (op.IsOp("*")) scale = ScaleOf(left) + ScaleOf(right);
      if (op.IsOp("/")) scale = std::max(6, scale);
      left = MakeText(Scalar::Kind::kDecimal, DecimalText(r, std::min(scale, 38)));
    }
  }
  return left;
}

Scalar ConstantEvaluator::Primary(size_t& i, size_t end) {
  if (i >= end) throw IncorrectSyntax(t_[i].text, t_[i].line);
  const Token& token = t_[i];
  switch (token.kind) {
    case Kind::kString:
      ++i;
      return MakeText(Scalar::Kind::kVarChar, ToCodePage1254(token.value));
    case Kind::kNString:
      ++i;
      return MakeText(Scalar::Kind::kNVarChar, token.value);
    case Kind::kBinary:
      ++i;
      return MakeText(Scalar::Kind::kBinary, token.value);
    case Kind::kNumber: {
      ++i;
      const std::string& text = token.text;
      if (text.find_first_of("eE") != std::string::npos) {
        return MakeFloat(std::strtod(text.c_str(), nullptr));
      }
      if (text.find('.') == std::string::npos) {
        std::int64_t v = 0;
        auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
        if (ec == std::errc() && ptr == text.data() + text.size() &&
            v <= std::numeric_limits<std::int32_t>::max()) {
          return MakeInt(v);
        }
      }
      std::string decimal = text;
      if (!decimal.empty() && decimal[0] == '.') decimal.insert(decimal.begin(), '0');
      if (!decimal.empty() && decimal.back() == '.') decimal.pop_back();
      return MakeText(Scalar::Kind::kDecimal, decimal);
    }
    case Kind::kVariable: {
      if (token.text.rfind("@@", 0) == 0 && system_value_) {
        if (std::optional<Scalar> value = system_value_(Upper(token.text))) {
          ++i;
          return *value;
        }
      }
      throw MustDeclareVariable(token.text);
    }
    case Kind::kOperator: {
      if (token.IsOp("-") || token.IsOp("+")) {
        ++i;
        Scalar value = Expr(i, end, 2);
        if (token.IsOp("+")) return value;
        switch (value.kind) {
          case Scalar::Kind::kInt:
            return MakeInt(-value.int_value);
          case Scalar::Kind::kFloat:
            return MakeFloat(-value.float_value);
          case Scalar::Kind::kDecimal:
            if (!value.text.empty() && value.text[0] == '-') {
              value.text.erase(0, 1);
            } else {
              value.text.insert(value.text.begin(), '-');
            }
            // -2147483648 is an int again.
            if (value.text == "-2147483648") return MakeInt(-2147483648LL);
            return value;
          case Scalar::Kind::kNull:
            return value;
          default:
            return MakeFloat(-NumberOf(value));
        }
      }
      if (token.IsOp("(")) {
        size_t close = MatchingParen(t_, i, end);
        size_t j = i + 1;
        Scalar value = Expr(j, close, 0);
        if (j != close) throw IncorrectSyntax(t_[j].text, t_[j].line);
        i = close + 1;
        return value;
      }
      throw IncorrectSyntax(token.text, token.line);
    }
    case Kind::kWord:
    case Kind::kQuoted:
      break;
    case Kind::kEnd:
      throw IncorrectSyntax(token.text, token.line);
  }
  if (token.IsWord("NULL")) {
    ++i;
    return MakeNull();
  }
  if (token.IsWord("CURRENT_TIMESTAMP")) {
    ++i;
    return Function("GETDATE", i, i);
  }
  if (token.kind == Kind::kWord && i + 1 < end && t_[i + 1].IsOp("(")) {
    size_t open = i + 1;
    size_t close = MatchingParen(t_, open, end);
    std::string name = Upper(token.text);
    i = close + 1;
    return Function(name, open, close);
  }
  if (token.kind == Kind::kWord && IsReservedWord(token.text)) {
    throw IncorrectSyntax(token.text, token.line);
  }
  throw NameNotPermitted(token.kind == Kind::kQuoted ? token.value : token.text, token.line);
}

Scalar ConstantEvaluator::Function(const std::string& name, size_t open, size_t close) {
  // Arguments at depth 0 between open and close.
  std::vector<TokenRange> args;
  if (close > open + 1) {
    int depth = 0;
    size_t start = open + 1;
    for (size_t k = open + 1; k < close; ++k) {
      if (t_[k].IsOp("(")) ++depth;
      if (t_[k].IsOp(")")) --depth;
      if (depth == 0 && t_[k].IsOp(",")) {
        args.push_back({start, k});
        start = k + 1;
      }
    }
    args.push_back({start, close});
  }
  auto arg = [&](size_t n) { return Evaluate(args.at(n)); };
  auto expect = [&](size_t count) {
    if (args.size() != count) {
      throw FunctionArguments(Upper(name), std::to_string(count) + " argument(s)");
    }
  };
  if (name == "GETDATE" || name == "SYSDATETIME" || name == "GETUTCDATE") {
    if (!args.empty()) expect(0);
    std::string now = CurrentDateTimeText();
    now[10] = 'T';
    if (name != "SYSDATETIME") now.resize(23);  // datetime keeps milliseconds
    return MakeText(Scalar::Kind::kVarChar, now);
  }
  if (name == "NEWID") {
    expect(0);
    return MakeText(Scalar::Kind::kVarChar, NewGuidText());
  }
  if (name == "CHAR" || name == "NCHAR") {
    expect(1);
    Scalar n = arg(0);
    if (n.kind == Scalar::Kind::kNull) return n;
    double code = NumberOf(n);
    if (name == "CHAR") {
      if (code < 0 || code > 255) return MakeNull();
      return MakeText(Scalar::Kind::kVarChar, CodePage1254Char(static_cast<unsigned char>(code)));
    }
    if (code < 0 || code > 0x10FFFF) return MakeNull();
    std::string out;
    AppendUtf8(out, static_cast<char32_t>(code));
    return MakeText(Scalar::Kind::kNVarChar, out);
  }
  if (name == "CAST" || name == "CONVERT" || name == "TRY_CAST" || name == "TRY_CONVERT") {
    TokenRange value_range;
    TokenRange type_range;
    if (name == "CAST" || name == "TRY_CAST") {
      size_t as = CastAs(t_, open, close);
      value_range = {open + 1, as};
      type_range = {as + 1, close};
    } else {
      if (args.size() < 2) throw IncorrectSyntax(t_[close].text, t_[close].line);
      type_range = args[0];
      value_range = args[1];
    }
    if (type_range.Empty() || !t_[type_range.begin].IsName()) {
      throw IncorrectSyntax(t_[type_range.begin].text, t_[type_range.begin].line);
    }
    const Token& type_token = t_[type_range.begin];
    std::string type_name = type_token.kind == Kind::kQuoted ? type_token.value : type_token.text;
    std::vector<std::string> type_args;
    for (size_t k = type_range.begin + 1; k < type_range.end; ++k) {
      if (t_[k].kind == Kind::kNumber || t_[k].IsWord("MAX")) type_args.push_back(t_[k].text);
    }
    std::optional<ColumnType> type = MakeColumnType(type_name, type_args, "");
    if (!type) throw UnknownType(1, type_name);
    if (type_args.empty() &&
        (IsStringType(type->type) || type->type == SqlType::Binary ||
         type->type == SqlType::VarBinary) &&
        type->type != SqlType::Text && type->type != SqlType::NText && type->type != SqlType::Xml) {
      type->length = 30;
    }
    Scalar value = Evaluate(value_range);
    ColumnTarget target{"", "", "", *type};
    try {
      return ScalarFromValue(ConvertForCast(value, target, format_), *type);
    } catch (const SqlError&) {
      if (name == "TRY_CAST" || name == "TRY_CONVERT") return MakeNull();
      throw;
    }
  }
  if (name == "UPPER" || name == "LOWER") {
    expect(1);
    Scalar value = arg(0);
    if (!IsText(value)) return value;
    value.text = name == "UPPER" ? TurkishUpper(value.text) : TurkishLower(value.text);
    return value;
  }
  if (system_value_) {
    if (std::optional<Scalar> value = system_value_(name + "()")) return *value;
  }
  throw NameNotPermitted(name);
}

Scalar EvaluateConstantText(const std::string& text, DateFormat format) {
  std::vector<Token> tokens = Tokenize(text);
  ConstantEvaluator evaluator(tokens, format);
  return evaluator.Evaluate({0, tokens.size() - 1});
}

}  // namespace sandbox
