// Implicit conversion on INSERT: each case is a constant, a column type and a DATEFORMAT, and
// either the stored value or SQL Server's error (number, state, text).

#include "sandbox/engine/convert.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace sandbox {
namespace {

using Kind = Scalar::Kind;

Scalar Null() {
  return {};
}
Scalar I(std::int64_t v) {
  return {Kind::kInt, v, 0, {}};
}
Scalar D(const char* text) {
  return {Kind::kDecimal, 0, 0, text};
}
Scalar F(double v) {
  return {Kind::kFloat, 0, v, {}};
}
Scalar V(const std::string& text) {
  return {Kind::kVarChar, 0, 0, text};
}
Scalar N(const std::string& text) {
  return {Kind::kNVarChar, 0, 0, text};
}
Scalar B(const std::string& bytes) {
  return {Kind::kBinary, 0, 0, bytes};
}

ColumnType T(SqlType type, int length = 0, int precision = 0, int scale = 0) {
  return {type, length, precision, scale};
}
ColumnType Dec(int precision, int scale) {
  return T(SqlType::Decimal, 0, precision, scale);
}
ColumnType Str(SqlType type, int length) {
  return T(type, length);
}
ColumnType Scaled(SqlType type, int scale) {
  return T(type, 0, 0, scale);
}

constexpr DateFormat kDmy = DateFormat::kDmy;
constexpr DateFormat kMdy = DateFormat::kMdy;
constexpr DateFormat kYmd = DateFormat::kYmd;

struct Error {
  int number;
  int state;
  std::string text;
};

struct Case {
  const char* name;
  Scalar input;
  ColumnType type;
  DateFormat format;
  Value expected;
  std::optional<Error> error;
};

Case Ok(const char* name, Scalar input, ColumnType type, Value expected, DateFormat format = kDmy) {
  return {name, std::move(input), type, format, std::move(expected), std::nullopt};
}
Case Fails(const char* name, Scalar input, ColumnType type, int number, int state, std::string text,
           DateFormat format = kDmy) {
  return {name, std::move(input), type, format, {}, Error{number, state, std::move(text)}};
}

Value S(const char* text) {
  return std::string(text);
}
Value Int(std::int64_t v) {
  return v;
}

ColumnTarget Target(const ColumnType& type) {
  return {"E2018", "STOK", "STOKKODU", type};
}

std::string Describe(const Value& v) {
  if (std::holds_alternative<std::monostate>(v)) return "NULL";
  if (auto* i = std::get_if<std::int64_t>(&v)) return "int64 " + std::to_string(*i);
  if (auto* d = std::get_if<double>(&v)) {
    char buffer[64];
    auto end = std::to_chars(buffer, buffer + sizeof buffer, *d).ptr;
    return "double " + std::string(buffer, end);
  }
  if (auto* s = std::get_if<std::string>(&v)) return "string '" + *s + "'";
  std::string hex;
  for (unsigned char c : std::get<Blob>(v).bytes) {
    char pair[4];
    std::snprintf(pair, sizeof pair, "%02X", c);
    hex += pair;
  }
  return "blob 0x" + hex;
}

class ConvertTest : public testing::TestWithParam<Case> {};

TEST_P(ConvertTest, GivesSqlServersValueOrError) {
  const Case& c = GetParam();
  if (!c.error) {
    Value got;
    try {
      got = ConvertToColumn(c.input, Target(c.type), c.format);
    } catch (const SqlError& e) {
      FAIL() << "unexpected error " << e.number << ": " << e.what();
    }
    EXPECT_EQ(Describe(got), Describe(c.expected));
    return;
  }
  try {
    Value got = ConvertToColumn(c.input, Target(c.type), c.format);
    FAIL() << "expected error " << c.error->number << ", got " << Describe(got);
  } catch (const SqlError& e) {
    EXPECT_EQ(e.number, c.error->number);
    EXPECT_EQ(e.severity, 16);
    EXPECT_EQ(e.state, c.error->state);
    EXPECT_EQ(std::string(e.what()), c.error->text);
  }
}

std::string CaseName(const testing::TestParamInfo<Case>& info) {
  return info.param.name;
}

// ---- integers, bit ------------------------------------------------------------------------

const Case kIntegers[] = {
    Ok("IntFromInt", I(-5), T(SqlType::Int), Int(-5)),
    Ok("TinyIntMax", I(255), T(SqlType::TinyInt), Int(255)),
    Fails("TinyIntFromIntOverflow", I(256), T(SqlType::TinyInt), 220, 2,
          "Arithmetic overflow error for data type tinyint, value = 256."),
    Fails("TinyIntNegative", I(-1), T(SqlType::TinyInt), 220, 2,
          "Arithmetic overflow error for data type tinyint, value = -1."),
    Fails("SmallIntFromIntOverflow", I(40000), T(SqlType::SmallInt), 220, 2,
          "Arithmetic overflow error for data type smallint, value = 40000."),
    Ok("IntFromDecimalTruncates", D("12.99"), T(SqlType::Int), Int(12)),
    Ok("IntFromNegativeDecimalTruncatesTowardZero", D("-12.99"), T(SqlType::Int), Int(-12)),
    Fails("IntFromDecimalOverflow", D("2147483648"), T(SqlType::Int), 8115, 2,
          "Arithmetic overflow error converting expression to data type int."),
    Ok("IntMinFromDecimal", D("-2147483648"), T(SqlType::Int), Int(-2147483648LL)),
    Ok("BigIntFromDecimal", D("9223372036854775807"), T(SqlType::BigInt),
       Int(9223372036854775807LL)),
    Fails("BigIntFromDecimalOverflow", D("9223372036854775808"), T(SqlType::BigInt), 8115, 2,
          "Arithmetic overflow error converting expression to data type bigint."),
    Fails("TinyIntFromDecimalOverflow", D("300.5"), T(SqlType::TinyInt), 8115, 2,
          "Arithmetic overflow error converting expression to data type tinyint."),
    Ok("IntFromFloatTruncates", F(-7.9), T(SqlType::Int), Int(-7)),
    Fails("IntFromFloatOverflow", F(3e9), T(SqlType::Int), 232, 1,
          "Arithmetic overflow error for type int, value = 3000000000.000000."),
    Ok("IntFromString", V("12"), T(SqlType::Int), Int(12)),
    Ok("IntFromStringWithBlanks", V(" 12 "), T(SqlType::Int), Int(12)),
    Ok("IntFromNegativeString", V("-5"), T(SqlType::Int), Int(-5)),
    Ok("IntFromPlusString", V("+5"), T(SqlType::Int), Int(5)),
    Ok("IntFromEmptyStringIsZero", V(""), T(SqlType::Int), Int(0)),
    Fails("IntFromWord", V("abc"), T(SqlType::Int), 245, 1,
          "Conversion failed when converting the varchar value 'abc' to data type int."),
    Fails("IntFromDecimalString", V("1.5"), T(SqlType::Int), 245, 1,
          "Conversion failed when converting the varchar value '1.5' to data type int."),
    Fails("IntFromUnicodeWord", N("abç"), T(SqlType::Int), 245, 1,
          "Conversion failed when converting the nvarchar value 'abç' to data type int."),
    Fails("SmallIntFromWord", V("x"), T(SqlType::SmallInt), 245, 1,
          "Conversion failed when converting the varchar value 'x' to data type smallint."),
    Fails("IntFromStringOverflow", V("08041159620"), T(SqlType::Int), 248, 1,
          "The conversion of the varchar value '08041159620' overflowed an int column."),
    Fails("TinyIntFromStringOverflow", V("300"), T(SqlType::TinyInt), 244, 1,
          "The conversion of the varchar value '300' overflowed an INT1 column. Use a larger "
          "integer column."),
    Fails("SmallIntFromStringOverflow", V("-40000"), T(SqlType::SmallInt), 244, 1,
          "The conversion of the varchar value '-40000' overflowed an INT2 column. Use a larger "
          "integer column."),
    Ok("BigIntFromString", V("-9223372036854775808"), T(SqlType::BigInt),
       Int(-9223372036854775807LL - 1)),
    Fails("BigIntFromWord", V("abc"), T(SqlType::BigInt), 8114, 5,
          "Error converting data type varchar to bigint."),
    Fails("BigIntFromStringOverflow", V("9223372036854775808"), T(SqlType::BigInt), 8114, 5,
          "Error converting data type varchar to bigint."),
    Ok("BitFromNonZeroInt", I(5), T(SqlType::Bit), Int(1)),
    Ok("BitFromZero", I(0), T(SqlType::Bit), Int(0)),
    Ok("BitFromDecimal", D("0.01"), T(SqlType::Bit), Int(1)),
    Ok("BitFromTrue", V("TRUE"), T(SqlType::Bit), Int(1)),
    Ok("BitFromFalseLowerCase", V("false"), T(SqlType::Bit), Int(0)),
    Ok("BitFromDigitString", V("1"), T(SqlType::Bit), Int(1)),
    Fails("BitFromWord", V("yes"), T(SqlType::Bit), 245, 1,
          "Conversion failed when converting the varchar value 'yes' to data type bit."),
    Ok("NullStaysNull", Null(), T(SqlType::Int), Value{}),
};
INSTANTIATE_TEST_SUITE_P(Integers, ConvertTest, testing::ValuesIn(kIntegers), CaseName);

// ---- decimal, money -----------------------------------------------------------------------

const Case kExactNumerics[] = {
    Ok("DecimalPadsScale", I(12), Dec(18, 4), S("12.0000")),
    Ok("DecimalRoundsHalfAwayFromZero", D("1.23455"), Dec(18, 4), S("1.2346")),
    Ok("DecimalRoundsNegativeHalfAwayFromZero", D("-1.23455"), Dec(18, 4), S("-1.2346")),
    Ok("DecimalRoundsDown", D("1.23454"), Dec(18, 4), S("1.2345")),
    Ok("DecimalZeroHasNoSign", D("-0.00001"), Dec(18, 4), S("0.0000")),
    Ok("DecimalLeadingZero", D(".5"), Dec(9, 2), S("0.50")),
    Ok("Decimal38DigitsExact", D("12345678901234567890123456789012345678"), Dec(38, 0),
       S("12345678901234567890123456789012345678")),
    Fails("Decimal39DigitsOverflow", D("123456789012345678901234567890123456789"), Dec(38, 0), 8115,
          8, "Arithmetic overflow error converting numeric to data type numeric."),
    Ok("Decimal38DigitsAllFraction", D("-0.12345678901234567890123456789012345678"), Dec(38, 38),
       S("-0.12345678901234567890123456789012345678")),
    Ok("Decimal38DigitsFromString", V("99999999999999999999.999999999999999999"), Dec(38, 18),
       S("99999999999999999999.999999999999999999")),
    Fails("DecimalFromNumericOverflow", D("12345.67"), Dec(5, 2), 8115, 8,
          "Arithmetic overflow error converting numeric to data type numeric."),
    Fails("DecimalRoundingOverflows", D("999.995"), Dec(5, 2), 8115, 8,
          "Arithmetic overflow error converting numeric to data type numeric."),
    Fails("DecimalFromIntOverflow", I(100000), Dec(9, 5), 8115, 8,
          "Arithmetic overflow error converting int to data type numeric."),
    Fails("DecimalFromStringOverflow", V("123456"), Dec(5, 2), 8115, 8,
          "Arithmetic overflow error converting varchar to data type numeric."),
    Fails("DecimalFromFloatOverflow", F(1e37), Dec(38, 2), 8115, 6,
          "Arithmetic overflow error converting float to data type numeric."),
    Ok("DecimalFromFloat", F(0.5), Dec(9, 0), S("1")),
    Ok("DecimalFromFloatRoundsExactBinaryValue", F(1.005), Dec(9, 2), S("1.00")),
    Ok("DecimalFromStringWithBlanks", V("  -12.5 "), Dec(9, 2), S("-12.50")),
    Fails("DecimalFromCommaString", V("1,5"), Dec(9, 2), 8114, 5,
          "Error converting data type varchar to numeric."),
    Fails("DecimalFromEmptyString", V(""), Dec(9, 2), 8114, 5,
          "Error converting data type varchar to numeric."),
    Fails("DecimalFromExponentString", V("1e5"), Dec(9, 2), 8114, 5,
          "Error converting data type varchar to numeric."),
    Fails("DecimalFromUnicodeWord", N("abc"), Dec(9, 2), 8114, 5,
          "Error converting data type nvarchar to numeric."),
    Ok("NumericScaleZero", D("123456789"), T(SqlType::Numeric, 0, 9, 0), S("123456789")),
    Ok("MoneyFromInt", I(12), T(SqlType::Money), S("12.0000")),
    Ok("MoneyRoundsToFourPlaces", D("-12.34565"), T(SqlType::Money), S("-12.3457")),
    Ok("MoneyMax", D("922337203685477.5807"), T(SqlType::Money), S("922337203685477.5807")),
    Ok("MoneyMin", D("-922337203685477.5808"), T(SqlType::Money), S("-922337203685477.5808")),
    Fails("MoneyOverflow", D("922337203685477.5808"), T(SqlType::Money), 8115, 2,
          "Arithmetic overflow error converting expression to data type money."),
    Ok("SmallMoneyMax", D("214748.3647"), T(SqlType::SmallMoney), S("214748.3647")),
    Fails("SmallMoneyOverflow", I(214749), T(SqlType::SmallMoney), 8115, 2,
          "Arithmetic overflow error converting expression to data type smallmoney."),
    Ok("MoneyFromFloat", F(1.5), T(SqlType::Money), S("1.5000")),
    Ok("MoneyFromStringWithThousands", V("$1,234.5"), T(SqlType::Money), S("1234.5000")),
    Ok("MoneyFromNegativeString", V(" -12.34 "), T(SqlType::Money), S("-12.3400")),
    Ok("MoneyCommaIsThousandsSeparator", V("12,5"), T(SqlType::Money), S("125.0000")),
    Ok("MoneyFromEmptyString", V(""), T(SqlType::Money), S("0.0000")),
    Fails("MoneyFromWord", V("abc"), T(SqlType::Money), 235, 0,
          "Cannot convert a char value to money. The char value has incorrect syntax."),
    Fails("SmallMoneyFromWord", N("abc"), T(SqlType::SmallMoney), 293, 0,
          "Cannot convert a char value to smallmoney. The char value has incorrect syntax."),
    Ok("MoneyFromEuroWithBlank", N("€ 1,000.00"), T(SqlType::Money), S("1000.0000")),
    Fails("MoneyFromExponent", V("1e3"), T(SqlType::Money), 235, 0,
          "Cannot convert a char value to money. The char value has incorrect syntax."),
};
INSTANTIATE_TEST_SUITE_P(ExactNumerics, ConvertTest, testing::ValuesIn(kExactNumerics), CaseName);

// ---- float, real --------------------------------------------------------------------------

const Case kApproximateNumerics[] = {
    Ok("FloatFromInt", I(-3), T(SqlType::Float), -3.0),
    Ok("FloatFromDecimalCorrectlyRounded", D("0.1"), T(SqlType::Float), 0.1),
    Ok("FloatFromLongDecimal", D("3.14159265358979323846264338327950288"), T(SqlType::Float),
       3.141592653589793),
    Ok("FloatFromString", V("1.5E-5"), T(SqlType::Float), 1.5e-5),
    Ok("FloatFromStringWithBlanksAndPlus", V(" +2.5 "), T(SqlType::Float), 2.5),
    Ok("FloatFromEmptyStringIsZero", V(""), T(SqlType::Float), 0.0),
    Ok("FloatFromUnderflowingStringIsZero", V("1e-400"), T(SqlType::Float), 0.0),
    Fails("FloatFromCommaString", V("1,5"), T(SqlType::Float), 8114, 5,
          "Error converting data type varchar to float."),
    Fails("FloatFromInfinityWord", V("inf"), T(SqlType::Float), 8114, 5,
          "Error converting data type varchar to float."),
    Fails("FloatFromOverflowingString", V("1e400"), T(SqlType::Float), 8114, 5,
          "Error converting data type varchar to float."),
    Fails("FloatFromUnicodeWord", N("x"), T(SqlType::Float), 8114, 5,
          "Error converting data type nvarchar to float."),
    Ok("RealRoundsToFloat32", F(0.1), T(SqlType::Real), static_cast<double>(0.1f)),
    Ok("RealFromDecimal", D("16777217"), T(SqlType::Real), 16777216.0),
    Ok("RealFromString", V("0.1"), T(SqlType::Real), static_cast<double>(0.1f)),
    Fails("RealOverflow", F(1e39), T(SqlType::Real), 8115, 2,
          "Arithmetic overflow error converting expression to data type real."),
};
INSTANTIATE_TEST_SUITE_P(ApproximateNumerics, ConvertTest, testing::ValuesIn(kApproximateNumerics),
                         CaseName);

// ---- datetime, smalldatetime --------------------------------------------------------------

const std::string kBadDate =
    "Conversion failed when converting date and/or time from character string.";
const std::string kDateTimeRange =
    "The conversion of a varchar data type to a datetime data type resulted in an out-of-range "
    "value.";

const Case kLegacyDates[] = {
    Ok("DmyDotted", V("05.03.2017"), T(SqlType::DateTime), S("2017-03-05 00:00:00.000")),
    Ok("DmySlashed", V("05/03/2017"), T(SqlType::DateTime), S("2017-03-05 00:00:00.000")),
    Ok("DmyDashed", V("5-3-2017"), T(SqlType::DateTime), S("2017-03-05 00:00:00.000")),
    Ok("MdyDotted", V("05.03.2017"), T(SqlType::DateTime), S("2017-05-03 00:00:00.000"), kMdy),
    Ok("YmdTwoDigitYear", V("17.03.05"), T(SqlType::DateTime), S("2017-03-05 00:00:00.000"), kYmd),
    Ok("TwoDigitYear49Is2049", V("01.01.49"), T(SqlType::DateTime), S("2049-01-01 00:00:00.000")),
    Ok("TwoDigitYear50Is1950", V("01.01.50"), T(SqlType::DateTime), S("1950-01-01 00:00:00.000")),
    Ok("IsoDashedIsYdmUnderDmy", V("2017-03-05"), T(SqlType::DateTime),
       S("2017-05-03 00:00:00.000")),
    Ok("YearDayMonthUnderDmy", V("2017-25-03"), T(SqlType::DateTime), S("2017-03-25 00:00:00.000")),
    Ok("IsoDashedIsYmdUnderMdy", V("2017-03-05"), T(SqlType::DateTime),
       S("2017-03-05 00:00:00.000"), kMdy),
    Fails("IsoDashedDay25UnderDmyIsOutOfRange", V("2017-03-25"), T(SqlType::DateTime), 242, 3,
          kDateTimeRange),
    Ok("IsoWithTIsAlwaysYmd", V("2017-03-05T14:30:15"), T(SqlType::DateTime),
       S("2017-03-05 14:30:15.000")),
    Fails("IsoWithTNeedsSeconds", V("2017-03-05T14:30"), T(SqlType::DateTime), 241, 1, kBadDate),
    Ok("IsoWithZulu", V("2017-03-05T14:30:15.5Z"), T(SqlType::DateTime),
       S("2017-03-05 14:30:15.500")),
    Fails("NumericOffsetIsNotDateTime", V("2017-03-05T14:30:15+03:00"), T(SqlType::DateTime), 241,
          1, kBadDate),
    Ok("UnseparatedIsAlwaysYmd", V("20170305"), T(SqlType::DateTime), S("2017-03-05 00:00:00.000")),
    Ok("UnseparatedWithTime", V("20170305 14:30"), T(SqlType::DateTime),
       S("2017-03-05 14:30:00.000")),
    Ok("HoursMinutes", V("05.03.2017 14:30"), T(SqlType::DateTime), S("2017-03-05 14:30:00.000")),
    Ok("Seconds", V("05.03.2017 14:30:15"), T(SqlType::DateTime), S("2017-03-05 14:30:15.000")),
    Ok("Milliseconds", V("05.03.2017 14:30:15.123"), T(SqlType::DateTime),
       S("2017-03-05 14:30:15.123")),
    Ok("OneFractionDigitIsTenths", V("05.03.2017 14:30:15.5"), T(SqlType::DateTime),
       S("2017-03-05 14:30:15.500")),
    Ok("ColonFractionIsThousandths", V("05.03.2017 14:30:15:5"), T(SqlType::DateTime),
       S("2017-03-05 14:30:15.007")),
    Ok("Pm", V("05.03.2017 2:30PM"), T(SqlType::DateTime), S("2017-03-05 14:30:00.000")),
    Ok("PmWithBlank", V("05.03.2017 02:30 pm"), T(SqlType::DateTime), S("2017-03-05 14:30:00.000")),
    Ok("TwelveAmIsMidnight", V("05.03.2017 12:00AM"), T(SqlType::DateTime),
       S("2017-03-05 00:00:00.000")),
    Ok("TimeOnlyIs1900", V("14:30"), T(SqlType::DateTime), S("1900-01-01 14:30:00.000")),
    Ok("EmptyIs1900", V(""), T(SqlType::DateTime), S("1900-01-01 00:00:00.000")),
    Ok("MonthName", V("Mar 5 2017 2:30PM"), T(SqlType::DateTime), S("2017-03-05 14:30:00.000")),
    Ok("DayMonthNameYear", V("5 March 2017"), T(SqlType::DateTime), S("2017-03-05 00:00:00.000")),
    Ok("Round001Down", V("05.03.2017 10:00:00.001"), T(SqlType::DateTime),
       S("2017-03-05 10:00:00.000")),
    Ok("Round002To003", V("05.03.2017 10:00:00.002"), T(SqlType::DateTime),
       S("2017-03-05 10:00:00.003")),
    Ok("Round004To003", V("05.03.2017 10:00:00.004"), T(SqlType::DateTime),
       S("2017-03-05 10:00:00.003")),
    Ok("Round005To007", V("05.03.2017 10:00:00.005"), T(SqlType::DateTime),
       S("2017-03-05 10:00:00.007")),
    Ok("Round008To007", V("05.03.2017 10:00:00.008"), T(SqlType::DateTime),
       S("2017-03-05 10:00:00.007")),
    Ok("Round009To010", V("05.03.2017 10:00:00.009"), T(SqlType::DateTime),
       S("2017-03-05 10:00:00.010")),
    Ok("Round999ToNextDay", V("31.12.2017 23:59:59.999"), T(SqlType::DateTime),
       S("2018-01-01 00:00:00.000")),
    Fails("FourFractionDigits", V("05.03.2017 10:00:00.1234"), T(SqlType::DateTime), 241, 1,
          kBadDate),
    Fails("February31IsOutOfRange", V("31.02.2017"), T(SqlType::DateTime), 242, 3, kDateTimeRange),
    Fails("Month13IsOutOfRange", V("01.13.2017"), T(SqlType::DateTime), 242, 3, kDateTimeRange),
    Fails("Year1752IsOutOfRange", V("31.12.1752"), T(SqlType::DateTime), 242, 3, kDateTimeRange),
    Fails("NvarcharOutOfRange", N("31.02.2017"), T(SqlType::DateTime), 242, 3,
          "The conversion of a nvarchar data type to a datetime data type resulted in an "
          "out-of-range value."),
    Fails("Word", V("yesterday"), T(SqlType::DateTime), 241, 1, kBadDate),
    Fails("Hour25IsOutOfRange", V("05.03.2017 25:00"), T(SqlType::DateTime), 242, 3,
          kDateTimeRange),
    Fails("Minute60IsOutOfRange", V("05.03.2017 12:60"), T(SqlType::DateTime), 242, 3,
          kDateTimeRange),
    Fails("Hour13AmIsOutOfRange", V("05.03.2017 13:00AM"), T(SqlType::DateTime), 242, 3,
          kDateTimeRange),
    Fails("DayMonthNameYearOutOfRange", V("30-Feb-2007 22:55:07.233"), T(SqlType::DateTime), 242, 3,
          kDateTimeRange),
    Fails("Unseparated1752IsOutOfRange", V("17520101"), T(SqlType::DateTime), 242, 3,
          kDateTimeRange),
    Fails("TwoParts", V("05.2017"), T(SqlType::DateTime), 241, 1, kBadDate),
    Ok("DateTimeFromIntIsDays", I(1), T(SqlType::DateTime), S("1900-01-02 00:00:00.000")),
    Ok("DateTimeFromFloatHasTime", F(1.5), T(SqlType::DateTime), S("1900-01-02 12:00:00.000")),
    Ok("DateTimeFromNegativeFloat", F(-0.25), T(SqlType::DateTime), S("1899-12-31 18:00:00.000")),
    Fails("DateTimeFromIntOverflow", I(3000000), T(SqlType::DateTime), 8115, 2,
          "Arithmetic overflow error converting expression to data type datetime."),
    Ok("SmallDateTimeRoundsDown", V("05.03.2017 14:30:29.998"), T(SqlType::SmallDateTime),
       S("2017-03-05 14:30:00.000")),
    Ok("SmallDateTimeRoundsUp", V("05.03.2017 14:30:29.999"), T(SqlType::SmallDateTime),
       S("2017-03-05 14:31:00.000")),
    Fails("SmallDateTimeBefore1900", V("31.12.1899"), T(SqlType::SmallDateTime), 242, 3,
          "The conversion of a varchar data type to a smalldatetime data type resulted in an "
          "out-of-range value."),
    Ok("SmallDateTimeLastDay", V("06.06.2079 23:59"), T(SqlType::SmallDateTime),
       S("2079-06-06 23:59:00.000")),
    Fails("SmallDateTimeAfter2079", V("07.06.2079"), T(SqlType::SmallDateTime), 242, 3,
          "The conversion of a varchar data type to a smalldatetime data type resulted in an "
          "out-of-range value."),
};
INSTANTIATE_TEST_SUITE_P(LegacyDates, ConvertTest, testing::ValuesIn(kLegacyDates), CaseName);

// ---- date, time, datetime2, datetimeoffset ------------------------------------------------

const Case kModernDates[] = {
    Ok("DateIsoIsYmdUnderDmy", V("2017-03-05"), T(SqlType::Date), S("2017-03-05")),
    Ok("DateDmy", V("05.03.2017"), T(SqlType::Date), S("2017-03-05")),
    Ok("DateMdy", V("05/03/2017"), T(SqlType::Date), S("2017-05-03"), kMdy),
    Ok("DateDropsTime", V("05.03.2017 23:59:59.9999999"), T(SqlType::Date), S("2017-03-05")),
    Ok("DateYear1", V("0001-01-01"), T(SqlType::Date), S("0001-01-01")),
    Fails("DateFebruary31IsSyntaxError", V("31.02.2017"), T(SqlType::Date), 241, 1, kBadDate),
    Fails("DateFromInt", I(1), T(SqlType::Date), 206, 2,
          "Operand type clash: int is incompatible with date"),
    Fails("DateFromDecimal", D("1.5"), T(SqlType::Date), 206, 2,
          "Operand type clash: numeric is incompatible with date"),
    Ok("DateTime2Seven", V("2017-03-05 14:30:15.1234567"), Scaled(SqlType::DateTime2, 7),
       S("2017-03-05 14:30:15.1234567")),
    Ok("DateTime2ThreeRounds", V("2017-03-05 14:30:15.12350"), Scaled(SqlType::DateTime2, 3),
       S("2017-03-05 14:30:15.124")),
    Ok("DateTime2ZeroHasNoDot", V("05.03.2017 14:30:15.4"), Scaled(SqlType::DateTime2, 0),
       S("2017-03-05 14:30:15")),
    Ok("DateTime2RoundsIntoNextDay", V("2017-03-05 23:59:59.9999"), Scaled(SqlType::DateTime2, 3),
       S("2017-03-06 00:00:00.000")),
    Ok("DateTime2PadsFraction", V("2017-03-05T14:30"), Scaled(SqlType::DateTime2, 7),
       S("2017-03-05 14:30:00.0000000")),
    Ok("DateTime2Year1752", V("1752-01-01"), Scaled(SqlType::DateTime2, 0),
       S("1752-01-01 00:00:00")),
    Fails("DateTime2Hour25IsSyntaxError", V("2017-03-05 25:00"), Scaled(SqlType::DateTime2, 7), 241,
          1, kBadDate),
    Fails("DateTime2EightDigits", V("2017-03-05 14:30:15.12345678"), Scaled(SqlType::DateTime2, 7),
          241, 1, kBadDate),
    Ok("TimeSeven", V("14:30:15.1234567"), Scaled(SqlType::Time, 7), S("14:30:15.1234567")),
    Ok("TimeZeroScale", V("14:30:15.5"), Scaled(SqlType::Time, 0), S("14:30:16")),
    Ok("TimeFromDateTimeString", V("05.03.2017 2:30PM"), Scaled(SqlType::Time, 3),
       S("14:30:00.000")),
    Fails("TimeFromInt", I(5), Scaled(SqlType::Time, 7), 206, 2,
          "Operand type clash: int is incompatible with time"),
    Ok("OffsetKept", V("2017-03-05 14:30:00 +03:00"), Scaled(SqlType::DateTimeOffset, 7),
       S("2017-03-05 14:30:00.0000000 +03:00")),
    Ok("OffsetNegative", V("2017-03-05T14:30:00.5-05:30"), Scaled(SqlType::DateTimeOffset, 1),
       S("2017-03-05 14:30:00.5 -05:30")),
    Ok("OffsetZulu", V("2017-03-05T14:30:00Z"), Scaled(SqlType::DateTimeOffset, 0),
       S("2017-03-05 14:30:00 +00:00")),
    Ok("OffsetMissingIsUtc", V("05.03.2017"), Scaled(SqlType::DateTimeOffset, 0),
       S("2017-03-05 00:00:00 +00:00")),
    Fails("OffsetTooLarge", V("2017-03-05 14:30 +15:00"), Scaled(SqlType::DateTimeOffset, 0), 241,
          1, kBadDate),
};
INSTANTIATE_TEST_SUITE_P(ModernDates, ConvertTest, testing::ValuesIn(kModernDates), CaseName);

// ---- strings ------------------------------------------------------------------------------

const Case kStrings[] = {
    Ok("VarCharFits", V("abc"), Str(SqlType::VarChar, 3), S("abc")),
    Fails("VarCharTooLong", V("abcd"), Str(SqlType::VarChar, 3), 2628, 1,
          "String or binary data would be truncated in table 'E2018.dbo.STOK', column "
          "'STOKKODU'. Truncated value: 'abc'."),
    Ok("TrailingBlanksBeyondLengthAreDropped", V("ab   "), Str(SqlType::VarChar, 2), S("ab")),
    Fails("LeadingBlanksCount", V("  ab"), Str(SqlType::VarChar, 2), 2628, 1,
          "String or binary data would be truncated in table 'E2018.dbo.STOK', column "
          "'STOKKODU'. Truncated value: '  '."),
    Ok("TurkishLettersCountAsOneEach", N("ğüşiöç"), Str(SqlType::VarChar, 6), S("ğüşiöç")),
    Fails("TurkishPrefixInMessage", N("ĞÜŞİÖÇx"), Str(SqlType::VarChar, 6), 2628, 1,
          "String or binary data would be truncated in table 'E2018.dbo.STOK', column "
          "'STOKKODU'. Truncated value: 'ĞÜŞİÖÇ'."),
    Ok("UnicodeIntoVarCharLosesForeignLetters", N("a中b"), Str(SqlType::VarChar, 10), S("a?b")),
    Ok("UnicodeKeepsForeignLetters", N("a中b"), Str(SqlType::NVarChar, 10), S("a中b")),
    Fails("NVarCharCountsSurrogatePairsTwice", N("a😀"), Str(SqlType::NVarChar, 2), 2628, 1,
          "String or binary data would be truncated in table 'E2018.dbo.STOK', column "
          "'STOKKODU'. Truncated value: 'a'."),
    Ok("CharPadsWithBlanks", V("ab"), Str(SqlType::Char, 4), S("ab  ")),
    Ok("NCharPadsWithBlanks", N("ş"), Str(SqlType::NChar, 3), S("ş  ")),
    Ok("VarCharMaxHasNoLimit", V(std::string(9000, 'x')), Str(SqlType::VarChar, ColumnType::kMax),
       Value{std::string(9000, 'x')}),
    Ok("TextHasNoLimit", N("ğ中"), T(SqlType::Text), S("ğ?")),
    Ok("NTextKeepsUnicode", N("ğ中"), T(SqlType::NText), S("ğ中")),
    Ok("IntIntoVarChar", I(-123), Str(SqlType::VarChar, 10), S("-123")),
    Ok("IntTooLongForVarCharIsStar", I(123), Str(SqlType::VarChar, 2), S("*")),
    Fails("IntTooLongForNVarChar", I(123), Str(SqlType::NVarChar, 2), 8115, 2,
          "Arithmetic overflow error converting expression to data type nvarchar."),
    Ok("DecimalIntoVarChar", D("1.50"), Str(SqlType::VarChar, 10), S("1.50")),
    Fails("DecimalTooLongForVarChar", D("123.45"), Str(SqlType::VarChar, 3), 8115, 2,
          "Arithmetic overflow error converting numeric to data type varchar."),
    Ok("FloatIntoVarCharSixDigits", F(1234567.0), Str(SqlType::VarChar, 30), S("1.23457e+006")),
    Ok("FloatIntoVarCharPlain", F(123.456), Str(SqlType::VarChar, 30), S("123.456")),
    Fails("FloatTooLongForVarChar", F(1234567.0), Str(SqlType::VarChar, 5), 232, 1,
          "Arithmetic overflow error for type varchar, value = 1234567.000000."),
    Ok("IntTooLongForCharIsPaddedStar", I(123), Str(SqlType::Char, 2), S("* ")),
    Fails("IntIntoText", I(1), T(SqlType::Text), 206, 2,
          "Operand type clash: int is incompatible with text"),
    Ok("BinaryIntoVarCharIsBytes", B("\x41\xF0"), Str(SqlType::VarChar, 10), S("Ağ")),
    Ok("XmlKeepsText", N("<a>ş</a>"), T(SqlType::Xml), S("<a>ş</a>")),
};
INSTANTIATE_TEST_SUITE_P(Strings, ConvertTest, testing::ValuesIn(kStrings), CaseName);

// ---- binary, uniqueidentifier, timestamp --------------------------------------------------

const Case kOthers[] = {
    Ok("VarBinaryKeepsBytes", B(std::string("\x00\x1F", 2)), Str(SqlType::VarBinary, 4),
       Blob{std::string("\x00\x1F", 2)}),
    Ok("BinaryPadsWithZeros", B("\x1F"), Str(SqlType::Binary, 3), Blob{std::string("\x1F\0\0", 3)}),
    Fails("VarBinaryTooLong", B("ABC"), Str(SqlType::VarBinary, 2), 2628, 1,
          "String or binary data would be truncated in table 'E2018.dbo.STOK', column "
          "'STOKKODU'. Truncated value: 'AB'."),
    Ok("VarBinaryMaxHasNoLimit", B(std::string(9000, 'x')),
       Str(SqlType::VarBinary, ColumnType::kMax), Blob{std::string(9000, 'x')}),
    Fails("VarBinaryFromVarChar", V("ab"), Str(SqlType::VarBinary, 10), 257, 3,
          "Implicit conversion from data type varchar to varbinary is not allowed. Use the "
          "CONVERT function to run this query."),
    Fails("BinaryFromNVarChar", N("ab"), Str(SqlType::Binary, 4), 257, 3,
          "Implicit conversion from data type nvarchar to binary is not allowed. Use the CONVERT "
          "function to run this query."),
    Ok("BinaryFromIntIsBigEndian", I(258), Str(SqlType::Binary, 4),
       Blob{std::string("\0\0\x01\x02", 4)}),
    Ok("BinaryFromIntPadsOnTheLeft", I(258), Str(SqlType::Binary, 6),
       Blob{std::string("\0\0\0\0\x01\x02", 6)}),
    Ok("GuidUpperCase", V("6f9619ff-8b86-d011-b42d-00c04fc964ff"), T(SqlType::UniqueIdentifier),
       S("6F9619FF-8B86-D011-B42D-00C04FC964FF")),
    Ok("GuidInBraces", V("{6F9619FF-8B86-D011-B42D-00C04FC964FF}"), T(SqlType::UniqueIdentifier),
       S("6F9619FF-8B86-D011-B42D-00C04FC964FF")),
    Ok("GuidIgnoresCharactersAfter36", V("6F9619FF-8B86-D011-B42D-00C04FC964FFwrong"),
       T(SqlType::UniqueIdentifier), S("6F9619FF-8B86-D011-B42D-00C04FC964FF")),
    Fails("GuidBad", V("6F9619FF-8B86-D011-B42D-00C04FC964F"), T(SqlType::UniqueIdentifier), 8169,
          2, "Conversion failed when converting from a character string to uniqueidentifier."),
    Fails("GuidMisplacedDash", V("6F9619F-F8B86-D011-B42D-00C04FC964FF"),
          T(SqlType::UniqueIdentifier), 8169, 2,
          "Conversion failed when converting from a character string to uniqueidentifier."),
    Ok("GuidFromBinarySwapsFirstGroups",
       B("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B\x0C\x0D\x0E\x0F\x10"),
       T(SqlType::UniqueIdentifier), S("04030201-0605-0807-090A-0B0C0D0E0F10")),
    Fails("GuidFromInt", I(1), T(SqlType::UniqueIdentifier), 206, 2,
          "Operand type clash: int is incompatible with uniqueidentifier"),
    Fails("TimestampRefusesValues", B("\x01"), T(SqlType::Timestamp), 273, 1,
          "Cannot insert an explicit value into a timestamp column. Use INSERT with a column list "
          "to exclude the timestamp column, or insert a DEFAULT into the timestamp column."),
    Fails("TimestampRefusesNull", Null(), T(SqlType::Timestamp), 273, 1,
          "Cannot insert an explicit value into a timestamp column. Use INSERT with a column list "
          "to exclude the timestamp column, or insert a DEFAULT into the timestamp column."),
};
INSTANTIATE_TEST_SUITE_P(Others, ConvertTest, testing::ValuesIn(kOthers), CaseName);

// ---- exactness over many values -----------------------------------------------------------

TEST(ConvertFloatTest, ShortestTextOfAnyDoubleReadsBackToTheSameBits) {
  std::mt19937_64 random(20171231);
  for (int i = 0; i < 3000; ++i) {
    std::uint64_t bits = random();
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    if (!std::isfinite(value)) continue;
    char buffer[64];
    auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    std::string text(buffer, end);
    Value got = ConvertToColumn(V(text), Target(T(SqlType::Float)), kDmy);
    ASSERT_TRUE(std::holds_alternative<double>(got)) << text;
    std::uint64_t got_bits = 0;
    std::memcpy(&got_bits, &std::get<double>(got), sizeof got_bits);
    ASSERT_EQ(got_bits, bits) << text;
  }
}

TEST(ConvertFloatTest, ShortestTextOfAnyFloatReadsBackAsTheSameReal) {
  std::mt19937 random(2018);
  for (int i = 0; i < 3000; ++i) {
    std::uint32_t bits = random();
    float value = 0;
    std::memcpy(&value, &bits, sizeof value);
    if (!std::isfinite(value)) continue;
    char buffer[64];
    auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    std::string text(buffer, end);
    Value got = ConvertToColumn(V(text), Target(T(SqlType::Real)), kDmy);
    ASSERT_TRUE(std::holds_alternative<double>(got)) << text;
    ASSERT_EQ(std::get<double>(got), static_cast<double>(value)) << text;
  }
}

TEST(ConvertFloatTest, FixedDecimalConstantOfADoubleReadsBackExactly) {
  std::mt19937_64 random(42);
  std::uniform_real_distribution<double> amounts(-1e9, 1e9);
  for (int i = 0; i < 2000; ++i) {
    double value = amounts(random);
    char buffer[64];
    auto end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed).ptr;
    std::string text(buffer, end);
    Value got = ConvertToColumn(D(text.c_str()), Target(T(SqlType::Float)), kDmy);
    ASSERT_EQ(std::get<double>(got), value) << text;
  }
}

TEST(ConvertDecimalTest, RandomDecimalsKeepEveryDigit) {
  std::mt19937 random(7);
  for (int i = 0; i < 500; ++i) {
    std::string digits;
    for (int k = 0; k < 38; ++k) digits += static_cast<char>('0' + random() % 10);
    digits[0] = static_cast<char>('1' + random() % 9);
    int scale = static_cast<int>(random() % 39);
    std::string text = digits.substr(0, 38 - scale);
    if (scale > 0) text += "." + digits.substr(38 - scale);
    if (text[0] == '.') text.insert(0, "0");
    if (random() % 2) text.insert(0, "-");
    Value got = ConvertToColumn(D(text.c_str()), Target(Dec(38, scale)), kDmy);
    ASSERT_EQ(std::get<std::string>(got), text);
  }
}

// ---- code page, text of stored values -----------------------------------------------------

TEST(CodePage1254Test, KeepsTurkishLettersAndEuro) {
  EXPECT_EQ(ToCodePage1254("ğüşiöçĞÜŞİÖÇ€ıI"), "ğüşiöçĞÜŞİÖÇ€ıI");
}

TEST(CodePage1254Test, ReplacesCharactersOutsideWithQuestionMark) {
  EXPECT_EQ(ToCodePage1254("a中b😀c"), "a?b?c");
  EXPECT_EQ(ToCodePage1254("ŽžĀ"), "???");  // in code page 1252 but not in 1254
}

TEST(CodePage1254Test, InvalidUtf8BecomesQuestionMark) {
  EXPECT_EQ(ToCodePage1254("a\xFF"
                           "b"),
            "a?b");
}

struct TextCase {
  Value value;
  ColumnType type;
  std::string expected;
};

TEST(ValueToTextTest, WritesValuesAsStyleZero) {
  const TextCase cases[] = {
      {std::int64_t{-12}, T(SqlType::Int), "-12"},
      {1234567.0, T(SqlType::Float), "1.23457e+006"},
      {0.00001, T(SqlType::Float), "1e-005"},
      {0.5, T(SqlType::Float), "0.5"},
      {std::string("12.3456"), T(SqlType::Money), "12.35"},
      {std::string("-12.3400"), Dec(18, 4), "-12.3400"},
      {std::string("2017-03-05 14:30:00.000"), T(SqlType::DateTime), "Mar  5 2017  2:30PM"},
      {std::string("2017-12-15 00:05:00.000"), T(SqlType::SmallDateTime), "Dec 15 2017 12:05AM"},
      {std::string("2017-03-05"), T(SqlType::Date), "2017-03-05"},
      {std::string("ğ"), Str(SqlType::NVarChar, 5), "ğ"},
      {Blob{std::string("\x01\xAB", 2)}, Str(SqlType::VarBinary, 5), "0x01AB"},
      {Value{}, T(SqlType::Int), "NULL"},
  };
  for (const TextCase& c : cases) {
    EXPECT_EQ(ValueToText(c.value, c.type), c.expected);
  }
}

}  // namespace
}  // namespace sandbox
