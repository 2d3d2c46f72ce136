// The literal maker against the stand-in's T-SQL reader: a field of any kind and value (as
// the driver hands it over) becomes a literal with FieldToSql; the literal stays on one line,
// carries no NUL (the driver would end the statement there), stands alone as a script line,
// and the stand-in reads it back, as an INSERT's VALUES list does under SET DATEFORMAT DMY
// (lexer, constant evaluator, conversion to the column), to the field's own value.
//
// Input: a byte that makes the value NULL when 0 mod 16, a shape byte (the column's type),
// then what the shape reads: texts and bytes as a length and a pattern repeated to it (so
// that short inputs make long values), numbers as their bytes, dates and times as their parts.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "db/field.h"
#include "db/script_runner.h"
#include "fuzz/fuzz_support.h"
#include "sandbox/engine/constant_eval.h"
#include "sandbox/engine/convert.h"
#include "sandbox/engine/schema.h"
#include "sandbox/engine/sql_error.h"
#include "sandbox/engine/tsql_lexer.h"
#include "sandbox/engine/utf8.h"
#include "script/field_to_sql.h"

namespace {

using devir::fuzz::Escaped;
using devir::fuzz::FuzzInput;
using sandbox::SqlType;

// One case: the field as the driver gives it, the column the stand-in converts into, and the
// value the column must then hold.
struct Case {
  devir::db::Field field;
  sandbox::ColumnType column;
  sandbox::Value expected;
};

// Decimal text without sign of zero, leading zeros or trailing fractional zeros, so that
// "-0012.3400" and "-12.34" compare equal.
std::string PlainDecimal(std::string_view text) {
  const bool negative = !text.empty() && text.front() == '-';
  if (negative) text.remove_prefix(1);
  std::string digits(text);
  if (digits.find('.') != std::string::npos) {
    while (digits.back() == '0') digits.pop_back();
    if (digits.back() == '.') digits.pop_back();
  }
  const std::size_t first = digits.find_first_not_of('0');
  digits = first == std::string::npos ? "" : digits.substr(first);
  if (digits.empty() || digits == ".") return "0";
  if (digits.front() == '.') digits.insert(0, "0");
  return negative ? "-" + digits : digits;
}

bool SameValue(const sandbox::Value& got, const sandbox::Value& expected,
               const sandbox::ColumnType& column) {
  if (sandbox::IsExactNumericType(column.type) && std::holds_alternative<std::string>(got) &&
      std::holds_alternative<std::string>(expected)) {
    return PlainDecimal(std::get<std::string>(got)) ==
           PlainDecimal(std::get<std::string>(expected));
  }
  return got == expected;
}

std::string Show(const sandbox::Value& value) {
  if (std::holds_alternative<std::monostate>(value)) return "NULL";
  if (const auto* n = std::get_if<std::int64_t>(&value)) return std::to_string(*n);
  if (const auto* d = std::get_if<double>(&value)) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.17g", *d);
    return buffer;
  }
  if (const auto* text = std::get_if<std::string>(&value)) return "'" + Escaped(*text) + "'";
  return "0x'" + Escaped(std::get<sandbox::Blob>(value).bytes) + "'";
}

// A pattern repeated to a length, so that a few input bytes make a long value.
std::string Repeated(const std::string& pattern, std::size_t length) {
  if (pattern.empty()) return {};
  std::string out;
  while (out.size() < length) out += pattern;
  out.resize(length);
  return out;
}

std::size_t LengthOf(FuzzInput& in) {
  // A byte: the length itself; 255: a long one around the 4000-character and 8000-byte
  // limits of a non-max string, past which a joined literal needs its (max) start.
  const std::uint8_t length = in.Byte();
  if (length < 255) return length;
  return 3990 + static_cast<std::size_t>(in.Unsigned(2) % 4100);
}

// Text a varchar column holds: characters of code page 1254, one per pattern byte.
std::string CodePageText(FuzzInput& in) {
  const std::size_t length = LengthOf(in);
  std::string utf8;
  for (unsigned char byte : Repeated(in.ShortText(), length)) {
    utf8 += sandbox::CodePage1254Char(byte);
  }
  return utf8;
}

// Unicode text: ASCII from one byte (NUL, CR, LF and quotes among them), a character of the
// basic plane from three, one beyond it from four.
std::string UnicodeText(FuzzInput& in, std::size_t& utf16_units) {
  const std::size_t length = LengthOf(in);
  std::u32string pattern;
  for (int k = in.Byte() % 16; k > 0 && !in.Empty(); --k) {
    const std::uint8_t lead = in.Byte();
    char32_t c = lead;
    if (lead >= 0xC0) {
      c = 0x10000 + static_cast<char32_t>(in.Unsigned(3) % 0x100000);
    } else if (lead >= 0x80) {
      c = 0x80 + static_cast<char32_t>(in.Unsigned(2) % (0x10000 - 0x80));
      if (c >= 0xD800 && c <= 0xDFFF) c = 0x131;  // no lone surrogates: ı
    }
    pattern += c;
  }
  std::u32string text;
  while (!pattern.empty() && text.size() < length) text += pattern;
  if (text.size() > length) text.resize(length);
  utf16_units = 0;
  for (char32_t c : text) utf16_units += c >= 0x10000 ? 2 : 1;
  return sandbox::EncodeUtf8(text);
}

int DaysIn(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

std::string Digits(long long value, int width) {
  std::string text = std::to_string(value);
  if (static_cast<int>(text.size()) < width) text.insert(0, width - text.size(), '0');
  return text;
}

devir::db::DateTime AnyDate(FuzzInput& in, int first_year, int last_year) {
  devir::db::DateTime t;
  t.year = static_cast<int>(in.InRange(first_year, last_year));
  t.month = static_cast<int>(in.InRange(1, 12));
  t.day = static_cast<int>(in.InRange(1, DaysIn(t.year, t.month)));
  return t;
}

std::string IsoDate(const devir::db::DateTime& t) {
  return Digits(t.year, 4) + "-" + Digits(t.month, 2) + "-" + Digits(t.day, 2);
}

std::string IsoTime(const devir::db::DateTime& t) {
  return Digits(t.hour, 2) + ":" + Digits(t.minute, 2) + ":" + Digits(t.second, 2);
}

devir::db::ColumnType Reported(const char* name, long long size = 0, int precision = 0,
                               int scale = 0) {
  devir::db::ColumnType type;
  type.type_name = name;
  type.size = size;
  type.precision = precision;
  type.scale = scale;
  return type;
}

Case TextCase(FuzzInput& in, bool unicode) {
  std::size_t length = 0;
  std::string text = unicode ? UnicodeText(in, length) : CodePageText(in);
  if (!unicode) length = sandbox::DecodeUtf8(text).size();
  const std::size_t longest = unicode ? 4000 : 8000;
  // Sized exactly (char/nchar hold values of their own length), max, or the legacy type.
  const int form = in.Byte() % 4;
  const bool sized = (form == 0 || form == 1) && length >= 1 && length <= longest;
  static constexpr SqlType kSized[2][2] = {{SqlType::VarChar, SqlType::Char},
                                           {SqlType::NVarChar, SqlType::NChar}};
  static constexpr const char* kSizedNames[2][2] = {{"varchar", "char"}, {"nvarchar", "nchar"}};
  if (sized) {
    const auto n = static_cast<int>(length);
    return {devir::db::Field("F", Reported(kSizedNames[unicode][form], n), text),
            {kSized[unicode][form], n, 0, 0},
            text};
  }
  if (form == 2) {
    return {devir::db::Field("F", Reported(unicode ? "ntext" : "text"), text),
            {unicode ? SqlType::NText : SqlType::Text, 0, 0, 0},
            text};
  }
  return {devir::db::Field("F", Reported(unicode ? "nvarchar" : "varchar", 0), text),
          {unicode ? SqlType::NVarChar : SqlType::VarChar, sandbox::ColumnType::kMax, 0, 0},
          text};
}

Case IntegerCase(FuzzInput& in) {
  struct Form {
    const char* name;
    SqlType type;
    std::int64_t low, high;
  };
  static constexpr Form kForms[] = {
      {"tinyint", SqlType::TinyInt, 0, 255},
      {"smallint", SqlType::SmallInt, -32768, 32767},
      {"int", SqlType::Int, INT32_MIN, INT32_MAX},
      {"bigint", SqlType::BigInt, INT64_MIN, INT64_MAX},
  };
  const Form& form = kForms[in.Byte() % 4];
  const std::int64_t value = in.InRange(form.low, form.high);
  return {devir::db::Field("F", Reported(form.name), value), {form.type, 0, 0, 0}, value};
}

Case BitCase(FuzzInput& in) {
  const auto value = static_cast<std::int64_t>(in.Unsigned(8));
  return {devir::db::Field("F", Reported("bit"), value),
          {SqlType::Bit, 0, 0, 0},
          std::int64_t{value != 0 ? 1 : 0}};
}

Case FloatCase(FuzzInput& in, bool real) {
  double value = 0;
  if (real) {
    const auto bits = static_cast<std::uint32_t>(in.Unsigned(4));
    float f = 0;
    std::memcpy(&f, &bits, sizeof f);
    value = f;  // a real arrives widened
  } else {
    const std::uint64_t bits = in.Unsigned(8);
    std::memcpy(&value, &bits, sizeof value);
  }
  return {devir::db::Field("F", Reported(real ? "real" : "float"), value),
          {real ? SqlType::Real : SqlType::Float, 0, 0, 0},
          value};
}

Case DateTimeCase(FuzzInput& in, bool small) {
  devir::db::DateTime t = small ? AnyDate(in, 1900, 2078) : AnyDate(in, 1753, 9999);
  t.hour = static_cast<int>(in.InRange(0, 23));
  t.minute = static_cast<int>(in.InRange(0, 59));
  std::string fraction = ".000";
  if (!small) {
    t.second = static_cast<int>(in.InRange(0, 59));
    // A datetime counts 1/300 seconds; the driver gives the tick either exactly (3333333 ns)
    // or as the milliseconds the server shows (3 ms).
    const auto tick = static_cast<int>(in.InRange(0, 299));
    const int shown = (tick * 10 + 1) / 3;
    t.nanosecond = in.Bit() ? static_cast<std::uint32_t>(tick * 10'000'000LL / 3)
                            : static_cast<std::uint32_t>(shown) * 1'000'000;
    fraction = "." + Digits(shown, 3);
  }
  return {devir::db::Field("F", Reported(small ? "smalldatetime" : "datetime"), t),
          {small ? SqlType::SmallDateTime : SqlType::DateTime, 0, 0, 0},
          IsoDate(t) + " " + IsoTime(t) + fraction};
}

Case IsoDateCase(FuzzInput& in) {
  devir::db::DateTime t = AnyDate(in, 1, 9999);
  // Some drivers write a year before 1000 without its leading zeros ("1-01-01").
  std::string date = IsoDate(t);
  if (in.Bit()) date = std::to_string(t.year) + date.substr(4);
  if (in.Bit()) {
    return {devir::db::Field("F", Reported("date"), date), {SqlType::Date, 0, 0, 0}, IsoDate(t)};
  }
  t.hour = static_cast<int>(in.InRange(0, 23));
  t.minute = static_cast<int>(in.InRange(0, 59));
  t.second = static_cast<int>(in.InRange(0, 59));
  const std::string fraction = "." + Digits(in.InRange(0, 9'999'999), 7);
  return {
      devir::db::Field("F", Reported("datetime2", 27, 27, 7), date + " " + IsoTime(t) + fraction),
      {SqlType::DateTime2, 0, 0, 7},
      IsoDate(t) + " " + IsoTime(t) + fraction};
}

// Exact numbers as the driver gives their text: "-12.3400", ".5", "0".
Case DecimalCase(FuzzInput& in) {
  const int form = in.Byte() % 4;
  const char* name = form == 0   ? "decimal"
                     : form == 1 ? "numeric"
                     : form == 2 ? "money"
                                 : "smallmoney";
  const SqlType type = form == 0   ? SqlType::Decimal
                       : form == 1 ? SqlType::Numeric
                       : form == 2 ? SqlType::Money
                                   : SqlType::SmallMoney;
  int precision = form == 2 ? 19 : form == 3 ? 10 : static_cast<int>(in.InRange(1, 38));
  int scale = form >= 2 ? 4 : static_cast<int>(in.InRange(0, precision));
  // Money's range ends inside its 15th and 6th integer digit: stay below it.
  const int integer_digits = form == 2 ? 14 : form == 3 ? 5 : precision - scale;
  std::string text = in.Bit() ? "-" : "";
  const auto whole = static_cast<int>(in.InRange(0, integer_digits));
  const auto fraction = static_cast<int>(in.InRange(0, scale));
  for (int k = 0; k < whole; ++k) text += static_cast<char>('0' + in.Byte() % 10);
  if (fraction > 0) {
    text += '.';
    for (int k = 0; k < fraction; ++k) text += static_cast<char>('0' + in.Byte() % 10);
  }
  if (whole == 0 && fraction == 0) text += '0';
  return {devir::db::Field("F", Reported(name, 0, precision, scale), text),
          {type, 0, precision, scale},
          text};
}

Case BinaryCase(FuzzInput& in) {
  const std::size_t length = LengthOf(in);
  const std::string bytes = Repeated(in.ShortText(), length);
  const int form = in.Byte() % 4;
  const auto n = static_cast<int>(bytes.size());
  if ((form == 0 || form == 1) && n >= 1 && n <= 8000) {
    return {devir::db::Field("F", Reported(form == 0 ? "varbinary" : "binary", n),
                             devir::db::Bytes{bytes}),
            {form == 0 ? SqlType::VarBinary : SqlType::Binary, n, 0, 0},
            sandbox::Blob{bytes}};
  }
  if (form == 2) {
    return {devir::db::Field("F", Reported("image"), devir::db::Bytes{bytes}),
            {SqlType::Image, 0, 0, 0},
            sandbox::Blob{bytes}};
  }
  return {devir::db::Field("F", Reported("varbinary", 0), devir::db::Bytes{bytes}),
          {SqlType::VarBinary, sandbox::ColumnType::kMax, 0, 0},
          sandbox::Blob{bytes}};
}

Case AnyCase(FuzzInput& in) {
  switch (in.Byte() % 10) {
    case 0:
      return TextCase(in, false);
    case 1:
      return TextCase(in, true);
    case 2:
      return IntegerCase(in);
    case 3:
      return BitCase(in);
    case 4:
      return FloatCase(in, false);
    case 5:
      return FloatCase(in, true);
    case 6:
      return DateTimeCase(in, in.Bit());
    case 7:
      return IsoDateCase(in);
    case 8:
      return DecimalCase(in);
    default:
      return BinaryCase(in);
  }
}

// The literal as the stand-in reads an INSERT's value: tokens, constant, column value.
sandbox::Value ReadBack(const std::string& literal, const sandbox::ColumnType& column) {
  const std::vector<sandbox::Token> tokens = sandbox::Tokenize(literal);
  sandbox::ConstantEvaluator evaluator(tokens, sandbox::DateFormat::kDmy);
  const sandbox::Scalar scalar = evaluator.Evaluate({0, tokens.size() - 1});
  return sandbox::ConvertToColumn(scalar, {"E2018", "T", "F", column}, sandbox::DateFormat::kDmy);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput in(data, size);
  const bool null = in.Byte() % 16 == 0;
  Case c = AnyCase(in);
  if (null) {
    c.field.SetValue(std::monostate{});
    c.expected = std::monostate{};
  }

  const auto* number = std::get_if<double>(&c.field.Value());
  if (number && !std::isfinite(*number)) {
    // SQL Server stores no NaN or infinity: refused before any statement is written.
    try {
      devir::script::FieldToSql(c.field);
    } catch (const std::domain_error&) {
      return 0;
    }
    devir::fuzz::Fail("a float that is not finite is refused", Show(c.expected));
  }

  const std::string literal = devir::script::FieldToSql(c.field);
  const std::string context =
      "literal " + Escaped(literal) + "\nof " + c.field.Type().type_name + " " + Show(c.expected);
  FUZZ_CHECK(literal.find_first_of("\r\n") == std::string::npos, context);
  // A NUL travels as CHAR(0)/NCHAR(0), as CR and LF do: the driver ends the statement at a
  // raw NUL.
  FUZZ_CHECK(literal.find('\0') == std::string::npos, context);
  FUZZ_CHECK(devir::db::LineStandsAlone(literal), context);

  sandbox::Value got;
  try {
    got = ReadBack(literal, c.column);
  } catch (const sandbox::SqlError& error) {
    devir::fuzz::Fail("the stand-in reads the literal",
                      std::to_string(error.number) + " " + error.what() + "\n" + context);
  }
  FUZZ_CHECK(SameValue(got, c.expected, c.column), "read back as " + Show(got) + "\n" + context);
  return 0;
}
