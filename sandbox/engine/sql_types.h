#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace sandbox {

/// The SQL Server column types the stand-in knows.
enum class SqlType {
  TinyInt,
  SmallInt,
  Int,
  BigInt,
  Bit,
  Real,
  Float,
  Decimal,
  Numeric,
  Money,
  SmallMoney,
  DateTime,
  SmallDateTime,
  Date,
  Time,
  DateTime2,
  DateTimeOffset,
  Char,
  VarChar,
  NChar,
  NVarChar,
  Text,
  NText,
  Xml,
  Binary,
  VarBinary,
  Image,
  Timestamp,
  UniqueIdentifier,
};

/// A declared column type. length: characters for (n)char/(n)varchar, bytes for binary
/// types, kMax for the (max) forms. precision/scale for decimal/numeric; scale is the
/// fractional-second digits for time, datetime2 and datetimeoffset.
struct ColumnType {
  static constexpr int kMax = -1;
  SqlType type = SqlType::Int;
  int length = 0;
  int precision = 0;
  int scale = 0;
  friend bool operator==(const ColumnType&, const ColumnType&) = default;
};

/// A column of a result set as it goes into COLMETADATA.
struct ResultColumn {
  std::string name;  ///< UTF-8
  ColumnType type;
  bool nullable = true;
  bool identity = false;
};

/// One value of a result row. What the string means depends on the column's type:
/// - integer types and bit: int64
/// - real, float: double
/// - decimal, numeric, money, smallmoney: std::string exact decimal text ("-12.3400")
/// - datetime, smalldatetime, date, time, datetime2, datetimeoffset: std::string ISO text
///   "yyyy-mm-dd hh:mm:ss.fffffff" (date alone "yyyy-mm-dd", time alone "hh:mm:ss.fffffff",
///   datetimeoffset with " +hh:mm")
/// - char/varchar/nchar/nvarchar/text/ntext/xml: std::string UTF-8
/// - uniqueidentifier: std::string "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX"
/// - binary types, timestamp: Blob
struct Blob {
  std::string bytes;
  friend bool operator==(const Blob&, const Blob&) = default;
};
using Value = std::variant<std::monostate, std::int64_t, double, std::string, Blob>;
using Row = std::vector<Value>;

/// SQL Server's name for a type, lower case ("nvarchar"), as sys.types spells it.
const char* TypeName(SqlType type);

/// The type's system_type_id in sys.types and sys.columns (56 for int, 189 for timestamp).
int SystemTypeId(SqlType type);

/// Every type, in SqlType's order (the rows of sys.types).
inline constexpr SqlType kAllSqlTypes[] = {
    SqlType::TinyInt,
    SqlType::SmallInt,
    SqlType::Int,
    SqlType::BigInt,
    SqlType::Bit,
    SqlType::Real,
    SqlType::Float,
    SqlType::Decimal,
    SqlType::Numeric,
    SqlType::Money,
    SqlType::SmallMoney,
    SqlType::DateTime,
    SqlType::SmallDateTime,
    SqlType::Date,
    SqlType::Time,
    SqlType::DateTime2,
    SqlType::DateTimeOffset,
    SqlType::Char,
    SqlType::VarChar,
    SqlType::NChar,
    SqlType::NVarChar,
    SqlType::Text,
    SqlType::NText,
    SqlType::Xml,
    SqlType::Binary,
    SqlType::VarBinary,
    SqlType::Image,
    SqlType::Timestamp,
    SqlType::UniqueIdentifier,
};

}  // namespace sandbox
