#include "sandbox/engine/select_translator.h"

#include <algorithm>
#include <cstdio>

#include "sandbox/engine/convert.h"
#include "sandbox/engine/database_file.h"
#include "sandbox/engine/schema.h"
#include "sandbox/engine/sql_messages.h"
#include "sandbox/engine/sqlite_db.h"

namespace sandbox {
namespace {

using Kind = Token::Kind;

bool IsStringToken(const Token& token) {
  return token.kind == Kind::kString || token.kind == Kind::kNString;
}

bool IsSchemaPart(const std::string& part) {
  return part.empty() || EqualsNoCase(part, "dbo");
}

}  // namespace

std::string SqlLiteral(const Value& value) {
  if (std::holds_alternative<std::int64_t>(value)) {
    return std::to_string(std::get<std::int64_t>(value));
  }
  if (std::holds_alternative<double>(value)) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.17g", std::get<double>(value));
    std::string text = buffer;
    if (text.find_first_of(".eEn") == std::string::npos) text += ".0";
    return text;
  }
  if (std::holds_alternative<std::string>(value)) return QuoteText(std::get<std::string>(value));
  if (std::holds_alternative<Blob>(value))
    return "X'" + HexUpper(std::get<Blob>(value).bytes) + "'";
  return "NULL";
}

TranslatedQuery SelectTranslator::Query(TokenRange range) {
  TranslatedQuery out;
  size_t select_pos = range.begin;
  std::string prefix;
  if (t_[range.begin].IsWord("WITH")) {
    // WITH name [(cols)] AS (query), ... SELECT: translate the definitions, then the query.
    size_t i = range.begin + 1;
    prefix = "WITH ";
    while (i < range.end) {
      if (t_[i].IsWord("SELECT")) break;
      if (t_[i].IsOp("(") && i + 1 < range.end &&
          (t_[i + 1].IsWord("SELECT") || t_[i + 1].IsWord("WITH"))) {
        size_t close = MatchingParen(t_, i, range.end);
        prefix += "(" + Level(i + 1, close, false, nullptr) + ") ";
        i = close + 1;
        continue;
      }
      prefix += Emit(i, i + 1) + " ";
      ++i;
    }
    select_pos = i;
    if (select_pos >= range.end)
      throw IncorrectSyntax(t_[range.end - 1].text, t_[range.end - 1].line);
  }
  out.sql = prefix + Level(select_pos, range.end, true, &out.shape);
  out.databases = databases_;
  return out;
}

std::string SelectTranslator::Expression(TokenRange range) {
  return Emit(range.begin, range.end);
}

std::string SelectTranslator::Level(size_t select_pos, size_t end, bool outermost,
                                    QueryShape* shape_out) {
  if (scopes_.size() >= kMaxNesting) throw NestedTooDeeply();
  QueryShape shape = AnalyzeQuery(t_, select_pos, end);
  scopes_.push_back(shape.sources);
  struct Pop {
    std::vector<std::vector<FromSource>>& scopes;
    ~Pop() { scopes.pop_back(); }
  } pop{scopes_};
  std::string sql = "SELECT ";
  if (shape.distinct) sql += "DISTINCT ";
  bool first = true;
  for (const SelectItem& item : shape.items) {
    if (!first) sql += ", ";
    first = false;
    sql += Emit(item.expr.begin, item.expr.end);
    if (item.has_alias) {
      sql += " AS " + QuoteIdent(item.alias);
    } else if (outermost && !item.star && !item.plain_column) {
      sql += " AS \"\"";  // SQL Server leaves an expression's column unnamed
    }
  }
  size_t rest = shape.list_end;
  if (rest < end && t_[rest].IsWord("INTO")) throw NotSupported("SELECT INTO");
  sql += " " + Emit(rest, end);
  if (shape.top) sql += " LIMIT (" + Emit(shape.top->begin, shape.top->end) + ")";
  if (shape_out) *shape_out = std::move(shape);
  return sql;
}

std::string SelectTranslator::Emit(size_t begin, size_t end) {
  std::string out;
  size_t i = begin;
  auto append = [&out](const std::string& piece) {
    if (!out.empty()) out += ' ';
    out += piece;
  };
  while (i < end) {
    const Token& token = t_[i];
    if (token.IsOp("(") && i + 1 < end &&
        (t_[i + 1].IsWord("SELECT") || t_[i + 1].IsWord("WITH"))) {
      size_t close = MatchingParen(t_, i, end);
      if (t_[i + 1].IsWord("WITH")) {
        append("(" + Query({i + 1, close}).sql + ")");
      } else {
        std::string sub = Level(i + 1, close, false, nullptr);
        std::vector<std::string> keys = OuterReferences(i + 1, close);
        if (keys.empty()) {
          append("(" + sub + ")");
        } else {
          // A correlated subquery gives the same value for the same outer values: compute it
          // once per distinct key (SQLite would run it again for every row or group).
          std::string id = std::to_string(next_memo_++);
          std::string args = id;
          for (const std::string& key : keys) args += ", " + key;
          append("(CASE WHEN __devir_memo_has(" + args + ") THEN __devir_memo_get(" + args +
                 ") ELSE __devir_memo_put(" + args + ", (" + sub + ")) END)");
        }
      }
      i = close + 1;
      continue;
    }
    if (token.IsWord("SELECT")) {
      append(Level(i, end, false, nullptr));
      break;
    }
    switch (token.kind) {
      case Kind::kWord:
      case Kind::kQuoted:
        append(EmitName(i, end));
        continue;
      case Kind::kString:
        append(QuoteText(ToCodePage1254(token.value)));
        break;
      case Kind::kNString:
        append(QuoteText(token.value));
        break;
      case Kind::kBinary:
        append("X'" + HexUpper(token.value) + "'");
        break;
      case Kind::kNumber:
        append(token.text);
        break;
      case Kind::kVariable: {
        if (token.text.rfind("@@", 0) != 0) throw MustDeclareVariable(token.text);
        std::optional<SystemValue> value =
            context_.system_value ? context_.system_value(Upper(token.text)) : std::nullopt;
        if (!value) throw IncorrectSyntax(token.text, token.line);
        append(SqlLiteral(value->value));
        break;
      }
      case Kind::kOperator:
        if (token.IsOp("+") &&
            ((i > begin && IsStringToken(t_[i - 1])) || (i + 1 < end && IsStringToken(t_[i + 1])) ||
             StringOperandAround(i, begin, end))) {
          append("||");
        } else if ((token.IsOp("/") || token.IsOp("%")) && i + 1 < end) {
          // Division by zero is an error in T-SQL (8134), NULL in SQLite.
          append(token.text);
          const size_t operand_end = OperandEnd(i + 1, end);
          append("__devir_divisor(" + Emit(i + 1, operand_end) + ")");
          i = operand_end;
          continue;
        } else if (token.IsOp("!<")) {
          append(">=");
        } else if (token.IsOp("!>")) {
          append("<=");
        } else if (token.IsOp("||") || token.IsOp("::") || token.IsOp("{") || token.IsOp("}") ||
                   token.IsOp("`")) {
          throw IncorrectSyntax(token.text.substr(0, 1), token.line);
        } else {
          append(token.text);
        }
        break;
      case Kind::kEnd:
        return out;
    }
    ++i;
  }
  return out;
}

std::string SelectTranslator::EmitName(size_t& i, size_t end) {
  const Token& first = t_[i];
  if (first.kind == Kind::kWord) {
    std::string upper = Upper(first.text);
    if (upper == "WITH" && i + 1 < end && t_[i + 1].IsOp("(")) {
      i = MatchingParen(t_, i + 1, end) + 1;  // table hints such as WITH (NOLOCK)
      return "";
    }
    bool call = i + 1 < end && t_[i + 1].IsOp("(");
    if (call) return EmitFunction(upper, i, end);
    if (upper == "CURRENT_TIMESTAMP") {
      ++i;
      return "GETDATE()";
    }
    if (upper == "COLLATE" && i + 1 < end) {
      std::string collation = Upper(t_[i + 1].text);
      i += 2;
      // Case-sensitive and binary collations (Latin1_General_BIN2) compare code points.
      const bool binary =
          collation.find("_CS") != std::string::npos || collation.find("_BIN") != std::string::npos;
      return binary ? "COLLATE BINARY" : std::string("COLLATE ") + kTextCollation;
    }
    static constexpr const char* kPassThrough[] = {
        "ASC",       "DESC",      "OVER", "PARTITION", "ROWS",  "RANGE", "UNBOUNDED",
        "PRECEDING", "FOLLOWING", "ROW",  "NULLS",     "FIRST", "LAST"};
    bool pass = IsReservedWord(upper);
    for (const char* word : kPassThrough) pass = pass || upper == word;
    if (pass) {
      ++i;
      return first.text;
    }
  }
  size_t next = i;
  std::vector<std::string> parts = NameChain(t_, i, end, &next);
  std::string written;
  for (size_t k = 0; k < parts.size(); ++k) {
    if (k) written += '.';
    written += parts[k];
  }
  // * after a chain: ST.*
  bool star = next + 1 < end + 1 && next < end && t_[next].IsOp(".") && next + 1 < end &&
              t_[next + 1].IsOp("*");
  for (const std::string& part : parts) {
    if (DatabaseFile::IsHiddenName(part)) throw InvalidObjectName(written);
  }
  if (parts.size() == 2 && !star &&
      (EqualsNoCase(parts[0], "sys") || EqualsNoCase(parts[0], "INFORMATION_SCHEMA"))) {
    i = next;
    bool aliased =
        i < end && (t_[i].IsWord("AS") || (t_[i].IsName() && (t_[i].kind == Kind::kQuoted ||
                                                              !IsReservedWord(t_[i].text))));
    return VirtualSource(parts[0], parts[1], written, !aliased);
  }
  // Drop the schema (and the database before it): dbo.T.c -> T.c, db.dbo.T -> T or "db".T.
  std::string database;
  if (parts.size() >= 2 && IsSchemaPart(parts[0]) && !star) {
    parts.erase(parts.begin());
  } else if (parts.size() >= 3 && IsSchemaPart(parts[1])) {
    database = parts[0];
    parts.erase(parts.begin(), parts.begin() + 2);
  } else if (parts.size() >= 2 && IsSchemaPart(parts[0])) {
    parts.erase(parts.begin());
  }
  std::string out;
  if (!database.empty() && !EqualsNoCase(database, context_.current_database)) {
    bool known = false;
    for (const std::string& db : databases_) known = known || EqualsNoCase(db, database);
    if (!known) databases_.push_back(database);
    out = QuoteIdent(database) + ".";
  }
  for (size_t k = 0; k < parts.size(); ++k) {
    if (k) out += '.';
    out += QuoteIdent(parts[k]);
  }
  i = next;
  // Table hints written without WITH: T (NOLOCK)
  if (i + 2 < end && t_[i].IsOp("(") && t_[i + 1].IsWord("NOLOCK") && t_[i + 2].IsOp(")")) {
    i += 3;
  }
  return out;
}

std::string SelectTranslator::EmitFunction(const std::string& name, size_t& i, size_t end) {
  size_t open = i + 1;
  size_t close = MatchingParen(t_, open, end);
  auto args = [&]() { return Emit(open + 1, close); };
  std::string out;
  if (name == "ISNULL") {
    out = "IFNULL(" + args() + ")";
  } else if (name == "LEFT" || name == "RIGHT") {
    out = "TSQL_" + name + "(" + args() + ")";
  } else if (name == "COUNT_BIG") {
    out = "COUNT(" + args() + ")";
  } else if (name == "GETUTCDATE" || name == "SYSUTCDATETIME" || name == "SYSDATETIMEOFFSET") {
    out = "GETDATE()";
  } else if (name == "LTRIM" || name == "RTRIM") {
    out = name + "(" + args() + ", ' ')";
  } else if (name == "CAST" || name == "TRY_CAST") {
    size_t as = CastAs(t_, open, close);
    out = CastCall(open + 1, as, as + 1, close, name == "TRY_CAST");
  } else if (name == "CONVERT" || name == "TRY_CONVERT") {
    // CONVERT(type, expr [, style])
    size_t comma = open + 1;
    int depth = 0;
    for (; comma < close; ++comma) {
      if (t_[comma].IsOp("(")) ++depth;
      if (t_[comma].IsOp(")")) --depth;
      if (depth == 0 && t_[comma].IsOp(",")) break;
    }
    if (comma >= close) throw IncorrectSyntax(t_[close].text, t_[close].line);
    size_t second = comma + 1;
    depth = 0;
    for (; second < close; ++second) {
      if (t_[second].IsOp("(")) ++depth;
      if (t_[second].IsOp(")")) --depth;
      if (depth == 0 && t_[second].IsOp(",")) break;
    }
    out = CastCall(comma + 1, second, open + 1, comma, name == "TRY_CONVERT");
  } else if ((name == "OBJECT_ID" || name == "DB_ID") && close == open + 2 &&
             IsStringToken(t_[open + 1])) {
    std::optional<long long> id =
        context_.object_id ? context_.object_id(name, t_[open + 1].value) : std::nullopt;
    out = id ? std::to_string(*id) : "NULL";
  } else if ((name == "DB_NAME" || name == "SCOPE_IDENTITY" || name == "USER_NAME" ||
              name == "SUSER_SNAME" || name == "SUSER_NAME" || name == "HOST_NAME" ||
              name == "APP_NAME" || name == "IDENT_CURRENT" || name == "SERVERPROPERTY" ||
              name == "IS_SRVROLEMEMBER" || name == "COLLATIONPROPERTY")) {
    std::string key = name + "()";
    if (close == open + 2 && IsStringToken(t_[open + 1])) {
      key = name + "(" + Upper(t_[open + 1].value) + ")";
    } else if (close != open + 1) {
      key = name + "(?)";
    }
    std::optional<SystemValue> value =
        context_.system_value ? context_.system_value(key) : std::nullopt;
    if (!value) throw NotSupported(name);
    out = SqlLiteral(value->value);
  } else if (name == "DATEADD" || name == "DATEDIFF" || name == "DATEPART" || name == "DATENAME" ||
             name == "FORMAT" || name == "STUFF" || name == "PATINDEX" || name == "STR") {
    throw NotSupported(name);
  } else {
    out = t_[i].text + "(" + args() + ")";
  }
  i = close + 1;
  return out;
}

bool SelectTranslator::StringOperandAround(size_t plus, size_t begin, size_t end) const {
  // The column named right before or right after the +, if any.
  std::vector<std::vector<std::string>> operands;
  if (plus > begin && t_[plus - 1].IsName()) {
    size_t first = plus - 1;
    while (first >= begin + 2 && t_[first - 1].IsOp(".") && t_[first - 2].IsName()) first -= 2;
    size_t next = first;
    operands.push_back(NameChain(t_, first, plus, &next));
  }
  if (plus + 1 < end && t_[plus + 1].IsName()) {
    size_t next = plus + 1;
    std::vector<std::string> parts = NameChain(t_, plus + 1, end, &next);
    if (next >= end || !t_[next].IsOp("(")) operands.push_back(parts);
  }
  if (!context_.find_table) return false;
  for (std::vector<std::string> parts : operands) {
    if (parts.size() >= 2 && IsSchemaPart(parts[0])) parts.erase(parts.begin());
    if (parts.size() > 2) continue;
    for (auto scope = scopes_.rbegin(); scope != scopes_.rend(); ++scope) {
      bool found = false;
      for (const FromSource& source : *scope) {
        if (parts.size() == 2 && !EqualsNoCase(source.exposed, parts[0])) continue;
        if (source.derived || source.table.empty()) continue;
        std::string database = source.database;
        if (EqualsNoCase(database, context_.current_database)) database.clear();
        const TableDef* table = context_.find_table(database, source.table);
        int index = table ? table->FindColumn(parts.back()) : -1;
        if (index < 0) continue;
        if (IsStringType(table->columns[index].type.type)) return true;
        found = true;
        break;
      }
      if (found) break;
    }
  }
  return false;
}

std::vector<std::string> SelectTranslator::OuterReferences(size_t select_pos, size_t end) {
  // Only simple subqueries: one level, tables without joins, every table known.
  for (size_t i = select_pos + 1; i < end; ++i) {
    if (t_[i].IsWord("SELECT") || t_[i].IsWord("JOIN") || t_[i].IsWord("APPLY") ||
        t_[i].IsWord("TOP") || t_[i].IsWord("UNION") || t_[i].IsWord("EXCEPT") ||
        t_[i].IsWord("INTERSECT") || t_[i].kind == Kind::kVariable) {
      return {};
    }
  }
  QueryShape shape;
  try {
    shape = AnalyzeQuery(t_, select_pos, end);
  } catch (const SqlError&) {
    return {};
  }
  if (shape.sources.empty() || !context_.find_table) return {};
  std::vector<const TableDef*> tables;
  for (const FromSource& source : shape.sources) {
    if (source.derived || !source.database.empty() || EqualsNoCase(source.schema, "sys") ||
        EqualsNoCase(source.schema, "INFORMATION_SCHEMA")) {
      return {};
    }
    const TableDef* table = context_.find_table("", source.table);
    if (!table) return {};
    tables.push_back(table);
  }
  // The regions that may hold column references: the select list and what follows FROM's
  // tables (WHERE, GROUP BY, HAVING).
  std::vector<TokenRange> regions;
  for (const SelectItem& item : shape.items) {
    if (item.star) continue;
    regions.push_back(item.expr);
  }
  size_t tail = shape.list_end;
  while (tail < end && !t_[tail].IsWord("WHERE") && !t_[tail].IsWord("GROUP") &&
         !t_[tail].IsWord("HAVING") && !t_[tail].IsWord("ORDER")) {
    ++tail;
  }
  regions.push_back({tail, end});
  std::vector<std::string> keys;
  for (TokenRange region : regions) {
    for (size_t i = region.begin; i < region.end;) {
      const Token& token = t_[i];
      if (!token.IsName() || (token.kind == Kind::kWord && IsReservedWord(token.text))) {
        ++i;
        continue;
      }
      size_t next = i;
      std::vector<std::string> parts = NameChain(t_, i, region.end, &next);
      if (next < region.end && t_[next].IsOp("(")) {  // a function name
        i = next;
        continue;
      }
      if (i > region.begin && t_[i - 1].IsWord("AS")) {
        i = next;
        continue;
      }
      if (parts.size() >= 2 && IsSchemaPart(parts[0])) parts.erase(parts.begin());
      bool inner = false;
      if (parts.size() == 1) {
        for (const TableDef* table : tables) inner = inner || table->FindColumn(parts[0]) >= 0;
        if (!inner) return {};  // only qualified outer references are recognised
      } else if (parts.size() == 2) {
        for (const FromSource& source : shape.sources) {
          inner = inner || EqualsNoCase(source.exposed, parts[0]);
        }
      } else {
        return {};  // three-part column names: leave them to SQLite
      }
      if (!inner) {
        size_t at = i;
        std::string key = EmitName(at, region.end);
        if (std::find(keys.begin(), keys.end(), key) == keys.end()) keys.push_back(key);
      }
      i = next;
    }
  }
  return keys;
}

ColumnType SelectTranslator::CastType(size_t begin, size_t end) {
  if (begin >= end || !t_[begin].IsName()) {
    throw IncorrectSyntax(t_[begin].text, t_[begin].line);
  }
  std::string name = t_[begin].kind == Kind::kQuoted ? t_[begin].value : t_[begin].text;
  std::vector<std::string> args;
  for (size_t k = begin + 1; k < end; ++k) {
    if (t_[k].kind == Kind::kNumber || t_[k].IsWord("MAX")) args.push_back(t_[k].text);
  }
  std::optional<ColumnType> type = MakeColumnType(name, args, "");
  if (!type) throw UnknownType(1, name);
  // CAST(x AS varchar) without a length is 30 characters long.
  const bool sized =
      IsStringType(type->type) || type->type == SqlType::Binary || type->type == SqlType::VarBinary;
  if (args.empty() && sized && type->type != SqlType::Text && type->type != SqlType::NText &&
      type->type != SqlType::Xml) {
    type->length = 30;
  }
  return *type;
}

std::string SelectTranslator::CastCall(size_t value_begin, size_t value_end, size_t type_begin,
                                       size_t type_end, bool try_cast) {
  const ColumnType type = CastType(type_begin, type_end);
  // What the value is, when the text says: a literal's own type or a column's declared one.
  std::string source;
  if (value_end == value_begin + 1 && t_[value_begin].kind == Kind::kString) {
    source = "varchar";
  } else if (value_end == value_begin + 1 && t_[value_begin].kind == Kind::kNString) {
    source = "nvarchar";
  } else if (std::optional<ColumnType> column = ColumnTypeOf(value_begin, value_end)) {
    source = TypeToSql(*column);
  }
  const char* format = context_.date_format == DateFormat::kDmy   ? "DMY"
                       : context_.date_format == DateFormat::kYmd ? "YMD"
                                                                  : "MDY";
  return "__devir_cast(" + Emit(value_begin, value_end) + ", " + QuoteText(TypeToSql(type)) + ", " +
         QuoteText(source) + ", '" + format + "', " + (try_cast ? "1" : "0") + ")";
}

std::optional<ColumnType> SelectTranslator::ColumnTypeOf(size_t begin, size_t end) const {
  if (begin >= end || !t_[begin].IsName() || !context_.find_table) return std::nullopt;
  size_t next = begin;
  std::vector<std::string> parts = NameChain(t_, begin, end, &next);
  if (next != end) return std::nullopt;
  if (parts.size() >= 2 && IsSchemaPart(parts[0])) parts.erase(parts.begin());
  if (parts.size() > 2) return std::nullopt;
  for (auto scope = scopes_.rbegin(); scope != scopes_.rend(); ++scope) {
    for (const FromSource& source : *scope) {
      if (parts.size() == 2 && !EqualsNoCase(source.exposed, parts[0])) continue;
      if (source.derived || source.table.empty()) continue;
      std::string database = source.database;
      if (EqualsNoCase(database, context_.current_database)) database.clear();
      const TableDef* table = context_.find_table(database, source.table);
      const int index = table ? table->FindColumn(parts.back()) : -1;
      if (index >= 0) return table->columns[index].type;
    }
  }
  return std::nullopt;
}

size_t SelectTranslator::OperandEnd(size_t i, size_t end) const {
  while (i < end && (t_[i].IsOp("-") || t_[i].IsOp("+") || t_[i].IsOp("~"))) ++i;
  if (i >= end) return end;
  const Token& token = t_[i];
  if (token.IsOp("(")) return MatchingParen(t_, i, end) + 1;
  if (token.IsWord("CASE")) {
    int depth = 0;
    for (size_t k = i; k < end; ++k) {
      if (t_[k].IsWord("CASE")) ++depth;
      if (t_[k].IsWord("END") && --depth == 0) return k + 1;
    }
    return end;
  }
  if (!token.IsName() || IsReservedWord(token.text)) return i + 1;
  size_t next = i;
  NameChain(t_, i, end, &next);
  if (next < end && t_[next].IsOp("(")) next = MatchingParen(t_, next, end) + 1;
  return next;
}

std::string SelectTranslator::VirtualSource(const std::string& schema, const std::string& name,
                                            const std::string& written, bool add_alias) {
  std::optional<VirtualTable> table =
      context_.virtual_table ? context_.virtual_table(Upper(schema), Upper(name)) : std::nullopt;
  if (!table) throw InvalidObjectName(written);
  // The first, empty SELECT names the columns and gives text columns the server's collation.
  std::string sql = "(SELECT ";
  for (size_t c = 0; c < table->columns.size(); ++c) {
    if (c) sql += ", ";
    const ColumnType& type = table->columns[c].second;
    sql += IsStringType(type.type) ? std::string("CAST(NULL AS TEXT) COLLATE ") + kTextCollation
                                   : std::string("NULL");
    sql += " AS " + QuoteIdent(table->columns[c].first);
  }
  sql += " WHERE 0";
  if (!table->rows.empty()) {
    sql += " UNION ALL VALUES ";
    for (size_t r = 0; r < table->rows.size(); ++r) {
      if (r) sql += ", ";
      sql += "(";
      for (size_t c = 0; c < table->rows[r].size(); ++c) {
        if (c) sql += ", ";
        sql += SqlLiteral(table->rows[r][c]);
      }
      sql += ")";
    }
  }
  sql += ")";
  if (add_alias) sql += " AS " + QuoteIdent(name);
  return sql;
}

}  // namespace sandbox
