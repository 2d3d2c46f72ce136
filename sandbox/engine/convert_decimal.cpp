// Exact decimal arithmetic on digit strings, so that a 38-digit numeric never passes through a
// double, and the float text forms.

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "sandbox/engine/convert_detail.h"

namespace sandbox::convert_detail {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

void StripLeadingZeros(Decimal& value) {
  std::size_t first = value.digits.find_first_not_of('0');
  value.digits.erase(0, first == std::string::npos ? value.digits.size() : first);
  if (value.digits.empty()) value.negative = false;
}

// Adds one unit in the last place of a digit string.
void Increment(std::string& digits) {
  for (std::size_t i = digits.size(); i-- > 0;) {
    if (digits[i] != '9') {
      ++digits[i];
      return;
    }
    digits[i] = '0';
  }
  digits.insert(digits.begin(), '1');
}

// Multiplies a digit string by 2 (for the exact expansion of a double).
void Double(std::string& digits) {
  int carry = 0;
  for (std::size_t i = digits.size(); i-- > 0;) {
    int d = (digits[i] - '0') * 2 + carry;
    digits[i] = static_cast<char>('0' + d % 10);
    carry = d / 10;
  }
  if (carry) digits.insert(digits.begin(), static_cast<char>('0' + carry));
}

// Multiplies a digit string by 5 (dividing by 2 is multiplying by 5 and shifting the point).
void Quintuple(std::string& digits) {
  int carry = 0;
  for (std::size_t i = digits.size(); i-- > 0;) {
    int d = (digits[i] - '0') * 5 + carry;
    digits[i] = static_cast<char>('0' + d % 10);
    carry = d / 10;
  }
  if (carry) digits.insert(digits.begin(), static_cast<char>('0' + carry));
}

// Scientific text "d.ddde±x" of the value, for std::from_chars.
std::string ScientificText(const Decimal& value) {
  if (value.digits.empty()) return "0";
  std::string text = value.negative ? "-" : "";
  text += value.digits;
  text += 'e';
  text += std::to_string(-static_cast<long long>(value.scale));
  return text;
}

}  // namespace

std::optional<Decimal> ParseDecimal(std::string_view text, bool allow_exponent) {
  Decimal value;
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) value.negative = text[i++] == '-';
  bool any_digit = false;
  while (i < text.size() && IsDigit(text[i])) {
    value.digits += text[i++];
    any_digit = true;
  }
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && IsDigit(text[i])) {
      value.digits += text[i++];
      ++value.scale;
      any_digit = true;
    }
  }
  if (!any_digit) return std::nullopt;
  if (allow_exponent && i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool negative_exponent = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative_exponent = text[i++] == '-';
    if (i == text.size()) return std::nullopt;
    long long exponent = 0;
    while (i < text.size() && IsDigit(text[i])) {
      if (exponent < 100000) exponent = exponent * 10 + (text[i] - '0');
      ++i;
    }
    if (negative_exponent) exponent = -exponent;
    long long scale = value.scale - exponent;
    if (scale < 0) {
      value.digits.append(static_cast<std::size_t>(-scale), '0');
      scale = 0;
    }
    value.scale = static_cast<int>(scale);
  }
  if (i != text.size()) return std::nullopt;
  StripLeadingZeros(value);
  return value;
}

Decimal DecimalFromInt(std::int64_t value) {
  Decimal result;
  result.negative = value < 0;
  // Through unsigned so that INT64_MIN has a magnitude.
  std::uint64_t magnitude =
      value < 0 ? ~static_cast<std::uint64_t>(value) + 1 : static_cast<std::uint64_t>(value);
  result.digits = magnitude == 0 ? "" : std::to_string(magnitude);
  return result;
}

Decimal DecimalFromDouble(double value) {
  Decimal result;
  if (value == 0 || !std::isfinite(value)) return result;
  result.negative = value < 0;
  int exponent = 0;
  double mantissa = std::frexp(std::fabs(value), &exponent);  // value = mantissa * 2^exponent
  auto bits = static_cast<std::uint64_t>(std::ldexp(mantissa, 53));
  exponent -= 53;
  result.digits = std::to_string(bits);
  for (; exponent > 0; --exponent) Double(result.digits);
  for (; exponent < 0; ++exponent) {
    Quintuple(result.digits);
    ++result.scale;
  }
  StripLeadingZeros(result);
  // Trailing fractional zeros carry no value.
  while (result.scale > 0 && !result.digits.empty() && result.digits.back() == '0') {
    result.digits.pop_back();
    --result.scale;
  }
  return result;
}

Decimal RoundDecimal(const Decimal& value, int scale) {
  Decimal result = value;
  if (result.scale <= scale) {
    if (!result.digits.empty()) result.digits.append(scale - result.scale, '0');
    result.scale = scale;
    return result;
  }
  std::size_t drop = static_cast<std::size_t>(result.scale - scale);
  bool round_up = false;
  if (drop <= result.digits.size()) {
    round_up = result.digits[result.digits.size() - drop] >= '5';
    result.digits.resize(result.digits.size() - drop);
  } else {
    result.digits.clear();
  }
  if (round_up) Increment(result.digits);
  result.scale = scale;
  StripLeadingZeros(result);
  return result;
}

Decimal TruncateDecimal(const Decimal& value) {
  Decimal result = value;
  std::size_t drop = static_cast<std::size_t>(result.scale);
  if (drop >= result.digits.size()) {
    result.digits.clear();
  } else {
    result.digits.resize(result.digits.size() - drop);
  }
  result.scale = 0;
  StripLeadingZeros(result);
  return result;
}

int IntegerDigits(const Decimal& value) {
  int digits = static_cast<int>(value.digits.size()) - value.scale;
  return digits > 0 ? digits : 0;
}

std::string FormatDecimal(const Decimal& value) {
  std::string digits = value.digits;
  if (digits.size() < static_cast<std::size_t>(value.scale) + 1) {
    digits.insert(0, static_cast<std::size_t>(value.scale) + 1 - digits.size(), '0');
  }
  std::string text = value.negative ? "-" : "";
  text.append(digits, 0, digits.size() - value.scale);
  if (value.scale > 0) {
    text += '.';
    text.append(digits, digits.size() - value.scale);
  }
  return text;
}

std::optional<std::int64_t> DecimalToInt64(const Decimal& value) {
  Decimal whole = TruncateDecimal(value);
  if (whole.digits.size() > 19) return std::nullopt;
  std::uint64_t magnitude = 0;
  for (char c : whole.digits) magnitude = magnitude * 10 + static_cast<std::uint64_t>(c - '0');
  constexpr auto kMaxMagnitude =
      static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  if (whole.negative) {
    if (magnitude > kMaxMagnitude + 1) return std::nullopt;
    return static_cast<std::int64_t>(~magnitude + 1);
  }
  if (magnitude > kMaxMagnitude) return std::nullopt;
  return static_cast<std::int64_t>(magnitude);
}

double DecimalToDouble(const Decimal& value) {
  std::string text = ScientificText(value);
  double result = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), result);
  if (error == std::errc::result_out_of_range) {
    // Too small: zero; too large: infinity (the caller reports the overflow).
    bool tiny = value.digits.size() < static_cast<std::size_t>(value.scale);
    result = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    if (value.negative) result = -result;
  }
  return result;
}

float DecimalToFloat(const Decimal& value) {
  std::string text = ScientificText(value);
  float result = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), result);
  if (error == std::errc::result_out_of_range) {
    bool tiny = value.digits.size() < static_cast<std::size_t>(value.scale);
    result = tiny ? 0.0f : std::numeric_limits<float>::infinity();
    if (value.negative) result = -result;
  }
  return result;
}

std::string FloatStyle0(double value) {
  if (value == 0) return "0";
  char buffer[64];
  auto [end, error] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
  std::string text(buffer, end);
  // Windows writes at least three exponent digits.
  std::size_t e = text.find('e');
  if (e != std::string::npos) {
    std::string exponent_digits = text.substr(e + 2);
    while (exponent_digits.size() < 3) exponent_digits.insert(0, "0");
    text = text.substr(0, e + 2) + exponent_digits;
  }
  return text;
}

std::string_view TrimBlanks(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r\n";
  std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  std::size_t last = text.find_last_not_of(kBlanks);
  return text.substr(first, last - first + 1);
}

}  // namespace sandbox::convert_detail
