#include "sandbox/engine/type_inference.h"

#include <algorithm>

#include "sandbox/engine/schema.h"
#include "sandbox/engine/sql_error.h"
#include "sandbox/engine/text_fold.h"
#include "sandbox/engine/utf8.h"

namespace sandbox {
namespace {

using Kind = Token::Kind;
constexpr int kMaxDepth = 32;

InferredType Unknown() {
  return {};
}

InferredType Known(SqlType type, bool nullable = true, int length = 0, int precision = 0,
                   int scale = 0) {
  InferredType out;
  out.known = true;
  out.type.type = type;
  out.type.length = length;
  out.type.precision = precision;
  out.type.scale = scale;
  out.nullable = nullable;
  return out;
}

// SQL Server's data type precedence: higher wins in expressions.
int Precedence(SqlType type) {
  switch (type) {
    case SqlType::DateTimeOffset:
      return 30;
    case SqlType::DateTime2:
      return 29;
    case SqlType::DateTime:
      return 28;
    case SqlType::SmallDateTime:
      return 27;
    case SqlType::Date:
      return 26;
    case SqlType::Time:
      return 25;
    case SqlType::Float:
      return 24;
    case SqlType::Real:
      return 23;
    case SqlType::Decimal:
      return 22;
    case SqlType::Numeric:
      return 22;
    case SqlType::Money:
      return 21;
    case SqlType::SmallMoney:
      return 20;
    case SqlType::BigInt:
      return 19;
    case SqlType::Int:
      return 18;
    case SqlType::SmallInt:
      return 17;
    case SqlType::TinyInt:
      return 16;
    case SqlType::Bit:
      return 15;
    case SqlType::NText:
      return 14;
    case SqlType::Text:
      return 13;
    case SqlType::Image:
      return 12;
    case SqlType::Timestamp:
      return 11;
    case SqlType::UniqueIdentifier:
      return 10;
    case SqlType::NVarChar:
      return 9;
    case SqlType::NChar:
      return 8;
    case SqlType::VarChar:
      return 7;
    case SqlType::Char:
      return 6;
    case SqlType::VarBinary:
      return 5;
    case SqlType::Binary:
      return 4;
    case SqlType::Xml:
      return 31;
  }
  return 0;
}

// Precision and scale of an exact numeric or integer type.
std::pair<int, int> DecimalShape(const ColumnType& type) {
  switch (type.type) {
    case SqlType::Bit:
      return {1, 0};
    case SqlType::TinyInt:
      return {3, 0};
    case SqlType::SmallInt:
      return {5, 0};
    case SqlType::Int:
      return {10, 0};
    case SqlType::BigInt:
      return {19, 0};
    case SqlType::Money:
      return {19, 4};
    case SqlType::SmallMoney:
      return {10, 4};
    default:
      return {type.precision, type.scale};
  }
}

InferredType DecimalResult(int p, int s, bool nullable) {
  if (p > 38) {
    int integral = p - s;
    s = std::max(38 - integral, std::min(s, 6));
    p = 38;
  }
  return Known(SqlType::Numeric, nullable, 0, p, s);
}

InferredType Arithmetic(const InferredType& a, const InferredType& b, const std::string& op) {
  if (!a.known || !b.known) return Unknown();
  bool nullable = a.nullable || b.nullable;
  bool a_text = IsStringType(a.type.type);
  bool b_text = IsStringType(b.type.type);
  if (a_text && b_text && op == "+") {
    bool unicode = IsUnicodeType(a.type.type) || IsUnicodeType(b.type.type);
    int limit = unicode ? 4000 : 8000;
    int length = a.type.length == ColumnType::kMax || b.type.length == ColumnType::kMax
                     ? ColumnType::kMax
                     : a.type.length + b.type.length;
    if (length != ColumnType::kMax && length > limit) length = limit;
    return Known(unicode ? SqlType::NVarChar : SqlType::VarChar, nullable, length);
  }
  const InferredType& high = Precedence(a.type.type) >= Precedence(b.type.type) ? a : b;
  const InferredType& low = &high == &a ? b : a;
  SqlType type = high.type.type;
  if (type == SqlType::Decimal || type == SqlType::Numeric) {
    if (IsStringType(low.type.type) || low.type.type == SqlType::Float ||
        low.type.type == SqlType::Real) {
      return Known(SqlType::Float, nullable);
    }
    auto [p1, s1] = DecimalShape(a.type);
    auto [p2, s2] = DecimalShape(b.type);
    if (op == "+" || op == "-") {
      int s = std::max(s1, s2);
      return DecimalResult(std::max(p1 - s1, p2 - s2) + s + 1, s, nullable);
    }
    if (op == "*") return DecimalResult(p1 + p2 + 1, s1 + s2, nullable);
    if (op == "/") {
      int s = std::max(6, s1 + p2 + 1);
      return DecimalResult(p1 - s1 + s2 + s, s, nullable);
    }
    return DecimalResult(std::max(p1 - s1, p2 - s2) + std::max(s1, s2), std::max(s1, s2), nullable);
  }
  if (IsIntegerType(type)) {
    if (type == SqlType::Bit || type == SqlType::TinyInt || type == SqlType::SmallInt) {
      type = SqlType::Int;
    }
    return Known(type, nullable);
  }
  InferredType out = high;
  out.nullable = nullable;
  return out;
}

// The declared length of a literal of count units: at least 1, (max) beyond limit.
int LiteralLength(std::size_t count, std::size_t limit) {
  if (count > limit) return ColumnType::kMax;
  return std::max(1, static_cast<int>(count));
}

InferredType NumberLiteral(const std::string& text) {
  if (text.find_first_of("eE") != std::string::npos) return Known(SqlType::Float, false);
  size_t dot = text.find('.');
  std::string digits = dot == std::string::npos ? text : text.substr(0, dot) + text.substr(dot + 1);
  int scale = dot == std::string::npos ? 0 : static_cast<int>(text.size() - dot - 1);
  size_t first = digits.find_first_not_of('0');
  int precision = first == std::string::npos ? 1 : static_cast<int>(digits.size() - first);
  precision = std::max(precision, scale);
  if (precision == 0) precision = 1;
  if (dot == std::string::npos) {
    if (digits.size() <= 10) {
      try {
        if (std::stoll(digits) <= 2147483647LL) return Known(SqlType::Int, false);
      } catch (const std::exception&) {
      }
    }
    return Known(SqlType::Numeric, false, 0, std::min(precision, 38), 0);
  }
  return Known(SqlType::Numeric, false, 0, std::min(precision, 38), std::min(scale, 38));
}

// Splits [open+1, close) at commas of depth 0.
std::vector<TokenRange> Arguments(const std::vector<Token>& t, size_t open, size_t close) {
  std::vector<TokenRange> out;
  if (close == open + 1) return out;
  int depth = 0;
  size_t start = open + 1;
  for (size_t i = open + 1; i < close; ++i) {
    if (t[i].IsOp("(")) ++depth;
    if (t[i].IsOp(")")) --depth;
    if (depth == 0 && t[i].IsOp(",")) {
      out.push_back({start, i});
      start = i + 1;
    }
  }
  out.push_back({start, close});
  return out;
}

size_t Close(const std::vector<Token>& t, size_t open, size_t end) {
  int depth = 0;
  for (size_t i = open; i < end; ++i) {
    if (t[i].IsOp("(")) ++depth;
    if (t[i].IsOp(")") && --depth == 0) return i;
  }
  return end;
}

}  // namespace

InferredType TypeInference::TableColumn(const std::string& database, const std::string& table,
                                        const std::string& column) {
  if (!context_.find_table) return Unknown();
  const TableDef* def = context_.find_table(database, table);
  if (!def) return Unknown();
  int index = def->FindColumn(column);
  if (index < 0) return Unknown();
  const ColumnDef& c = def->columns[index];
  InferredType out;
  out.known = true;
  out.type = c.type;
  out.nullable = c.nullable;
  return out;
}

InferredType TypeInference::StarColumn(const QueryShape& shape, const std::string& qualifier,
                                       const std::string& column) {
  try {
    Scope scope = BuildScope(shape, nullptr, 0);
    std::vector<std::string> parts;
    if (!qualifier.empty()) parts.push_back(qualifier);
    parts.push_back(column);
    return Column(parts, scope);
  } catch (const std::exception&) {
    return Unknown();
  }
}

InferredType TypeInference::ItemType(const QueryShape& shape, size_t index) {
  try {
    Scope scope = BuildScope(shape, nullptr, 0);
    return Item(shape, index, scope, 0);
  } catch (const std::exception&) {
    return Unknown();
  }
}

TypeInference::Scope TypeInference::BuildScope(const QueryShape& shape, const Scope* parent,
                                               int depth) {
  Scope scope;
  scope.parent = parent;
  for (const FromSource& from : shape.sources) {
    Source source;
    source.exposed = from.exposed;
    if (from.derived) {
      if (depth < kMaxDepth && t_[from.derived->begin].IsWord("SELECT")) {
        QueryShape inner = AnalyzeQuery(t_, from.derived->begin, from.derived->end);
        Scope inner_scope = BuildScope(inner, parent, depth + 1);
        for (size_t k = 0; k < inner.items.size(); ++k) {
          const SelectItem& item = inner.items[k];
          if (item.star) continue;
          std::string name = item.alias;
          if (!item.has_alias && item.plain_column) {
            const Token& last = t_[item.expr.end - 1];
            name = last.kind == Kind::kQuoted ? last.value : last.text;
          }
          source.columns.emplace_back(name, Item(inner, k, inner_scope, depth + 1));
        }
      }
    } else if (EqualsNoCase(from.schema, "sys") ||
               EqualsNoCase(from.schema, "INFORMATION_SCHEMA")) {
      std::optional<VirtualTable> table =
          context_.virtual_table ? context_.virtual_table(Upper(from.schema), Upper(from.table))
                                 : std::nullopt;
      if (table) {
        for (const auto& [name, type] : table->columns) {
          InferredType column;
          column.known = true;
          column.type = type;
          source.columns.emplace_back(name, column);
        }
      }
    } else if (context_.find_table) {
      std::string database = from.database;
      if (EqualsNoCase(database, context_.current_database)) database.clear();
      if (const TableDef* def = context_.find_table(database, from.table)) {
        for (const ColumnDef& c : def->columns) {
          InferredType column;
          column.known = true;
          column.type = c.type;
          column.nullable = c.nullable || from.outer_nulls;
          source.columns.emplace_back(c.name, column);
        }
      }
    }
    scope.sources.push_back(std::move(source));
  }
  return scope;
}

InferredType TypeInference::Item(const QueryShape& shape, size_t index, const Scope& scope,
                                 int depth) {
  if (index >= shape.items.size()) return Unknown();
  const SelectItem& item = shape.items[index];
  if (item.star) return Unknown();
  return Range(item.expr.begin, item.expr.end, scope, depth);
}

InferredType TypeInference::Range(size_t begin, size_t end, const Scope& scope, int depth) {
  if (depth > kMaxDepth || begin >= end) return Unknown();
  size_t i = begin;
  InferredType out = Expr(i, end, scope, depth, 0);
  return i == end ? out : Unknown();
}

InferredType TypeInference::Expr(size_t& i, size_t end, const Scope& scope, int depth,
                                 int min_prec) {
  InferredType left = Primary(i, end, scope, depth);
  while (i < end) {
    const Token& op = t_[i];
    int prec = 0;
    if (op.IsOp("*") || op.IsOp("/") || op.IsOp("%")) {
      prec = 3;
    } else if (op.IsOp("+") || op.IsOp("-")) {
      prec = 2;
    } else if (op.IsOp("&") || op.IsOp("|") || op.IsOp("^")) {
      prec = 1;
    } else {
      return left;
    }
    if (prec <= min_prec) return left;
    ++i;
    InferredType right = Expr(i, end, scope, depth, prec);
    left = prec == 1 ? Arithmetic(left, right, "+") : Arithmetic(left, right, op.text);
  }
  return left;
}

InferredType TypeInference::Primary(size_t& i, size_t end, const Scope& scope, int depth) {
  if (i >= end) return Unknown();
  const Token& token = t_[i];
  switch (token.kind) {
    case Kind::kNumber:
      ++i;
      return NumberLiteral(token.text);
    case Kind::kString:
      ++i;
      // One code page byte per character; past 8,000 the literal is varchar(max).
      return Known(SqlType::VarChar, false, LiteralLength(Utf8Length(token.value), 8000));
    case Kind::kNString:
      ++i;
      return Known(SqlType::NVarChar, false, LiteralLength(Utf16Length(token.value), 4000));
    case Kind::kBinary:
      ++i;
      return Known(SqlType::VarBinary, false, LiteralLength(token.value.size(), 8000));
    case Kind::kVariable: {
      ++i;
      std::optional<SystemValue> value =
          context_.system_value ? context_.system_value(Upper(token.text)) : std::nullopt;
      if (!value) return Unknown();
      return Known(value->type.type, false, value->type.length, value->type.precision,
                   value->type.scale);
    }
    case Kind::kOperator: {
      if (token.IsOp("-") || token.IsOp("+") || token.IsOp("~")) {
        ++i;
        return Expr(i, end, scope, depth, 3);
      }
      if (token.IsOp("(")) {
        size_t close = Close(t_, i, end);
        if (close >= end) return Unknown();
        InferredType out;
        if (t_[i + 1].IsWord("SELECT")) {
          QueryShape inner = AnalyzeQuery(t_, i + 1, close);
          Scope inner_scope = BuildScope(inner, &scope, depth + 1);
          out = Item(inner, 0, inner_scope, depth + 1);
          out.nullable = true;
        } else {
          out = Range(i + 1, close, scope, depth + 1);
        }
        i = close + 1;
        return out;
      }
      return Unknown();
    }
    case Kind::kWord:
    case Kind::kQuoted:
      break;
    case Kind::kEnd:
      return Unknown();
  }
  if (token.IsWord("NULL")) {
    ++i;
    return Known(SqlType::Int, true);
  }
  if (token.IsWord("CASE")) {
    // Type of the THEN / ELSE results, by precedence.
    int case_depth = 0;
    InferredType result;
    bool any = false;
    bool nullable = true;
    size_t k = i;
    for (; k < end; ++k) {
      if (t_[k].IsWord("CASE")) ++case_depth;
      if (t_[k].IsWord("END") && --case_depth == 0) break;
      if (case_depth == 1 && (t_[k].IsWord("THEN") || t_[k].IsWord("ELSE"))) {
        if (t_[k].IsWord("ELSE")) nullable = false;
        size_t j = k + 1;
        InferredType part = Expr(j, end, scope, depth + 1, 0);
        if (!part.known) return Unknown();
        if (!any || Precedence(part.type.type) > Precedence(result.type.type)) result = part;
        any = true;
      }
    }
    i = k < end ? k + 1 : end;
    if (!any) return Unknown();
    result.nullable = nullable || result.nullable;
    return result;
  }
  if (token.IsWord("CURRENT_TIMESTAMP")) {
    ++i;
    return Known(SqlType::DateTime, false);
  }
  size_t next = i;
  std::vector<std::string> parts = NameChain(t_, i, end, &next);
  if (next < end && t_[next].IsOp("(")) {
    size_t close = Close(t_, next, end);
    if (close >= end) return Unknown();
    i = close + 1;
    // Window functions: ROW_NUMBER() OVER (...)
    if (i + 1 < end && t_[i].IsWord("OVER") && t_[i + 1].IsOp("(")) {
      size_t over_close = Close(t_, i + 1, end);
      if (over_close >= end) return Unknown();
      i = over_close + 1;
    }
    InferredType out = Function(Upper(parts.back()), next, close, scope, depth);
    if (token.parameter) out.nullable = true;  // a parameter, as a variable, may be NULL
    return out;
  }
  i = next;
  return Column(parts, scope);
}

InferredType TypeInference::Column(const std::vector<std::string>& parts, const Scope& scope) {
  const std::string& column = parts.back();
  std::string qualifier = parts.size() >= 2 ? parts[parts.size() - 2] : std::string();
  for (const Scope* s = &scope; s; s = s->parent) {
    for (const Source& source : s->sources) {
      if (!qualifier.empty() && !EqualsNoCase(source.exposed, qualifier)) continue;
      for (const auto& [name, type] : source.columns) {
        if (EqualsNoCase(name, column)) return type;
      }
    }
  }
  return Unknown();
}

InferredType TypeInference::Function(const std::string& name, size_t open, size_t close,
                                     const Scope& scope, int depth) {
  std::vector<TokenRange> args = Arguments(t_, open, close);
  auto arg = [&](size_t n) -> InferredType {
    if (n >= args.size()) return Unknown();
    return Range(args[n].begin, args[n].end, scope, depth + 1);
  };
  if (name == "COUNT") return Known(SqlType::Int, false);
  if (name == "COUNT_BIG" || name == "ROW_NUMBER" || name == "RANK" || name == "DENSE_RANK") {
    return Known(SqlType::BigInt, false);
  }
  if (name == "SUM" || name == "AVG") {
    size_t begin = args.empty() ? close : args[0].begin;
    if (begin < close && t_[begin].IsWord("DISTINCT")) args[0].begin++;
    InferredType x = arg(0);
    if (!x.known) return x;
    x.nullable = true;
    SqlType type = x.type.type;
    if (type == SqlType::TinyInt || type == SqlType::SmallInt || type == SqlType::Int ||
        type == SqlType::Bit) {
      return Known(SqlType::Int);
    }
    if (type == SqlType::BigInt) return Known(SqlType::BigInt);
    if (type == SqlType::Decimal || type == SqlType::Numeric) {
      int scale = name == "AVG" ? std::max(x.type.scale, 6) : x.type.scale;
      return Known(SqlType::Numeric, true, 0, 38, scale);
    }
    if (type == SqlType::Money || type == SqlType::SmallMoney) return Known(SqlType::Money);
    if (type == SqlType::Real || type == SqlType::Float) return Known(SqlType::Float);
    return Unknown();
  }
  if (name == "MIN" || name == "MAX") {
    InferredType x = arg(0);
    x.nullable = true;
    return x;
  }
  if (name == "ISNULL") {
    InferredType a = arg(0);
    InferredType b = arg(1);
    bool a_null =
        !args.empty() && args[0].end == args[0].begin + 1 && t_[args[0].begin].IsWord("NULL");
    if (a_null) return b;
    a.nullable = a.nullable && b.nullable;
    return a;
  }
  if (name == "COALESCE" || name == "IIF") {
    InferredType best;
    bool nullable = true;
    for (size_t n = name == "IIF" ? 1 : 0; n < args.size(); ++n) {
      InferredType x = arg(n);
      if (!x.known) return Unknown();
      if (!best.known || Precedence(x.type.type) > Precedence(best.type.type)) best = x;
      nullable = name == "IIF" ? (nullable && x.nullable) || x.nullable : nullable && x.nullable;
    }
    best.nullable = nullable;
    return best;
  }
  if (name == "NULLIF") {
    InferredType x = arg(0);
    x.nullable = true;
    return x;
  }
  if (name == "LEN" || name == "DATALENGTH") {
    InferredType x = arg(0);
    bool big = x.known && x.type.length == ColumnType::kMax;
    return Known(big ? SqlType::BigInt : SqlType::Int, !x.known || x.nullable);
  }
  if (name == "CHARINDEX" || name == "YEAR" || name == "MONTH" || name == "DAY" ||
      name == "OBJECT_ID" || name == "DB_ID" || name == "ASCII" || name == "UNICODE" ||
      name == "SIGN") {
    return Known(SqlType::Int);
  }
  if (name == "UPPER" || name == "LOWER" || name == "LTRIM" || name == "RTRIM" || name == "TRIM" ||
      name == "REVERSE" || name == "SUBSTRING" || name == "LEFT" || name == "RIGHT") {
    InferredType x = arg(0);
    if (!x.known) return x;
    if (!IsStringType(x.type.type)) return Known(SqlType::VarChar, x.nullable, 30);
    bool unicode = IsUnicodeType(x.type.type);
    int length = x.type.length;
    if (x.type.type == SqlType::Text || x.type.type == SqlType::NText) length = ColumnType::kMax;
    return Known(unicode ? SqlType::NVarChar : SqlType::VarChar, x.nullable, length);
  }
  if (name == "REPLACE") {
    InferredType x = arg(0);
    if (!x.known) return x;
    bool unicode = IsUnicodeType(x.type.type);
    return Known(unicode ? SqlType::NVarChar : SqlType::VarChar, x.nullable,
                 x.type.length == ColumnType::kMax ? ColumnType::kMax
                 : unicode                         ? 4000
                                                   : 8000);
  }
  if (name == "REPLICATE" || name == "SPACE") return Known(SqlType::VarChar, true, 8000);
  if (name == "CHAR") return Known(SqlType::Char, true, 1);
  if (name == "NCHAR") return Known(SqlType::NChar, true, 1);
  if (name == "GETDATE" || name == "GETUTCDATE") return Known(SqlType::DateTime, false);
  if (name == "SYSDATETIME" || name == "SYSUTCDATETIME") {
    return Known(SqlType::DateTime2, false, 0, 0, 7);
  }
  if (name == "NEWID") return Known(SqlType::UniqueIdentifier, false);
  if (name == "ABS" || name == "ROUND" || name == "CEILING" || name == "FLOOR") return arg(0);
  if (name == "POWER" || name == "SQRT" || name == "EXP" || name == "LOG" || name == "LOG10" ||
      name == "PI" || name == "RAND" || name == "SQUARE") {
    return Known(SqlType::Float);
  }
  if (name == "CAST" || name == "TRY_CAST" || name == "CONVERT" || name == "TRY_CONVERT") {
    size_t type_begin = 0;
    size_t type_end = 0;
    if (name == "CAST" || name == "TRY_CAST") {
      int d = 0;
      for (size_t k = open + 1; k < close; ++k) {
        if (t_[k].IsOp("(")) ++d;
        if (t_[k].IsOp(")")) --d;
        if (d == 0 && t_[k].IsWord("AS")) {
          type_begin = k + 1;
          type_end = close;
        }
      }
    } else if (!args.empty()) {
      type_begin = args[0].begin;
      type_end = args[0].end;
    }
    if (type_begin == 0 || type_begin >= type_end || !t_[type_begin].IsName()) return Unknown();
    std::vector<std::string> type_args;
    for (size_t k = type_begin + 1; k < type_end; ++k) {
      if (t_[k].kind == Kind::kNumber || t_[k].IsWord("MAX")) type_args.push_back(t_[k].text);
    }
    const Token& type_token = t_[type_begin];
    std::optional<ColumnType> type;
    try {
      type = MakeColumnType(type_token.kind == Kind::kQuoted ? type_token.value : type_token.text,
                            type_args, "");
    } catch (const SqlError&) {
      return Unknown();
    }
    if (!type) return Unknown();
    // CAST(x AS varchar) without a length is 30 characters long.
    if (type_args.empty() && (IsStringType(type->type) || IsBinaryType(type->type)) &&
        type->type != SqlType::Text && type->type != SqlType::NText && type->type != SqlType::Xml &&
        type->type != SqlType::Timestamp && type->type != SqlType::Image) {
      type->length = 30;
    }
    InferredType out;
    out.known = true;
    out.type = *type;
    InferredType x = arg(name == "CAST" || name == "TRY_CAST" ? 99 : 1);
    out.nullable = !x.known || x.nullable;
    return out;
  }
  if (context_.system_value) {
    std::string key = name + "()";
    if (args.size() == 1 && args[0].end == args[0].begin + 1 &&
        (t_[args[0].begin].kind == Kind::kString || t_[args[0].begin].kind == Kind::kNString)) {
      key = name + "(" + Upper(t_[args[0].begin].value) + ")";
    } else if (!args.empty()) {
      key = name + "(?)";
    }
    if (std::optional<SystemValue> value = context_.system_value(key)) {
      InferredType out;
      out.known = true;
      out.type = value->type;
      out.nullable = std::holds_alternative<std::monostate>(value->value);
      return out;
    }
  }
  return Unknown();
}

}  // namespace sandbox
