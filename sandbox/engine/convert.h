#pragma once

#include <string>

#include "sandbox/engine/sql_error.h"
#include "sandbox/engine/sql_types.h"

namespace sandbox {

/// Order in which a session reads day, month and year from a string (SET DATEFORMAT).
enum class DateFormat { kDmy, kMdy, kYmd };

/// A constant expression of a statement, typed as T-SQL types it before it meets a column:
/// 123 is Int, 2147483648 and 1.50 are Decimal, 1.5E3 is Float, '...' VarChar (already in
/// code page 1254, characters outside it as '?'), N'...' NVarChar, 0x1F Binary.
struct Scalar {
  enum class Kind { kNull, kInt, kDecimal, kFloat, kVarChar, kNVarChar, kBinary };
  Kind kind = Kind::kNull;
  std::int64_t int_value = 0;  ///< kInt
  double float_value = 0;      ///< kFloat
  std::string text;  ///< kDecimal: exact text ("-1.50"); strings: UTF-8; kBinary: the bytes
};

/// Where a value goes, for the texts of conversion and truncation errors.
struct ColumnTarget {
  std::string database;  ///< "E2018"
  std::string table;     ///< "STOK"
  std::string column;    ///< "STOKKODU"
  ColumnType type;
};

/// Converts a constant to the stored (and wire) form of the target column as SQL Server's
/// implicit conversion on INSERT does: see sql_types.h for the forms. A NULL gives monostate
/// (NOT NULL is the caller's check). Throws SqlError with SQL Server's number, severity,
/// state and text: 245, 8114, 8115, 241, 242, 2628, 257, 8169, 206, 235, 273...
Value ConvertToColumn(const Scalar& value, const ColumnTarget& target, DateFormat format);

/// Text in code page 1254 as a varchar literal or column keeps it: every character outside
/// the code page becomes '?'. Input and output UTF-8.
std::string ToCodePage1254(const std::string& utf8);

/// A stored value of the given type as text, as CONVERT(nvarchar, value) style 0/121 would
/// give it, for messages and for string concatenation of columns.
std::string ValueToText(const Value& value, const ColumnType& type);

}  // namespace sandbox
