#pragma once

#include <cstdint>
#include <string>
#include <variant>

namespace devir::db {

/// The kinds that decide how a value is written as an SQL literal.
enum class FieldKind { Text, Integer, Float, DateTime, Other };

/// A date and time of day as the server holds it (datetime keeps milliseconds).
struct DateTime {
  int year = 1900, month = 1, day = 1;
  int hour = 0, minute = 0, second = 0;
  std::uint32_t nanosecond = 0;
  friend bool operator==(const DateTime&, const DateTime&) = default;
};

/// Bytes of a binary column.
struct Bytes {
  std::string data;
  friend bool operator==(const Bytes&, const Bytes&) = default;
};

/// How the server described a column.
struct ColumnType {
  std::string type_name;  ///< SQL Server's name, lower case: "nvarchar", "datetime", "decimal"...
  int odbc_type = 0;      ///< SQL_xxx data type the driver reported
  long long size = 0;     ///< characters or bytes, 0 for max types
  int precision = 0;      ///< decimal/numeric precision
  int scale = 0;          ///< decimal/numeric scale, fractional second digits
  bool nullable = true;
};

/// The value of one field of the current row. Held as:
/// - monostate: NULL
/// - std::string: text (UTF-8), and the exact text of decimal, numeric, money, smallmoney
///   (point as separator), uniqueidentifier, date, time, datetime2, datetimeoffset, xml
/// - std::int64_t: bit, tinyint, smallint, int, bigint
/// - double: float, real (a real widened exactly)
/// - DateTime: datetime, smalldatetime
/// - Bytes: binary, varbinary, image, timestamp
using FieldValue = std::variant<std::monostate, std::string, std::int64_t, double, DateTime, Bytes>;

/// The kind of a column by its type as the server reports it: date, time, datetime2 and
/// datetimeoffset count as text; decimal/numeric with scale 0 and precision below 10 as
/// integer.
FieldKind KindOf(const ColumnType& type);

/// ISO date text ("1-01-01", as some drivers write date, datetime2 and datetimeoffset) with
/// its year in four digits ("0001-01-01"), which the server would otherwise read as 2001.
/// Other text is returned as it is.
std::string WithFourDigitYear(std::string iso_text);

/// One field of the current row: a plain value, so that it can be made in tests.
class Field {
 public:
  Field() = default;
  Field(std::string name, ColumnType type, FieldValue value);

  const std::string& Name() const noexcept { return name_; }
  const ColumnType& Type() const noexcept { return type_; }
  /// The type's name without size or modifiers, lower case ("nvarchar" for "NVARCHAR(40)"):
  /// BaseTypeName of the reported name, worked out once rather than for every value.
  const std::string& BaseType() const noexcept { return base_type_; }
  FieldKind Kind() const noexcept { return kind_; }
  const FieldValue& Value() const noexcept { return value_; }

  bool IsNull() const noexcept { return std::holds_alternative<std::monostate>(value_); }
  /// Empty for NULL; text unchanged; integers in plain decimal; floats as general number text
  /// (15 significant digits, point as separator); date-times as "dd.mm.yyyy hh:mm:ss";
  /// binary as upper-case hex without prefix.
  std::string AsText() const;
  /// A double; NULL gives 0; a date-time gives days since 30.12.1899 as OLE counts them.
  /// Text that is no number (read with a point, whatever the locale) and binary values throw
  /// DatabaseError.
  double AsFloat() const;
  /// The date-time value; the ISO text of date, time, datetime2 and datetimeoffset is read
  /// too (the offset ignored); NULL gives 30.12.1899 00:00, the zero of OLE dates. Throws
  /// DatabaseError for other values.
  DateTime AsDateTime() const;

  /// Replaces the value (the query refills its fields row by row).
  void SetValue(FieldValue value) { value_ = std::move(value); }
  /// Makes the value the empty text and gives it to be filled in place, so that refilling a
  /// text field row by row reuses the room its string already has.
  std::string& ResetText();

 private:
  std::string name_;
  ColumnType type_;
  std::string base_type_;
  FieldKind kind_ = FieldKind::Other;
  FieldValue value_;
};

}  // namespace devir::db
