#include "db/general_number.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>

namespace devir::db {

namespace {

constexpr int kSignificantDigits = 15;

}  // namespace

std::string GeneralNumberText(double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0) return "0";

  // to_chars rounds to 15 significant digits exactly and ignores the locale. Its output has
  // the shape [-]d.dddddddddddddde[+-]XX.
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                    std::chars_format::scientific, kSignificantDigits - 1);
  const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
  const bool negative = text.front() == '-';
  const std::size_t e_pos = text.find('e');
  const int exponent = std::atoi(std::string(text.substr(e_pos + 1)).c_str());

  std::string digits;
  for (char c : text.substr(negative ? 1 : 0, e_pos - (negative ? 1 : 0))) {
    if (c != '.') digits += c;
  }
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string out = negative ? "-" : "";
  // The exponent is taken after rounding, so 999999999999999.9 counts as 1E15.
  if (exponent >= -4 && exponent < kSignificantDigits) {
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
        out += digits.substr(0, integer_digits);
        out += '.';
        out += digits.substr(integer_digits);
      }
    }
  } else {
    out += digits.front();
    if (digits.size() > 1) {
      out += '.';
      out += digits.substr(1);
    }
    out += 'E';
    out += std::to_string(exponent);
  }
  return out;
}

}  // namespace devir::db
