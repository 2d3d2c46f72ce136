#include "db/general_number.h"

#include <charconv>
#include <cmath>
#include <string_view>

namespace devir::db {

namespace {

constexpr int kSignificantDigits = 15;
// Fixed notation from 1E-4 up to (not including) 1E15.
constexpr int kLowestFixedExponent = -4;

}  // namespace

std::string GeneralNumberText(double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0) return "0";

  // to_chars rounds to 15 significant digits exactly and ignores the locale.
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                    std::chars_format::scientific, kSignificantDigits - 1);
  // The exponent is taken after rounding, so 999999999999999.9 counts as 1E15.
  return GeneralNumberLayout(
      std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)));
}

std::string GeneralNumberLayout(std::string_view scientific) {
  const bool negative = scientific.front() == '-';
  if (negative) scientific.remove_prefix(1);
  const std::size_t e_pos = scientific.find('e');
  // The digits without the point, in the string that becomes the result's tail: no
  // allocation beyond the result's own for the usual 17 digits or fewer.
  std::string digits;
  digits.reserve(e_pos);
  for (char c : scientific.substr(0, e_pos)) {
    if (c != '.') digits += c;
  }
  std::string_view exponent_text = scientific.substr(e_pos + 1);
  if (exponent_text.front() == '+') exponent_text.remove_prefix(1);
  int exponent = 0;
  std::from_chars(exponent_text.data(), exponent_text.data() + exponent_text.size(), exponent);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string out;
  out.reserve(digits.size() + 24);
  if (negative) out += '-';
  if (exponent >= kLowestFixedExponent && exponent < kSignificantDigits) {
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
  char exponent_digits[16];
  out.append(
      exponent_digits,
      std::to_chars(exponent_digits, exponent_digits + sizeof exponent_digits, exponent).ptr);
  return out;
}

}  // namespace devir::db
