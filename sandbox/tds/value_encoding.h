#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "sandbox/engine/sql_types.h"
#include "sandbox/tds/tds_version.h"
#include "sandbox/tds/wire.h"

namespace sandbox::tds {

/// The collation this server reports for its databases and text columns: Turkish_CI_AS
/// (LCID 0x041F, case-insensitive, accent-sensitive), whose varchar bytes are code page 1254.
inline constexpr std::array<std::uint8_t, 5> kTurkishCiAs = {0x1F, 0x04, 0xD0, 0x00, 0x00};

/// A value the engine handed over that does not fit its column (a server bug, reported to
/// the client as an error instead of corrupting the stream).
struct ValueError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

/// The user type COLMETADATA carries for a column (80 for timestamp, else 0).
std::uint32_t UserType(const ColumnType& type);
/// Writes a column's TYPE_INFO (type byte and what follows it) as TDS 7.2+ expects it. A
/// column that cannot hold NULL goes out in its fixed-length form where TDS has one (INT4 for
/// int, FLT8 for float, DATETIME for datetime, ...), as SQL Server sends it.
/// Before TDS 7.2, text, ntext and image name their table as a 16-bit counted string (empty
/// here) instead of a count of name parts.
void WriteTypeInfo(WireWriter& w, const ColumnType& type, bool nullable = true,
                   std::uint32_t tds_version = kTds74);
/// Writes one value of a column as ROW carries it (a NULL in the type's own NULL form; a
/// column that cannot hold NULL in its fixed-length form, never NULL: NBCROW carries those).
/// Throws ValueError when the value's kind or size does not fit the column.
void WriteValue(WireWriter& w, const ColumnType& type, const Value& value, bool nullable = true);
/// The fixed-length type byte and value size of a NOT NULL column of this type, or 0 when
/// TDS has only the nullable form (decimal, date and time, strings, ...).
std::uint8_t FixedLengthType(SqlType type);

/// DECIMALN/NUMERICN value bytes after the length byte: sign (1 = positive) and the
/// magnitude little-endian in the bytes the precision needs (4, 8, 12 or 16), from exact
/// decimal text, rounded half away from zero to scale. Throws ValueError past the precision.
Bytes DecimalBytes(const std::string& text, int precision, int scale);
/// Bytes of the value part of a DECIMALN column of this precision (5, 9, 13 or 17).
int DecimalLength(int precision);

/// A date and time of day read from the engine's text forms.
struct DateTimeParts {
  std::int64_t days = 0;        ///< days since 0001-01-01
  std::int64_t time_100ns = 0;  ///< since midnight, in units of 100 ns
  int offset_minutes = 0;
};
/// Parses "yyyy-mm-dd", "hh:mm:ss[.fffffff]", "yyyy-mm-dd hh:mm:ss[.f...]" and the latter
/// with " +hh:mm". Throws ValueError on other text.
DateTimeParts ParseDateTime(const std::string& text);
/// Days since 0001-01-01 of a date in the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(int year, int month, int day);
/// The 16 GUID bytes as SQL Server sends them (first three groups little-endian).
Bytes GuidBytes(const std::string& text);

}  // namespace sandbox::tds
