#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace sandbox::sample {

/// One value of a sample row and the kind of literal it becomes in an INSERT.
struct Cell {
  enum class Kind {
    kNull,     ///< NULL
    kUnicode,  ///< N'...' (nchar, nvarchar, ntext, xml)
    kAnsi,     ///< '...' (char, varchar, text; date, time and GUID texts)
    kNumber,   ///< the number as written (123, -4.5000)
    kBinary,   ///< 0x... from raw bytes
  };
  Kind kind = Kind::kNull;
  std::string text;  ///< UTF-8 text, number text or raw bytes, after kind

  friend bool operator==(const Cell&, const Cell&) = default;
};

/// NULL.
Cell Null();
/// A national character string, N'text'.
Cell Unicode(std::string_view text);
/// A character string, 'text' (also for date, time and uniqueidentifier values).
Cell Ansi(std::string_view text);
/// An integer.
Cell Number(std::int64_t value);
/// A floating-point value in the shortest decimal form that reads back to the same double.
/// Throws std::invalid_argument for infinities and NaN, which have no literal.
Cell Number(double value);
/// An exact numeric literal as given ("12.3400"), for decimal and money columns, so that
/// no binary rounding touches it.
Cell Exact(std::string_view digits);
/// A binary string, 0x followed by two hex digits per byte of bytes.
Cell Binary(std::string_view bytes);

/// The T-SQL literal of cell: single quotes inside strings doubled, so no value changes a
/// statement's meaning.
std::string ToLiteral(const Cell& cell);

/// Appends ToLiteral(cell) to out, without a temporary (statements of the large sample).
void AppendLiteral(std::string& out, const Cell& cell);

}  // namespace sandbox::sample
