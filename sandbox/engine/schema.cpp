#include "sandbox/engine/schema.h"

#include <charconv>

#include "sandbox/engine/sql_error.h"
#include "sandbox/engine/sql_messages.h"
#include "sandbox/engine/tsql_lexer.h"

namespace sandbox {
namespace {

int ParseSize(const std::string& text) {
  int value = 0;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || ptr != text.data() + text.size()) return -2;
  return value;
}

}  // namespace

int TableDef::FindColumn(std::string_view column) const {
  for (size_t i = 0; i < columns.size(); ++i) {
    if (EqualsNoCase(columns[i].name, column)) return static_cast<int>(i);
  }
  return -1;
}

const ColumnDef* TableDef::IdentityColumn() const {
  for (const ColumnDef& column : columns) {
    if (column.identity) return &column;
  }
  return nullptr;
}

std::optional<ColumnType> MakeColumnType(std::string_view name,
                                         const std::vector<std::string>& args,
                                         const std::string& column) {
  std::string upper = Upper(name);
  ColumnType type;
  auto simple = [&](SqlType t) -> std::optional<ColumnType> {
    if (!args.empty()) return std::nullopt;
    type.type = t;
    return type;
  };
  if (upper == "TINYINT") return simple(SqlType::TinyInt);
  if (upper == "SMALLINT") return simple(SqlType::SmallInt);
  if (upper == "INT" || upper == "INTEGER") return simple(SqlType::Int);
  if (upper == "BIGINT") return simple(SqlType::BigInt);
  if (upper == "BIT") return simple(SqlType::Bit);
  if (upper == "REAL") return simple(SqlType::Real);
  if (upper == "MONEY") return simple(SqlType::Money);
  if (upper == "SMALLMONEY") return simple(SqlType::SmallMoney);
  if (upper == "DATETIME") return simple(SqlType::DateTime);
  if (upper == "SMALLDATETIME") return simple(SqlType::SmallDateTime);
  if (upper == "DATE") return simple(SqlType::Date);
  if (upper == "TEXT") return simple(SqlType::Text);
  if (upper == "NTEXT") return simple(SqlType::NText);
  if (upper == "XML") return simple(SqlType::Xml);
  if (upper == "IMAGE") return simple(SqlType::Image);
  if (upper == "TIMESTAMP" || upper == "ROWVERSION") {
    std::optional<ColumnType> t = simple(SqlType::Timestamp);
    if (t) t->length = 8;
    return t;
  }
  if (upper == "UNIQUEIDENTIFIER") return simple(SqlType::UniqueIdentifier);
  if (upper == "SYSNAME") {
    if (!args.empty()) return std::nullopt;
    type.type = SqlType::NVarChar;
    type.length = 128;
    return type;
  }
  if (upper == "FLOAT") {
    if (args.size() > 1) return std::nullopt;
    int bits = args.empty() ? 53 : ParseSize(args[0]);
    if (bits < 1 || bits > 53) {
      throw PrecisionTooLarge(args.empty() ? std::string() : args[0], 53);
    }
    type.type = bits <= 24 ? SqlType::Real : SqlType::Float;
    return type;
  }
  if (upper == "DECIMAL" || upper == "DEC" || upper == "NUMERIC") {
    if (args.size() > 2) return std::nullopt;
    type.type = upper == "NUMERIC" ? SqlType::Numeric : SqlType::Decimal;
    type.precision = args.empty() ? 18 : ParseSize(args[0]);
    type.scale = args.size() < 2 ? 0 : ParseSize(args[1]);
    if (type.precision < 1 || type.precision > 38) {
      throw PrecisionTooLarge(std::to_string(type.precision), 38);
    }
    if (type.scale < 0 || type.scale > type.precision) {
      throw ScaleOutOfRange(type.scale, column, type.precision);
    }
    return type;
  }
  if (upper == "TIME" || upper == "DATETIME2" || upper == "DATETIMEOFFSET") {
    if (args.size() > 1) return std::nullopt;
    type.type = upper == "TIME"        ? SqlType::Time
                : upper == "DATETIME2" ? SqlType::DateTime2
                                       : SqlType::DateTimeOffset;
    type.scale = args.empty() ? 7 : ParseSize(args[0]);
    if (type.scale < 0 || type.scale > 7) {
      throw InvalidScale(type.scale);
    }
    return type;
  }
  struct Sized {
    const char* name;
    SqlType type;
    int max;
  };
  static constexpr Sized kSized[] = {
      {"CHAR", SqlType::Char, 8000},           {"CHARACTER", SqlType::Char, 8000},
      {"VARCHAR", SqlType::VarChar, 8000},     {"NCHAR", SqlType::NChar, 4000},
      {"NVARCHAR", SqlType::NVarChar, 4000},   {"BINARY", SqlType::Binary, 8000},
      {"VARBINARY", SqlType::VarBinary, 8000},
  };
  for (const Sized& sized : kSized) {
    if (upper != sized.name) continue;
    if (args.size() > 1) return std::nullopt;
    type.type = sized.type;
    bool variable = sized.type == SqlType::VarChar || sized.type == SqlType::NVarChar ||
                    sized.type == SqlType::VarBinary;
    if (args.empty()) {
      type.length = 1;
    } else if (variable && EqualsNoCase(args[0], "max")) {
      type.length = ColumnType::kMax;
    } else {
      type.length = ParseSize(args[0]);
      if (type.length > sized.max) throw SizeTooLarge(type.length, column, sized.max);
      if (type.length < 1) {
        throw InvalidLength(args[0]);
      }
    }
    return type;
  }
  return std::nullopt;
}

std::string TypeToSql(const ColumnType& type) {
  std::string name = TypeName(type.type);
  switch (type.type) {
    case SqlType::Char:
    case SqlType::VarChar:
    case SqlType::NChar:
    case SqlType::NVarChar:
    case SqlType::Binary:
    case SqlType::VarBinary:
      return name + "(" + (type.length == ColumnType::kMax ? "max" : std::to_string(type.length)) +
             ")";
    case SqlType::Decimal:
    case SqlType::Numeric:
      return name + "(" + std::to_string(type.precision) + "," + std::to_string(type.scale) + ")";
    case SqlType::Time:
    case SqlType::DateTime2:
    case SqlType::DateTimeOffset:
      return name + "(" + std::to_string(type.scale) + ")";
    default:
      return name;
  }
}

std::string StorageDeclaration(const ColumnType& type) {
  if (IsIntegerType(type.type)) return "INTEGER";
  if (type.type == SqlType::Real || type.type == SqlType::Float) return "REAL";
  if (IsBinaryType(type.type)) return "BLOB";
  if (IsStringType(type.type) && type.type != SqlType::Xml) {
    return std::string("TEXT COLLATE ") + kTextCollation;
  }
  if (type.type == SqlType::UniqueIdentifier) return "TEXT COLLATE NOCASE";
  return "TEXT";
}

bool IsIntegerType(SqlType type) {
  return type == SqlType::TinyInt || type == SqlType::SmallInt || type == SqlType::Int ||
         type == SqlType::BigInt || type == SqlType::Bit;
}

bool IsStringType(SqlType type) {
  return type == SqlType::Char || type == SqlType::VarChar || type == SqlType::NChar ||
         type == SqlType::NVarChar || type == SqlType::Text || type == SqlType::NText ||
         type == SqlType::Xml;
}

bool IsUnicodeType(SqlType type) {
  return type == SqlType::NChar || type == SqlType::NVarChar || type == SqlType::NText ||
         type == SqlType::Xml;
}

bool IsExactNumericType(SqlType type) {
  return type == SqlType::Decimal || type == SqlType::Numeric || type == SqlType::Money ||
         type == SqlType::SmallMoney;
}

bool IsDateTimeType(SqlType type) {
  return type == SqlType::DateTime || type == SqlType::SmallDateTime || type == SqlType::Date ||
         type == SqlType::Time || type == SqlType::DateTime2 || type == SqlType::DateTimeOffset;
}

bool IsBinaryType(SqlType type) {
  return type == SqlType::Binary || type == SqlType::VarBinary || type == SqlType::Image ||
         type == SqlType::Timestamp;
}

}  // namespace sandbox
