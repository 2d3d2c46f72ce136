#include "script/field_to_sql.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cstdint>
#include <limits>
#include <ostream>
#include <stdexcept>
#include <string>

#include "tests/script/fake_row_source.h"

namespace devir::script {
namespace {

using testing::Type;

struct LiteralCase {
  std::string name;
  db::ColumnType type;
  db::FieldValue value;
  std::string expected;
};

std::ostream& operator<<(std::ostream& out, const LiteralCase& c) {
  return out << c.name;
}

class FieldToSqlTest : public ::testing::TestWithParam<LiteralCase> {};

TEST_P(FieldToSqlTest, WritesTheLiteral) {
  const LiteralCase& c = GetParam();
  EXPECT_EQ(FieldToSql(db::Field("X", c.type, c.value)), c.expected);
  // The statement builders append the literal to what the statement holds so far.
  std::string statement = "VALUES(N'a'+CHAR(13),";
  AppendFieldSql(statement, db::Field("X", c.type, c.value));
  EXPECT_EQ(statement, "VALUES(N'a'+CHAR(13)," + c.expected);
}

std::string Name(const ::testing::TestParamInfo<LiteralCase>& info) {
  return info.param.name;
}

db::DateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, std::uint32_t ns = 0) {
  return db::DateTime{y, mo, d, h, mi, s, ns};
}

const db::FieldValue kNull = std::monostate{};

INSTANTIATE_TEST_SUITE_P(
    NullOfEveryKind, FieldToSqlTest,
    ::testing::Values(LiteralCase{"Nvarchar", Type("nvarchar", 50), kNull, "NULL"},
                      LiteralCase{"Varchar", Type("varchar", 50), kNull, "NULL"},
                      LiteralCase{"Int", Type("int"), kNull, "NULL"},
                      LiteralCase{"Float", Type("float"), kNull, "NULL"},
                      LiteralCase{"Real", Type("real"), kNull, "NULL"},
                      LiteralCase{"Datetime", Type("datetime"), kNull, "NULL"},
                      LiteralCase{"Date", Type("date"), kNull, "NULL"},
                      LiteralCase{"Bit", Type("bit"), kNull, "NULL"},
                      LiteralCase{"Money", Type("money"), kNull, "NULL"},
                      LiteralCase{"Decimal", Type("decimal", 0, 18, 4), kNull, "NULL"},
                      LiteralCase{"NvarcharMax", Type("nvarchar", 0), kNull, "NULL"},
                      LiteralCase{"Varbinary", Type("varbinary", 0), kNull, "NULL"},
                      LiteralCase{"Uniqueidentifier", Type("uniqueidentifier"), kNull, "NULL"}),
    Name);

INSTANTIATE_TEST_SUITE_P(
    Text, FieldToSqlTest,
    ::testing::Values(
        LiteralCase{"EmptyVarchar", Type("varchar", 20), std::string(), "''"},
        LiteralCase{"EmptyNvarchar", Type("nvarchar", 20), std::string(), "N''"},
        LiteralCase{"PlainVarchar", Type("varchar", 20), std::string("A-100"), "'A-100'"},
        LiteralCase{"QuoteDoubled", Type("varchar", 20), std::string("O'Brien"), "'O''Brien'"},
        LiteralCase{"QuotesOnly", Type("nvarchar", 20), std::string("''"), "N''''''"},
        LiteralCase{"InjectionStaysInside", Type("nvarchar", 50),
                    std::string("x'); DROP TABLE STOK; --"), "N'x''); DROP TABLE STOK; --'"},
        LiteralCase{"TurkishInNvarchar", Type("nvarchar", 20), std::string("ĞÜŞİÖÇ ğüşıöç"),
                    "N'ĞÜŞİÖÇ ğüşıöç'"},
        LiteralCase{"TurkishInNchar", Type("nchar", 10), std::string("Işık      "),
                    "N'Işık      '"},
        LiteralCase{"BlanksKeptInChar", Type("char", 10), std::string("AB        "),
                    "'AB        '"},
        LiteralCase{"OutsideBasicPlane", Type("nvarchar", 20), std::string("a😀b"), "N'a😀b'"},
        LiteralCase{"CrLfInVarchar", Type("varchar", 20), std::string("a\r\nb"),
                    "'a'+CHAR(13)+CHAR(10)+'b'"},
        LiteralCase{"CrLfInNvarchar", Type("nvarchar", 20), std::string("a\r\nb"),
                    "N'a'+NCHAR(13)+NCHAR(10)+N'b'"},
        LiteralCase{"OnlyCr", Type("varchar", 20), std::string("\r"), "CHAR(13)"},
        LiteralCase{"OnlyLfUnicode", Type("nvarchar", 20), std::string("\n"), "NCHAR(10)"},
        LiteralCase{"StartsWithCr", Type("varchar", 20), std::string("\rab"), "CHAR(13)+'ab'"},
        LiteralCase{"EndsWithLf", Type("nvarchar", 20), std::string("ab\n"), "N'ab'+NCHAR(10)"},
        LiteralCase{"LfCr", Type("varchar", 20), std::string("a\n\rb"),
                    "'a'+CHAR(10)+CHAR(13)+'b'"},
        LiteralCase{"QuoteBesideBreak", Type("varchar", 20), std::string("'\r'"),
                    "''''+CHAR(13)+''''"},
        // A NUL inside the quotes would end the statement's text in the driver.
        LiteralCase{"NulInVarchar", Type("varchar", 20), std::string("a\0b", 3), "'a'+CHAR(0)+'b'"},
        LiteralCase{"NulInNvarchar", Type("nvarchar", 20), std::string("\0\0", 2),
                    "NCHAR(0)+NCHAR(0)"},
        LiteralCase{"Uniqueidentifier", Type("uniqueidentifier"),
                    std::string("6F9619FF-8B86-D011-B42D-00C04FC964FF"),
                    "'6F9619FF-8B86-D011-B42D-00C04FC964FF'"},
        LiteralCase{"DateAsIsoText", Type("date"), std::string("2017-03-05"), "'2017-03-05'"},
        LiteralCase{"Datetime2AsIsoText", Type("datetime2", 27, 0, 7),
                    std::string("2017-03-05 14:30:00.1234567"), "'2017-03-05 14:30:00.1234567'"},
        LiteralCase{"DateOfYearOneGetsFourDigits", Type("date"), std::string("1-01-01"),
                    "'0001-01-01'"},
        LiteralCase{"Datetime2OfYear99GetsFourDigits", Type("datetime2", 27, 0, 7),
                    std::string("99-12-31 23:59:59.9999999"), "'0099-12-31 23:59:59.9999999'"},
        LiteralCase{"TimeAsText", Type("time", 16, 0, 7), std::string("14:30:00.0000000"),
                    "'14:30:00.0000000'"},
        LiteralCase{"DatetimeoffsetAsText", Type("datetimeoffset", 34, 0, 7),
                    std::string("2017-03-05 14:30:00.0000000 +03:00"),
                    "'2017-03-05 14:30:00.0000000 +03:00'"}),
    Name);

INSTANTIATE_TEST_SUITE_P(
    LongText, FieldToSqlTest,
    ::testing::Values(
        LiteralCase{"VarcharMax", Type("varchar", 0), std::string("a\nb"), "'a'+CHAR(10)+'b'"},
        LiteralCase{"NvarcharMax", Type("nvarchar", 0), std::string("Ğ\r\n"),
                    "N'Ğ'+NCHAR(13)+NCHAR(10)"},
        LiteralCase{"Text", Type("text", 2147483647), std::string("it's"), "'it''s'"},
        LiteralCase{"Ntext", Type("ntext", 1073741823), std::string("şey"), "N'şey'"},
        LiteralCase{"Xml", Type("xml", 0), std::string("<a b=\"1\">İ</a>"), "N'<a b=\"1\">İ</a>'"},
        LiteralCase{"UpperCaseTypeName", Type("NVARCHAR", 0), std::string("x"), "N'x'"}),
    Name);

INSTANTIATE_TEST_SUITE_P(
    Integer, FieldToSqlTest,
    ::testing::Values(LiteralCase{"Zero", Type("int"), std::int64_t{0}, "0"},
                      LiteralCase{"Negative", Type("int"), std::int64_t{-42}, "-42"},
                      LiteralCase{"IntLimit", Type("int"), std::int64_t{2147483647}, "2147483647"},
                      LiteralCase{"Smallint", Type("smallint"), std::int64_t{-32768}, "-32768"},
                      LiteralCase{"Tinyint", Type("tinyint"), std::int64_t{255}, "255"},
                      LiteralCase{"IdentityTypeName", Type("int identity"), std::int64_t{7}, "7"},
                      LiteralCase{"DecimalScaleZero", Type("decimal", 0, 9, 0),
                                  std::string("123456789"), "123456789"},
                      LiteralCase{"NumericScaleZeroNegative", Type("numeric", 0, 5, 0),
                                  std::string("-5"), "-5"},
                      LiteralCase{"EmptyText", Type("int"), std::string(), "0"}),
    Name);

INSTANTIATE_TEST_SUITE_P(
    FloatingPoint, FieldToSqlTest,
    ::testing::Values(
        LiteralCase{"Zero", Type("float"), 0.0, "0"},
        LiteralCase{"NegativeZero", Type("float"), -0.0, "0"},
        LiteralCase{"OneAndAHalf", Type("float"), 1.5, "1.5"},
        LiteralCase{"Negative", Type("float"), -2.5, "-2.5"},
        LiteralCase{"PointOne", Type("float"), 0.1, "0.1"},
        LiteralCase{"SumWithoutLoss", Type("float"), 0.1 + 0.2, "0.30000000000000004"},
        LiteralCase{"Third", Type("float"), 1.0 / 3.0, "0.3333333333333333"},
        LiteralCase{"SmallestFixed", Type("float"), 0.0001, "0.0001"},
        LiteralCase{"TenToMinusFive", Type("float"), 1e-5, "1E-5"},
        LiteralCase{"LargestFixed", Type("float"), 999999999999999.0, "999999999999999"},
        LiteralCase{"TenToFifteen", Type("float"), 1e15, "1E15"},
        LiteralCase{"Huge", Type("float"), 1.5e300, "1.5E300"},
        LiteralCase{"Max", Type("float"), DBL_MAX, "1.7976931348623157E308"},
        LiteralCase{"SmallestNormal", Type("float"), DBL_MIN, "2.2250738585072014E-308"},
        LiteralCase{"SmallestDenormal", Type("float"), std::numeric_limits<double>::denorm_min(),
                    "5E-324"},
        LiteralCase{"ManyDigitsLarge", Type("float"), 123456789012345680000.0,
                    "1.2345678901234568E20"},
        LiteralCase{"RealPointOne", Type("real"), static_cast<double>(0.1f), "0.1"},
        LiteralCase{"RealMax", Type("real"), static_cast<double>(FLT_MAX), "3.4028235E38"},
        LiteralCase{"RealSmallestDenormal", Type("real"),
                    static_cast<double>(std::numeric_limits<float>::denorm_min()), "1E-45"},
        LiteralCase{"RealThird", Type("real"), static_cast<double>(1.0f / 3.0f), "0.33333334"}),
    Name);

INSTANTIATE_TEST_SUITE_P(
    DateTime, FieldToSqlTest,
    ::testing::Values(
        LiteralCase{"Midnight", Type("datetime"), At(2017, 3, 5), "'05.03.2017'"},
        LiteralCase{"YearEnd", Type("datetime"), At(2017, 12, 31), "'31.12.2017'"},
        LiteralCase{"AfternoonKeepsTime", Type("datetime"), At(2017, 3, 5, 14, 30),
                    "'05.03.2017 14:30:00.000'"},
        LiteralCase{"Milliseconds", Type("datetime"), At(2017, 3, 5, 9, 5, 7, 123000000),
                    "'05.03.2017 09:05:07.123'"},
        LiteralCase{"OneTickAfterMidnight", Type("datetime"), At(2017, 1, 1, 0, 0, 0, 3333333),
                    "'01.01.2017 00:00:00.003'"},
        LiteralCase{"LastTickOfDay", Type("datetime"), At(2017, 1, 1, 23, 59, 59, 996666667),
                    "'01.01.2017 23:59:59.996'"},
        LiteralCase{"EarliestDatetime", Type("datetime"), At(1753, 1, 1), "'01.01.1753'"},
        LiteralCase{"SmalldatetimeMinutes", Type("smalldatetime"), At(2079, 6, 6, 23, 59),
                    "'06.06.2079 23:59:00.000'"}),
    Name);

INSTANTIATE_TEST_SUITE_P(
    Other, FieldToSqlTest,
    ::testing::Values(
        LiteralCase{"BitZero", Type("bit"), std::int64_t{0}, "0"},
        LiteralCase{"BitOne", Type("bit"), std::int64_t{1}, "1"},
        LiteralCase{"BigintMax", Type("bigint"), std::numeric_limits<std::int64_t>::max(),
                    "9223372036854775807"},
        LiteralCase{"BigintMin", Type("bigint"), std::numeric_limits<std::int64_t>::min(),
                    "-9223372036854775808"},
        LiteralCase{"MoneyMax", Type("money"), std::string("922337203685477.5807"),
                    "922337203685477.5807"},
        LiteralCase{"MoneyNegative", Type("money"), std::string("-12.3400"), "-12.3400"},
        LiteralCase{"Smallmoney", Type("smallmoney"), std::string("214748.3647"), "214748.3647"},
        LiteralCase{"DecimalFourPlaces", Type("decimal", 0, 18, 4),
                    std::string("12345678901234.5678"), "12345678901234.5678"},
        LiteralCase{"DecimalSmallestStep", Type("decimal", 0, 18, 4), std::string("-0.0001"),
                    "-0.0001"},
        LiteralCase{"Decimal38Digits", Type("decimal", 0, 38, 0),
                    std::string("99999999999999999999999999999999999999"),
                    "99999999999999999999999999999999999999"},
        LiteralCase{"Numeric38WithScale", Type("numeric", 0, 38, 10),
                    std::string("-1234567890123456789012345678.0123456789"),
                    "-1234567890123456789012345678.0123456789"},
        LiteralCase{"DecimalThatIsNoNumberIsQuoted", Type("decimal", 0, 18, 4),
                    std::string("1);DROP TABLE STOK--"), "'1);DROP TABLE STOK--'"},
        LiteralCase{"Binary", Type("binary", 4), db::Bytes{std::string("\x00\xFF\x1A\x7F", 4)},
                    "0x00FF1A7F"},
        LiteralCase{"EmptyVarbinary", Type("varbinary", 0), db::Bytes{}, "0x"},
        LiteralCase{"Image", Type("image", 2147483647), db::Bytes{std::string("\xAB")}, "0xAB"},
        LiteralCase{"Timestamp", Type("timestamp", 8), db::Bytes{std::string(8, '\x01')},
                    "DEFAULT"},
        LiteralCase{"NullTimestamp", Type("timestamp", 8), kNull, "DEFAULT"},
        LiteralCase{"Rowversion", Type("rowversion", 8), db::Bytes{std::string(8, '\x02')},
                    "DEFAULT"},
        LiteralCase{"SqlVariantAsQuotedText", Type("sql_variant"), std::string("it's"), "'it''s'"}),
    Name);

TEST(FieldToSqlFailure, NotANumberIsRefused) {
  const db::Field field("X", Type("float"), std::numeric_limits<double>::quiet_NaN());
  EXPECT_THROW(FieldToSql(field), std::domain_error);
}

TEST(FieldToSqlFailure, InfinityIsRefused) {
  const db::Field field("X", Type("real"), std::numeric_limits<double>::infinity());
  EXPECT_THROW(FieldToSql(field), std::domain_error);
}

}  // namespace
}  // namespace devir::script
