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

/// Canonical stored forms (what ConvertToColumn returns, and what ValueToText expects):
/// - tinyint, smallint, int, bigint, bit: int64 (bit 0 or 1)
/// - float: double; real: the nearest float32, widened to double
/// - decimal(p,s), numeric(p,s): string, exactly s fractional digits, "-" only when nonzero,
///   "0" before the point when there is no integer digit: "-12.3400", "0.50", "12" (s = 0)
/// - money, smallmoney: the same with exactly 4 fractional digits: "0.0000"
/// - datetime: "yyyy-mm-dd hh:mm:ss.fff", the milliseconds of SQL Server's 1/300 s ticks
///   (.000, .003, .007, .010, ...)
/// - smalldatetime: "yyyy-mm-dd hh:mm:00.000" (seconds and milliseconds always zero)
/// - date: "yyyy-mm-dd"; time(n): "hh:mm:ss" plus "." and n digits when n > 0
/// - datetime2(n): "yyyy-mm-dd hh:mm:ss" plus "." and n digits when n > 0
/// - datetimeoffset(n): datetime2(n)'s form, a blank, the offset "+hh:mm" or "-hh:mm"
/// - char(n)/nchar(n): UTF-8, blank-padded to n characters (n UTF-16 units for nchar);
///   varchar/char/text hold only characters of code page 1254
/// - uniqueidentifier: "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX", upper case
/// - binary(n): Blob of exactly n bytes (zero-padded); varbinary, image: Blob as given

/// Converts a constant to the stored (and wire) form of the target column as SQL Server's
/// implicit conversion on INSERT does: see sql_types.h for the forms. A NULL gives monostate
/// (NOT NULL is the caller's check); a timestamp column refuses every value, NULL too (273). Throws
/// SqlError with SQL Server's number, severity, state and text: 245, 8114, 8115, 241, 242, 2628,
/// 257, 8169, 206, 235, 273...
Value ConvertToColumn(const Scalar& value, const ColumnTarget& target, DateFormat format);

/// Converts as CAST and CONVERT do: as ConvertToColumn, except that text and binary longer
/// than a bounded target are cut to its length instead of refused.
Value ConvertForCast(const Scalar& value, const ColumnTarget& target, DateFormat format);

/// Text in code page 1254 as a varchar literal or column keeps it: every character outside
/// the code page becomes '?'. Input and output UTF-8.
std::string ToCodePage1254(const std::string& utf8);

/// Bytes as upper-case hex digits, two a byte: "\x1f" -> "1F".
std::string HexUpper(const std::string& bytes);

/// A stored value of the given type as text, as CONVERT(nvarchar, value) style 0/121 would
/// give it, for messages and for string concatenation of columns.
/// Style 0 for float/real ("1.23457e+006", six significant digits), money (two decimals) and
/// datetime/smalldatetime ("Mar  5 2017  2:30PM"); the stored form for the other types;
/// binary as "0x" and upper-case hex; NULL as "NULL".
std::string ValueToText(const Value& value, const ColumnType& type);

}  // namespace sandbox
