// SQL Server's implicit conversion of a constant to a column's type on INSERT, with the errors
// SQL Server raises. Dates are in convert_datetime.cpp, decimals in convert_decimal.cpp.

#include "sandbox/engine/convert.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "sandbox/engine/codepage1254.h"
#include "sandbox/engine/convert_detail.h"
#include "sandbox/engine/sql_messages.h"
#include "sandbox/engine/utf8.h"

namespace sandbox {

using convert_detail::DateTimeFromDays;
using convert_detail::DateTimeFromString;
using convert_detail::DateTimeFromWholeDays;
using convert_detail::DateTimeStyle0;
using convert_detail::Decimal;
using convert_detail::DecimalFromDouble;
using convert_detail::DecimalFromInt;
using convert_detail::DecimalToDouble;
using convert_detail::DecimalToFloat;
using convert_detail::DecimalToInt64;
using convert_detail::FloatStyle0;
using convert_detail::FormatDecimal;
using convert_detail::IntegerDigits;
using convert_detail::ParseDecimal;
using convert_detail::RoundDecimal;
using convert_detail::TrimBlanks;

namespace {

using Kind = Scalar::Kind;

bool IsText(const Scalar& value) {
  return value.kind == Kind::kVarChar || value.kind == Kind::kNVarChar;
}

// The type T-SQL gives the constant, as it appears in error texts.
const char* SourceTypeName(const Scalar& value) {
  switch (value.kind) {
    case Kind::kInt:
      return "int";
    case Kind::kDecimal:
      return "numeric";
    case Kind::kFloat:
      return "float";
    case Kind::kVarChar:
      return "varchar";
    case Kind::kNVarChar:
      return "nvarchar";
    case Kind::kBinary:
      return "varbinary";
    case Kind::kNull:
      break;
  }
  return "NULL";
}

[[noreturn]] void ThrowClash(const Scalar& value, SqlType target) {
  throw OperandTypeClash(SourceTypeName(value), TypeName(target));
}

[[noreturn]] void ThrowExpressionOverflow(SqlType target) {
  throw ExpressionOverflow(TypeName(target));
}

Decimal LiteralDecimal(const Scalar& value) {
  std::optional<Decimal> parsed = ParseDecimal(TrimBlanks(value.text), true);
  if (!parsed) throw std::invalid_argument("not a decimal constant: " + value.text);
  return *parsed;
}

// The exact value of an int, decimal or float constant.
Decimal ExactNumber(const Scalar& value) {
  if (value.kind == Kind::kInt) return DecimalFromInt(value.int_value);
  if (value.kind == Kind::kFloat) return DecimalFromDouble(value.float_value);
  return LiteralDecimal(value);
}

// ---- integers and bit -------------------------------------------------------------------

struct IntRange {
  std::int64_t min;
  std::int64_t max;
};

IntRange RangeOf(SqlType type) {
  switch (type) {
    case SqlType::TinyInt:
      return {0, 255};
    case SqlType::SmallInt:
      return {-32768, 32767};
    case SqlType::Int:
      return {std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()};
    default:
      return {std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max()};
  }
}

// An integer in a string: blanks around, a sign, digits. '' and a lone sign are 0.
std::optional<Decimal> ParseIntegerString(std::string_view text) {
  text = TrimBlanks(text);
  if (text.empty() || text == "+" || text == "-") return Decimal{};
  for (std::size_t i = 0; i < text.size(); ++i) {
    bool sign = i == 0 && (text[i] == '+' || text[i] == '-');
    if (!sign && (text[i] < '0' || text[i] > '9')) return std::nullopt;
  }
  return ParseDecimal(text, false);
}

std::int64_t IntegerFromString(const Scalar& value, SqlType target) {
  const char* source = SourceTypeName(value);
  std::optional<Decimal> parsed = ParseIntegerString(value.text);
  if (target == SqlType::BigInt) {
    std::optional<std::int64_t> result = parsed ? DecimalToInt64(*parsed) : std::nullopt;
    if (!result) throw ErrorConverting(source, "bigint");
    return *result;
  }
  if (!parsed) {
    throw ConversionFailed(source, value.text, TypeName(target));
  }
  IntRange range = RangeOf(target);
  std::optional<std::int64_t> result = DecimalToInt64(*parsed);
  if (!result || *result < range.min || *result > range.max) {
    if (target == SqlType::Int) {
      throw IntColumnOverflow(source, value.text);
    }
    throw SmallIntColumnOverflow(source, value.text, target == SqlType::TinyInt ? "INT1" : "INT2");
  }
  return *result;
}

// Bytes of a binary constant as a big-endian number, keeping the rightmost `size` bytes.
std::uint64_t BigEndian(const std::string& bytes, std::size_t size) {
  std::uint64_t result = 0;
  std::size_t start = bytes.size() > size ? bytes.size() - size : 0;
  for (std::size_t i = start; i < bytes.size(); ++i) {
    result = (result << 8) | static_cast<unsigned char>(bytes[i]);
  }
  return result;
}

Value ToInteger(const Scalar& value, SqlType target) {
  IntRange range = RangeOf(target);
  switch (value.kind) {
    case Kind::kInt:
      if (value.int_value < range.min || value.int_value > range.max) {
        if (target == SqlType::TinyInt || target == SqlType::SmallInt) {
          throw DataTypeOverflow(TypeName(target), std::to_string(value.int_value));
        }
        ThrowExpressionOverflow(target);
      }
      return value.int_value;
    case Kind::kDecimal: {
      // numeric to an integer type truncates toward zero.
      std::optional<std::int64_t> result = DecimalToInt64(LiteralDecimal(value));
      if (!result || *result < range.min || *result > range.max) ThrowExpressionOverflow(target);
      return *result;
    }
    case Kind::kFloat: {
      double truncated = std::trunc(value.float_value);
      // Compare in double: the bounds +-2^63 and 2^31 are exact there.
      double low = static_cast<double>(range.min);
      double high = -low;  // one past max for the signed types
      if (target == SqlType::TinyInt) high = 256;
      if (!(truncated >= low && truncated < high)) {
        char number[512];
        std::snprintf(number, sizeof number, "%f", value.float_value);
        throw TypeOverflow(TypeName(target), number);
      }
      return static_cast<std::int64_t>(truncated);
    }
    case Kind::kVarChar:
    case Kind::kNVarChar:
      return IntegerFromString(value, target);
    case Kind::kBinary: {
      std::size_t size = target == SqlType::TinyInt    ? 1
                         : target == SqlType::SmallInt ? 2
                         : target == SqlType::Int      ? 4
                                                       : 8;
      std::uint64_t bits = BigEndian(value.text, size);
      if (size == 2) return static_cast<std::int64_t>(static_cast<std::int16_t>(bits));
      if (size == 4) return static_cast<std::int64_t>(static_cast<std::int32_t>(bits));
      return static_cast<std::int64_t>(bits);
    }
    case Kind::kNull:
      break;
  }
  return std::monostate{};
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

Value ToBit(const Scalar& value) {
  switch (value.kind) {
    case Kind::kInt:
      return std::int64_t{value.int_value != 0};
    case Kind::kDecimal:
      return std::int64_t{!LiteralDecimal(value).digits.empty()};
    case Kind::kFloat:
      return std::int64_t{value.float_value != 0};
    case Kind::kVarChar:
    case Kind::kNVarChar: {
      std::string_view text = TrimBlanks(value.text);
      if (EqualsIgnoreCase(text, "TRUE")) return std::int64_t{1};
      if (EqualsIgnoreCase(text, "FALSE")) return std::int64_t{0};
      std::optional<Decimal> parsed = ParseIntegerString(text);
      if (!parsed) {
        throw ConversionFailed(SourceTypeName(value), value.text, "bit");
      }
      return std::int64_t{!parsed->digits.empty()};
    }
    case Kind::kBinary:
      for (char c : value.text) {
        if (c != 0) return std::int64_t{1};
      }
      return std::int64_t{0};
    case Kind::kNull:
      break;
  }
  return std::monostate{};
}

// ---- exact numerics ---------------------------------------------------------------------

Value ToNumeric(const Scalar& value, const ColumnType& type) {
  int precision = type.precision > 0 ? type.precision : 18;
  int scale = type.scale;
  Decimal source;
  const char* source_name = SourceTypeName(value);
  int overflow_state = 8;
  switch (value.kind) {
    case Kind::kInt:
    case Kind::kDecimal:
      source = ExactNumber(value);
      break;
    case Kind::kFloat:
      source = ExactNumber(value);
      overflow_state = 6;
      break;
    case Kind::kVarChar:
    case Kind::kNVarChar: {
      std::optional<Decimal> parsed = ParseDecimal(TrimBlanks(value.text), false);
      if (!parsed) {
        throw ErrorConverting(source_name, "numeric");
      }
      source = *parsed;
      break;
    }
    case Kind::kBinary:
      throw ErrorConverting("varbinary", "numeric");
    case Kind::kNull:
      return std::monostate{};
  }
  Decimal rounded = RoundDecimal(source, scale);
  if (IntegerDigits(rounded) > precision - scale) {
    throw ConvertingOverflow(source_name, "numeric", overflow_state);
  }
  return FormatDecimal(rounded);
}

// Money in a string: blanks, a sign and a currency symbol in either order, digits with
// thousands commas, a decimal point. No exponent.
std::optional<Decimal> ParseMoneyString(std::string_view text) {
  static constexpr std::string_view kSymbols[] = {"$", "\xE2\x82\xAC", "\xC2\xA3", "\xC2\xA5",
                                                  "\xE2\x82\xBA"};  // $ € £ ¥ ₺
  text = TrimBlanks(text);
  bool negative = false, signed_already = false, symbol_seen = false;
  for (bool progress = true; progress && !text.empty();) {
    progress = false;
    if (!signed_already && (text[0] == '+' || text[0] == '-')) {
      negative = text[0] == '-';
      signed_already = true;
      text = TrimBlanks(text.substr(1));
      progress = true;
      continue;
    }
    for (std::string_view symbol : kSymbols) {
      if (!symbol_seen && text.substr(0, symbol.size()) == symbol) {
        symbol_seen = true;
        text = TrimBlanks(text.substr(symbol.size()));
        progress = true;
        break;
      }
    }
  }
  std::string digits;
  bool point = false;
  for (char c : text) {
    if (c == ',' && !point) continue;
    if (c == '.' && !point) {
      point = true;
      digits += c;
      continue;
    }
    if (c < '0' || c > '9') return std::nullopt;
    digits += c;
  }
  if (digits.empty() || digits == ".") return Decimal{};
  std::optional<Decimal> parsed = ParseDecimal(digits, false);
  if (parsed && negative && !parsed->digits.empty()) parsed->negative = true;
  return parsed;
}

Value ToMoney(const Scalar& value, SqlType target) {
  Decimal source;
  switch (value.kind) {
    case Kind::kInt:
    case Kind::kDecimal:
    case Kind::kFloat:
      source = ExactNumber(value);
      break;
    case Kind::kVarChar:
    case Kind::kNVarChar: {
      std::optional<Decimal> parsed = ParseMoneyString(value.text);
      if (!parsed) {
        bool small = target == SqlType::SmallMoney;
        throw MoneySyntax(small, TypeName(target));
      }
      source = *parsed;
      break;
    }
    case Kind::kBinary:
      ThrowClash(value, target);
    case Kind::kNull:
      return std::monostate{};
  }
  Decimal rounded = RoundDecimal(source, 4);
  // The stored form is a count of ten-thousandths: check it as an integer.
  Decimal units = rounded;
  units.scale = 0;
  std::optional<std::int64_t> count = DecimalToInt64(units);
  bool fits = count.has_value();
  if (fits && target == SqlType::SmallMoney) {
    fits = *count >= std::numeric_limits<std::int32_t>::min() &&
           *count <= std::numeric_limits<std::int32_t>::max();
  }
  if (!fits) ThrowExpressionOverflow(target);
  return FormatDecimal(rounded);
}

// ---- approximate numerics ---------------------------------------------------------------

// A float in a string: [+-]digits[.digits][e[+-]digits], blanks around; '' is 0.
Value FloatFromString(const Scalar& value, SqlType target) {
  std::string_view text = TrimBlanks(value.text);
  auto bad = [&] { return ErrorConverting(SourceTypeName(value), TypeName(target)); };
  if (text.empty()) return 0.0;
  // Validate the form first: from_chars would also take "inf" and "nan".
  std::optional<Decimal> exact = ParseDecimal(text.substr(0, text.find_first_of("eE")), false);
  if (!exact) throw bad();
  std::size_t e = text.find_first_of("eE");
  if (e != std::string_view::npos) {
    std::string_view exponent = text.substr(e + 1);
    if (!exponent.empty() && (exponent[0] == '+' || exponent[0] == '-')) exponent.remove_prefix(1);
    if (exponent.empty() || exponent.find_first_not_of("0123456789") != std::string_view::npos) {
      throw bad();
    }
  }
  if (text[0] == '+') text.remove_prefix(1);
  const char* begin = text.data();
  const char* end = text.data() + text.size();
  if (target == SqlType::Real) {
    float result = 0;
    auto [ptr, error] = std::from_chars(begin, end, result);
    if (error == std::errc::result_out_of_range) {
      // Overflow is an error; underflow reads as zero.
      std::optional<Decimal> probe = ParseDecimal(text, true);
      if (!probe || IntegerDigits(*probe) > 0) throw bad();
      result = exact->negative ? -0.0f : 0.0f;
    }
    if (ptr != end) throw bad();
    return static_cast<double>(result);
  }
  double result = 0;
  auto [ptr, error] = std::from_chars(begin, end, result);
  if (ptr != end) throw bad();
  if (error == std::errc::result_out_of_range) {
    // Overflow is an error; underflow reads as zero.
    std::optional<Decimal> probe = ParseDecimal(text, true);
    if (!probe || IntegerDigits(*probe) > 0) throw bad();
    result = exact->negative ? -0.0 : 0.0;
  }
  return result;
}

Value ToApproximate(const Scalar& value, SqlType target) {
  bool real = target == SqlType::Real;
  switch (value.kind) {
    case Kind::kInt: {
      double d = static_cast<double>(value.int_value);
      return real ? static_cast<double>(static_cast<float>(value.int_value)) : d;
    }
    case Kind::kDecimal: {
      Decimal exact = LiteralDecimal(value);
      if (real) {
        float f = DecimalToFloat(exact);
        if (std::isinf(f)) ThrowExpressionOverflow(target);
        return static_cast<double>(f);
      }
      double d = DecimalToDouble(exact);
      if (std::isinf(d)) ThrowExpressionOverflow(target);
      return d;
    }
    case Kind::kFloat: {
      if (!real) return value.float_value;
      auto f = static_cast<float>(value.float_value);
      if (std::isinf(f) && !std::isinf(value.float_value)) ThrowExpressionOverflow(target);
      return static_cast<double>(f);
    }
    case Kind::kVarChar:
    case Kind::kNVarChar:
      return FloatFromString(value, target);
    case Kind::kBinary:
      ThrowClash(value, target);
    case Kind::kNull:
      break;
  }
  return std::monostate{};
}

// ---- date and time ----------------------------------------------------------------------

Value ToDateTime(const Scalar& value, const ColumnType& type, DateFormat format) {
  if (IsText(value)) return DateTimeFromString(value.text, type, format, SourceTypeName(value));
  bool legacy = type.type == SqlType::DateTime || type.type == SqlType::SmallDateTime;
  if (!legacy) ThrowClash(value, type.type);
  switch (value.kind) {
    case Kind::kInt:
      return DateTimeFromWholeDays(value.int_value, type.type);
    case Kind::kDecimal:
      return DateTimeFromDays(DecimalToDouble(LiteralDecimal(value)), type.type);
    case Kind::kFloat:
      return DateTimeFromDays(value.float_value, type.type);
    default:
      ThrowClash(value, type.type);
  }
}

// ---- character strings ------------------------------------------------------------------

bool IsUnicodeType(SqlType type) {
  return type == SqlType::NChar || type == SqlType::NVarChar || type == SqlType::NText ||
         type == SqlType::Xml;
}

// Length of a string as the column counts it: characters in code page 1254, UTF-16 units in
// the Unicode types.
std::size_t Units(char32_t c, bool unicode) {
  return unicode && c > 0xFFFF ? 2 : 1;
}

std::string TruncationPrefix(const std::u32string& text, std::size_t limit, bool unicode) {
  std::string prefix;
  std::size_t used = 0;
  for (char32_t c : text) {
    if (used + Units(c, unicode) > limit) break;
    used += Units(c, unicode);
    AppendUtf8(prefix, c);
  }
  return prefix;
}

[[noreturn]] void ThrowTruncation(const ColumnTarget& target, const std::string& prefix) {
  throw WouldBeTruncated(target.database + ".dbo." + target.table, target.column, prefix);
}

// Fits text into (n)char(n)/(n)varchar(n): blanks beyond n are dropped silently, anything else
// beyond n is error 2628; char/nchar are padded with blanks to n.
std::string FitString(const std::string& utf8, const ColumnTarget& target) {
  const ColumnType& type = target.type;
  bool bounded = type.length != ColumnType::kMax &&
                 (type.type == SqlType::Char || type.type == SqlType::VarChar ||
                  type.type == SqlType::NChar || type.type == SqlType::NVarChar);
  if (!bounded) return utf8;
  bool unicode = IsUnicodeType(type.type);
  auto limit = static_cast<std::size_t>(type.length);
  // ASCII that fits, the usual case: one unit per byte, nothing to decode or cut.
  if (utf8.size() <= limit && std::all_of(utf8.begin(), utf8.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x80;
      })) {
    std::string fitted = utf8;
    if (type.type == SqlType::Char || type.type == SqlType::NChar) {
      fitted.append(limit - utf8.size(), ' ');
    }
    return fitted;
  }
  std::u32string text = DecodeUtf8(utf8);
  std::size_t length = 0;
  for (char32_t c : text) length += Units(c, unicode);
  if (length > limit) {
    std::string prefix = TruncationPrefix(text, limit, unicode);
    std::u32string kept = DecodeUtf8(prefix);
    for (std::size_t i = kept.size(); i < text.size(); ++i) {
      if (text[i] != U' ') ThrowTruncation(target, prefix);
    }
    text = kept;
    length = 0;
    for (char32_t c : text) length += Units(c, unicode);
  }
  if (type.type == SqlType::Char || type.type == SqlType::NChar) {
    text.append(limit - length, U' ');
  }
  return EncodeUtf8(text);
}

// A number written into a string column as SQL Server writes it (int digits, numeric as
// declared, float style 0); too long for the column: '*' for int into (var)char, else an
// overflow error (232 for float, as for float to an integer type; 8115 otherwise).
std::string NumberToString(const Scalar& value, const ColumnType& type) {
  std::string text;
  switch (value.kind) {
    case Kind::kInt:
      text = std::to_string(value.int_value);
      break;
    case Kind::kDecimal:
      text = FormatDecimal(LiteralDecimal(value));
      break;
    case Kind::kFloat:
      text = FloatStyle0(value.float_value);
      break;
    default:
      break;
  }
  bool bounded = type.length != ColumnType::kMax;
  if (bounded && text.size() > static_cast<std::size_t>(type.length)) {
    bool unicode = IsUnicodeType(type.type);
    if (value.kind == Kind::kInt && !unicode) return "*";
    if (value.kind == Kind::kInt) ThrowExpressionOverflow(type.type);
    if (value.kind == Kind::kFloat) {
      char number[512];
      std::snprintf(number, sizeof number, "%f", value.float_value);
      throw TypeOverflow(TypeName(type.type), number);
    }
    throw ConvertingOverflow(SourceTypeName(value), TypeName(type.type));
  }
  return text;
}

Value ToString(const Scalar& value, const ColumnTarget& target) {
  SqlType type = target.type.type;
  bool unicode = IsUnicodeType(type);
  bool long_type = type == SqlType::Text || type == SqlType::NText || type == SqlType::Xml;
  std::string utf8;
  switch (value.kind) {
    case Kind::kVarChar:
    case Kind::kNVarChar:
      utf8 = unicode ? value.text : ToCodePage1254(value.text);
      break;
    case Kind::kInt:
    case Kind::kDecimal:
    case Kind::kFloat:
      if (long_type) ThrowClash(value, type);
      utf8 = NumberToString(value, target.type);
      break;
    case Kind::kBinary:
      if (type == SqlType::Text || type == SqlType::NText) ThrowClash(value, type);
      if (type == SqlType::Xml) {
        utf8 = value.text;
      } else if (unicode) {
        // The bytes are UTF-16LE code units.
        std::u16string units;
        for (std::size_t i = 0; i + 1 < value.text.size(); i += 2) {
          units += static_cast<char16_t>(static_cast<unsigned char>(value.text[i]) |
                                         (static_cast<unsigned char>(value.text[i + 1]) << 8));
        }
        for (std::size_t i = 0; i < units.size(); ++i) {
          char32_t c = units[i];
          if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
              units[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
          } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
          }
          AppendUtf8(utf8, c);
        }
      } else {
        for (char byte : value.text)
          AppendUtf8(utf8, Cp1254ToUnicode(static_cast<unsigned char>(byte)));
      }
      break;
    case Kind::kNull:
      return std::monostate{};
  }
  return FitString(utf8, target);
}

// ---- binary, uniqueidentifier -----------------------------------------------------------

Value ToBinary(const Scalar& value, const ColumnTarget& target) {
  SqlType type = target.type.type;
  std::string bytes;
  switch (value.kind) {
    case Kind::kBinary: {
      bytes = value.text;
      bool bounded = type != SqlType::Image && target.type.length != ColumnType::kMax;
      auto limit = static_cast<std::size_t>(target.type.length);
      if (bounded && bytes.size() > limit) {
        std::string prefix;
        for (std::size_t i = 0; i < limit; ++i) {
          AppendUtf8(prefix, Cp1254ToUnicode(static_cast<unsigned char>(bytes[i])));
        }
        ThrowTruncation(target, prefix);
      }
      break;
    }
    case Kind::kInt:
    case Kind::kFloat: {
      // Numbers become their big-endian bytes, cut or padded on the left.
      if (type == SqlType::Image) ThrowClash(value, type);
      std::uint64_t bits = 0;
      std::size_t size = 4;
      if (value.kind == Kind::kInt) {
        bits = static_cast<std::uint32_t>(value.int_value);
      } else {
        std::memcpy(&bits, &value.float_value, sizeof bits);
        size = 8;
      }
      for (std::size_t i = size; i-- > 0;) bytes += static_cast<char>((bits >> (8 * i)) & 0xFF);
      if (target.type.length != ColumnType::kMax &&
          bytes.size() > static_cast<std::size_t>(target.type.length)) {
        bytes = bytes.substr(bytes.size() - static_cast<std::size_t>(target.type.length));
      }
      if (type == SqlType::Binary) {
        bytes.insert(0, static_cast<std::size_t>(target.type.length) - bytes.size(), '\0');
        return Blob{bytes};
      }
      break;
    }
    case Kind::kVarChar:
    case Kind::kNVarChar:
      throw ImplicitConversion(SourceTypeName(value), TypeName(type));
    case Kind::kDecimal:
      ThrowClash(value, type);
    case Kind::kNull:
      return std::monostate{};
  }
  if (type == SqlType::Binary && target.type.length != ColumnType::kMax) {
    bytes.append(static_cast<std::size_t>(target.type.length) - bytes.size(), '\0');
  }
  return Blob{bytes};
}

bool IsHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

Value ToUniqueIdentifier(const Scalar& value) {
  if (value.kind == Kind::kBinary) {
    // The first three groups are stored little-endian.
    std::string b = value.text.substr(0, 16);
    b.resize(16, '\0');
    std::string order = {b[3], b[2], b[1], b[0], b[5], b[4], b[7], b[6]};
    order += b.substr(8);
    std::string hex = HexUpper(order);
    return hex.substr(0, 8) + '-' + hex.substr(8, 4) + '-' + hex.substr(12, 4) + '-' +
           hex.substr(16, 4) + '-' + hex.substr(20);
  }
  if (!IsText(value)) ThrowClash(value, SqlType::UniqueIdentifier);
  std::string_view text = value.text;
  // Characters after the 36 (or the braced 38) are ignored, as SQL Server does.
  bool braced = !text.empty() && text[0] == '{';
  std::string_view body = braced ? text.substr(1) : text;
  bool valid = body.size() >= 36 && (!braced || (body.size() >= 37 && body[36] == '}'));
  std::string result;
  for (std::size_t i = 0; valid && i < 36; ++i) {
    bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    if (dash ? body[i] != '-' : !IsHex(body[i])) valid = false;
    char c = body[i];
    result += c >= 'a' && c <= 'f' ? static_cast<char>(c - 32) : c;
  }
  if (!valid) {
    throw NotAUniqueIdentifier();
  }
  return result;
}

}  // namespace

std::string HexUpper(const std::string& bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (char c : bytes) {
    auto b = static_cast<unsigned char>(c);
    text += kHex[b >> 4];
    text += kHex[b & 0xF];
  }
  return text;
}

Value ConvertToColumn(const Scalar& value, const ColumnTarget& target, DateFormat format) {
  const ColumnType& type = target.type;
  if (type.type == SqlType::Timestamp) {
    throw ExplicitTimestamp();
  }
  if (value.kind == Kind::kNull) return std::monostate{};
  switch (type.type) {
    case SqlType::TinyInt:
    case SqlType::SmallInt:
    case SqlType::Int:
    case SqlType::BigInt:
      return ToInteger(value, type.type);
    case SqlType::Bit:
      return ToBit(value);
    case SqlType::Decimal:
    case SqlType::Numeric:
      return ToNumeric(value, type);
    case SqlType::Money:
    case SqlType::SmallMoney:
      return ToMoney(value, type.type);
    case SqlType::Real:
    case SqlType::Float:
      return ToApproximate(value, type.type);
    case SqlType::DateTime:
    case SqlType::SmallDateTime:
    case SqlType::Date:
    case SqlType::Time:
    case SqlType::DateTime2:
    case SqlType::DateTimeOffset:
      return ToDateTime(value, type, format);
    case SqlType::Char:
    case SqlType::VarChar:
    case SqlType::NChar:
    case SqlType::NVarChar:
    case SqlType::Text:
    case SqlType::NText:
    case SqlType::Xml:
      return ToString(value, target);
    case SqlType::Binary:
    case SqlType::VarBinary:
    case SqlType::Image:
      return ToBinary(value, target);
    case SqlType::UniqueIdentifier:
      return ToUniqueIdentifier(value);
    case SqlType::Timestamp:
      break;
  }
  throw std::logic_error("unknown column type");
}

Value ConvertForCast(const Scalar& value, const ColumnTarget& target, DateFormat format) {
  const ColumnType& type = target.type;
  if (type.length == ColumnType::kMax) return ConvertToColumn(value, target, format);
  const auto limit = static_cast<std::size_t>(type.length);
  Scalar cut = value;
  const bool bounded_text = type.type == SqlType::Char || type.type == SqlType::VarChar ||
                            type.type == SqlType::NChar || type.type == SqlType::NVarChar;
  if (bounded_text && (value.kind == Kind::kVarChar || value.kind == Kind::kNVarChar)) {
    const bool unicode = IsUnicodeType(type.type);
    cut.text = TruncationPrefix(DecodeUtf8(unicode ? value.text : ToCodePage1254(value.text)),
                                limit, unicode);
  } else if ((type.type == SqlType::Binary || type.type == SqlType::VarBinary) &&
             value.kind == Kind::kBinary && value.text.size() > limit) {
    cut.text.resize(limit);
  }
  return ConvertToColumn(cut, target, format);
}

std::string ValueToText(const Value& value, const ColumnType& type) {
  if (std::holds_alternative<std::monostate>(value)) return "NULL";
  if (const auto* number = std::get_if<std::int64_t>(&value)) return std::to_string(*number);
  if (const auto* real = std::get_if<double>(&value)) return FloatStyle0(*real);
  if (const auto* blob = std::get_if<Blob>(&value)) return "0x" + HexUpper(blob->bytes);
  const std::string& text = std::get<std::string>(value);
  switch (type.type) {
    case SqlType::Money:
    case SqlType::SmallMoney: {
      // Style 0 writes money with two decimals.
      std::optional<Decimal> exact = ParseDecimal(text, false);
      return exact ? FormatDecimal(RoundDecimal(*exact, 2)) : text;
    }
    case SqlType::DateTime:
    case SqlType::SmallDateTime:
      return DateTimeStyle0(text);
    default:
      return text;
  }
}

}  // namespace sandbox
