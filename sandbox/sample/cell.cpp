#include "sandbox/sample/cell.h"

#include <charconv>
#include <cmath>
#include <stdexcept>

namespace sandbox::sample {
namespace {

void AppendQuoted(std::string& out, std::string_view text) {
  out += '\'';
  for (const char c : text) {
    if (c == '\'') out += '\'';
    out += c;
  }
  out += '\'';
}

}  // namespace

Cell Null() {
  return Cell{};
}

Cell Unicode(std::string_view text) {
  return Cell{Cell::Kind::kUnicode, std::string(text)};
}

Cell Ansi(std::string_view text) {
  return Cell{Cell::Kind::kAnsi, std::string(text)};
}

Cell Number(std::int64_t value) {
  return Cell{Cell::Kind::kNumber, std::to_string(value)};
}

Cell Number(double value) {
  if (!std::isfinite(value)) throw std::invalid_argument("no literal for an infinite or NaN value");
  // Shortest text that reads back as the same double. Fixed notation for ordinary
  // magnitudes; otherwise a float literal (1E-5, 1E15), because a decimal literal may have
  // no more than 38 digits.
  const double magnitude = std::fabs(value);
  const bool fixed = magnitude == 0 || (magnitude >= 1e-4 && magnitude < 1e15);
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value,
                    fixed ? std::chars_format::fixed : std::chars_format::scientific);
  if (result.ec != std::errc()) throw std::invalid_argument("number does not fit its literal");
  std::string text(buffer, result.ptr);
  if (fixed) return Cell{Cell::Kind::kNumber, text};
  // "1.5e-05" -> "1.5E-5", "1e+15" -> "1E15".
  const std::size_t e = text.find('e');
  std::string exponent = text.substr(e + 1);
  const bool negative = exponent[0] == '-';
  exponent.erase(0, exponent.find_first_not_of("+-0"));
  text = text.substr(0, e) + (negative ? "E-" : "E") + exponent;
  return Cell{Cell::Kind::kNumber, text};
}

Cell Exact(std::string_view digits) {
  return Cell{Cell::Kind::kNumber, std::string(digits)};
}

Cell Binary(std::string_view bytes) {
  return Cell{Cell::Kind::kBinary, std::string(bytes)};
}

void AppendLiteral(std::string& out, const Cell& cell) {
  switch (cell.kind) {
    case Cell::Kind::kNull:
      out += "NULL";
      return;
    case Cell::Kind::kUnicode:
      out += 'N';
      AppendQuoted(out, cell.text);
      return;
    case Cell::Kind::kAnsi:
      AppendQuoted(out, cell.text);
      return;
    case Cell::Kind::kNumber:
      out += cell.text;
      return;
    case Cell::Kind::kBinary: {
      static constexpr char kHex[] = "0123456789ABCDEF";
      out += "0x";
      for (const char c : cell.text) {
        const auto byte = static_cast<unsigned char>(c);
        out += kHex[byte >> 4];
        out += kHex[byte & 0x0F];
      }
      return;
    }
  }
  throw std::logic_error("unknown cell kind");
}

std::string ToLiteral(const Cell& cell) {
  std::string out;
  AppendLiteral(out, cell);
  return out;
}

}  // namespace sandbox::sample
