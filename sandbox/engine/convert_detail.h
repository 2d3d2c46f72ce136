#pragma once

// Building blocks of convert.cpp, shared by its convert_*.cpp parts. Not for the rest of the
// engine: use convert.h.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "sandbox/engine/convert.h"

namespace sandbox::convert_detail {

/// An exact decimal: (negative ? -1 : 1) * digits * 10^-scale. digits has no leading zeros;
/// empty digits is zero (and then negative is false).
struct Decimal {
  bool negative = false;
  std::string digits;
  int scale = 0;
};

/// Reads [+-]digits[.digits] (with allow_exponent also [eE][+-]digits); no blanks. nullopt when
/// the text is not such a number.
std::optional<Decimal> ParseDecimal(std::string_view text, bool allow_exponent);
/// The exact value of an int.
Decimal DecimalFromInt(std::int64_t value);
/// The exact binary value of a finite double.
Decimal DecimalFromDouble(double value);
/// Rounded (half away from zero) or padded to exactly `scale` fractional digits.
Decimal RoundDecimal(const Decimal& value, int scale);
/// The integer part (truncated toward zero).
Decimal TruncateDecimal(const Decimal& value);
/// Digits left of the decimal point, leading zeros not counted.
int IntegerDigits(const Decimal& value);
/// "-12.3400": exactly value.scale fractional digits, "0" before the point when needed.
std::string FormatDecimal(const Decimal& value);
/// The integer value when |value| fits int64 after truncation toward zero.
std::optional<std::int64_t> DecimalToInt64(const Decimal& value);
/// Correctly rounded nearest double (float for ToFloat).
double DecimalToDouble(const Decimal& value);
float DecimalToFloat(const Decimal& value);

/// A float or real as CONVERT(varchar, value) style 0 writes it: six significant digits,
/// scientific with a three-digit exponent outside [1e-4, 1e6) ("1.23457e+006").
std::string FloatStyle0(double value);

/// Blanks that T-SQL trims around a number or date in a string.
std::string_view TrimBlanks(std::string_view text);

/// Converts a string to a date/time column (datetime, smalldatetime, date, time, datetime2,
/// datetimeoffset). source_type is "varchar" or "nvarchar" for the error texts. Throws
/// SqlError 241/242.
std::string DateTimeFromString(std::string_view text, const ColumnType& type, DateFormat format,
                               const char* source_type);
/// Converts a number of days since 1900-01-01 (the fraction is the time of day) to datetime or
/// smalldatetime. Throws SqlError 8115 when out of range.
std::string DateTimeFromDays(double days, SqlType type);
std::string DateTimeFromWholeDays(std::int64_t days, SqlType type);
/// datetime/smalldatetime canonical text as style 0 ("Mar  5 2017  2:30PM").
std::string DateTimeStyle0(const std::string& canonical);

}  // namespace sandbox::convert_detail
