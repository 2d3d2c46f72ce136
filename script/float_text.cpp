#include "script/float_text.h"

#include <charconv>
#include <cmath>
#include <stdexcept>
#include <string_view>
#include <system_error>

namespace devir::script {

namespace {

// Fixed notation from 1E-4 up to (not including) 1E15, as the general number text has it.
constexpr int kLowestFixedExponent = -4;
constexpr int kFirstScientificExponent = 15;

// Lays out to_chars' shortest scientific form "[-]d[.ddd]e[+-]XX" without the locale.
std::string LayOut(std::string_view scientific) {
  const bool negative = scientific.front() == '-';
  if (negative) scientific.remove_prefix(1);
  const std::size_t e_pos = scientific.find('e');
  std::string digits;
  for (char c : scientific.substr(0, e_pos)) {
    if (c != '.') digits += c;
  }
  std::string_view exponent_text = scientific.substr(e_pos + 1);
  if (exponent_text.front() == '+') exponent_text.remove_prefix(1);
  int exponent = 0;
  std::from_chars(exponent_text.data(), exponent_text.data() + exponent_text.size(), exponent);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string out = negative ? "-" : "";
  if (exponent >= kLowestFixedExponent && exponent < kFirstScientificExponent) {
    if (exponent < 0) {
      out += "0.";
      out.append(static_cast<std::size_t>(-exponent - 1), '0');
      out += digits;
    } else {
      const auto integer_digits = static_cast<std::size_t>(exponent) + 1;
      if (digits.size() <= integer_digits) {
        out += digits;
        out.append(integer_digits - digits.size(), '0');
      } else {
        out.append(digits, 0, integer_digits);
        out += '.';
        out.append(digits, integer_digits);
      }
    }
    return out;
  }
  out += digits.front();
  if (digits.size() > 1) {
    out += '.';
    out.append(digits, 1);
  }
  out += 'E';
  char buffer[8];
  const auto written = std::to_chars(buffer, buffer + sizeof buffer, exponent);
  out.append(buffer, written.ptr);
  return out;
}

template <typename Number>
std::string Shortest(Number value) {
  if (!std::isfinite(value)) {
    throw std::domain_error("SQL Server cannot store the floating-point value " +
                            std::string(std::isnan(value) ? "NaN" : "infinity") + ".");
  }
  if (value == 0) return "0";
  // Without a precision, to_chars gives the shortest digits that read back exactly.
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
  return LayOut(std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)));
}

}  // namespace

std::string ShortestDoubleText(double value) {
  return Shortest(value);
}

std::string ShortestRealText(float value) {
  return Shortest(value);
}

}  // namespace devir::script
