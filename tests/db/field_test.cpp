#include "db/field.h"

#include <gtest/gtest.h>

#include "db/database_error.h"
#include "db/odbc/statement.h"

namespace devir::db {
namespace {

ColumnType Type(const char* name, long long size = 10, int precision = 0, int scale = 0) {
  ColumnType type;
  type.type_name = name;
  type.size = size;
  type.precision = precision;
  type.scale = scale;
  return type;
}

struct KindCase {
  ColumnType type;
  FieldKind kind;
};

class KindOfTest : public ::testing::TestWithParam<KindCase> {};

TEST_P(KindOfTest, FollowsTheColumnType) {
  EXPECT_EQ(KindOf(GetParam().type), GetParam().kind)
      << GetParam().type.type_name << " size " << GetParam().type.size << " precision "
      << GetParam().type.precision << " scale " << GetParam().type.scale;
}

INSTANTIATE_TEST_SUITE_P(
    Table, KindOfTest,
    ::testing::Values(
        KindCase{Type("char"), FieldKind::Text}, KindCase{Type("varchar", 30), FieldKind::Text},
        KindCase{Type("varchar", 8000), FieldKind::Text}, KindCase{Type("nchar"), FieldKind::Text},
        KindCase{Type("nvarchar", 100), FieldKind::Text},
        KindCase{Type("nvarchar", 4000), FieldKind::Text},
        KindCase{Type("NVARCHAR", 20), FieldKind::Text},
        KindCase{Type("uniqueidentifier", 36), FieldKind::Text},
        KindCase{Type("date"), FieldKind::Text}, KindCase{Type("time", 16), FieldKind::Text},
        KindCase{Type("datetime2", 27), FieldKind::Text},
        KindCase{Type("datetimeoffset", 34), FieldKind::Text},
        KindCase{Type("int"), FieldKind::Integer},
        KindCase{Type("int identity"), FieldKind::Integer},
        KindCase{Type("smallint"), FieldKind::Integer},
        KindCase{Type("tinyint"), FieldKind::Integer},
        KindCase{Type("decimal", 9, 9, 0), FieldKind::Integer},
        KindCase{Type("numeric", 5, 5, 0), FieldKind::Integer},
        KindCase{Type("decimal", 10, 10, 0), FieldKind::Other},
        KindCase{Type("decimal", 5, 5, 2), FieldKind::Other},
        KindCase{Type("decimal", 18, 18, 4), FieldKind::Other},
        KindCase{Type("numeric", 38, 38, 0), FieldKind::Other},
        KindCase{Type("float", 53), FieldKind::Float}, KindCase{Type("real", 24), FieldKind::Float},
        KindCase{Type("datetime", 23), FieldKind::DateTime},
        KindCase{Type("smalldatetime", 16), FieldKind::DateTime},
        KindCase{Type("bit", 1), FieldKind::Other}, KindCase{Type("bigint", 19), FieldKind::Other},
        KindCase{Type("money", 19, 19, 4), FieldKind::Other},
        KindCase{Type("smallmoney", 10, 10, 4), FieldKind::Other},
        KindCase{Type("text", 2147483647), FieldKind::Other},
        KindCase{Type("ntext", 1073741823), FieldKind::Other},
        KindCase{Type("varchar", 0), FieldKind::Other},
        KindCase{Type("nvarchar", 0), FieldKind::Other},
        KindCase{Type("nvarchar", 1073741823), FieldKind::Other},
        KindCase{Type("xml", 0), FieldKind::Other}, KindCase{Type("binary", 4), FieldKind::Other},
        KindCase{Type("varbinary", 0), FieldKind::Other},
        KindCase{Type("image", 2147483647), FieldKind::Other},
        KindCase{Type("timestamp", 8), FieldKind::Other},
        KindCase{Type("sql_variant", 8000), FieldKind::Other}));

TEST(FieldAsText, EachValueFormHasItsText) {
  struct Case {
    FieldValue value;
    const char* text;
  };
  for (const Case& c :
       {Case{FieldValue{}, ""}, Case{std::string(" O'Brien  "), " O'Brien  "},
        Case{std::int64_t{-42}, "-42"},
        Case{std::int64_t{9223372036854775807}, "9223372036854775807"}, Case{1.5, "1.5"},
        Case{1.5e-5, "1.5E-5"},
        Case{DateTime{2017, 3, 5, 14, 30, 7, 123000000}, "05.03.2017 14:30:07"},
        Case{DateTime{2017, 12, 31}, "31.12.2017 00:00:00"},
        Case{Bytes{std::string("\x00\x1f\xab\xff", 4)}, "001FABFF"}, Case{Bytes{}, ""}}) {
    EXPECT_EQ(Field("F", Type("x"), c.value).AsText(), c.text);
  }
}

TEST(FieldBaseType, IsTheReportedNameWithoutSizeInLowerCase) {
  EXPECT_EQ(Field("F", Type("NVARCHAR(40)"), FieldValue{}).BaseType(), "nvarchar");
  EXPECT_EQ(Field("F", Type("int identity"), FieldValue{}).BaseType(), "int");
  EXPECT_EQ(Field("F", Type("datetime2"), FieldValue{}).BaseType(), "datetime2");
}

// The query refills a text field row by row in place.
TEST(FieldResetText, GivesTheEmptyTextWhateverTheValueWas) {
  for (const FieldValue& before : {FieldValue{}, FieldValue{std::string(100, 'a')},
                                   FieldValue{std::int64_t{7}}, FieldValue{Bytes{"\x01"}}}) {
    Field field("F", Type("nvarchar"), before);
    std::string& text = field.ResetText();
    EXPECT_EQ(text, "");
    text += "Çay";
    EXPECT_EQ(field.Value(), FieldValue{std::string("Çay")});
  }
}

TEST(FieldAsFloat, NumbersAndExactTextAreRead) {
  EXPECT_EQ(Field("F", Type("float"), FieldValue{}).AsFloat(), 0.0);
  EXPECT_EQ(Field("F", Type("int"), std::int64_t{-7}).AsFloat(), -7.0);
  EXPECT_EQ(Field("F", Type("float"), 2.25).AsFloat(), 2.25);
  EXPECT_EQ(Field("F", Type("decimal"), std::string("12.3400")).AsFloat(), 12.34);
  EXPECT_EQ(Field("F", Type("money"), std::string("-922337203685477.5808")).AsFloat(),
            -922337203685477.5808);
  EXPECT_EQ(Field("F", Type("char"), std::string(" 5 ")).AsFloat(), 5.0);
}

TEST(FieldAsFloat, DateTimeCountsDaysSince30December1899) {
  EXPECT_EQ(Field("F", Type("datetime"), DateTime{1899, 12, 30}).AsFloat(), 0.0);
  EXPECT_EQ(Field("F", Type("datetime"), DateTime{1900, 1, 1, 12}).AsFloat(), 2.5);
  EXPECT_EQ(Field("F", Type("datetime"), DateTime{1899, 12, 29, 6}).AsFloat(), -1.25);
  EXPECT_EQ(Field("F", Type("datetime"), DateTime{2017, 12, 31}).AsFloat(), 43100.0);
}

TEST(FieldAsFloat, NonNumbersThrowNamingTheField) {
  for (const FieldValue& value : {FieldValue{std::string("1,5")}, FieldValue{std::string("abc")},
                                  FieldValue{std::string()}, FieldValue{Bytes{"\x01"}}}) {
    try {
      Field("FIYAT", Type("nvarchar"), value).AsFloat();
      ADD_FAILURE() << "no error";
    } catch (const DatabaseError& error) {
      EXPECT_NE(std::string(error.what()).find("FIYAT"), std::string::npos);
    }
  }
}

TEST(FieldAsDateTime, ReadsDateTimesAndTheIsoTextOfNewerTypes) {
  const DateTime value{2017, 3, 5, 14, 30, 0, 0};
  EXPECT_EQ(Field("F", Type("datetime"), value).AsDateTime(), value);
  EXPECT_EQ(Field("F", Type("date"), std::string("2017-03-05")).AsDateTime(),
            (DateTime{2017, 3, 5}));
  EXPECT_EQ(Field("F", Type("datetime2"), std::string("2017-03-05 14:30:00.1234567")).AsDateTime(),
            (DateTime{2017, 3, 5, 14, 30, 0, 123456700}));
  EXPECT_EQ(
      Field("F", Type("datetimeoffset"), std::string("2017-03-05 14:30:00.5 +03:00")).AsDateTime(),
      (DateTime{2017, 3, 5, 14, 30, 0, 500000000}));
  EXPECT_EQ(Field("F", Type("time"), std::string("14:30:00")).AsDateTime(),
            (DateTime{1899, 12, 30, 14, 30, 0}));
  EXPECT_EQ(Field("F", Type("datetime"), FieldValue{}).AsDateTime(), (DateTime{1899, 12, 30}));
  EXPECT_THROW(Field("F", Type("int"), std::int64_t{5}).AsDateTime(), DatabaseError);
  EXPECT_THROW(Field("F", Type("nvarchar"), std::string("05.03.2017")).AsDateTime(), DatabaseError);
}

TEST(FormOf, ExactTypesAreReadAsTextAndDatesByName) {
  EXPECT_EQ(FormOf(Type("decimal")), ValueForm::ExactText);
  EXPECT_EQ(FormOf(Type("money")), ValueForm::ExactText);
  EXPECT_EQ(FormOf(Type("smallmoney")), ValueForm::ExactText);
  EXPECT_EQ(FormOf(Type("numeric() identity")), ValueForm::ExactText);
  EXPECT_EQ(FormOf(Type("int identity")), ValueForm::Integer);
  EXPECT_EQ(FormOf(Type("bit")), ValueForm::Integer);
  EXPECT_EQ(FormOf(Type("real")), ValueForm::Double);
  EXPECT_EQ(FormOf(Type("datetime")), ValueForm::Timestamp);
  EXPECT_EQ(FormOf(Type("smalldatetime")), ValueForm::Timestamp);
  // Same ODBC type as datetime, but read as ISO text so no digit of the fraction is lost.
  EXPECT_EQ(FormOf(Type("datetime2")), ValueForm::DateText);
  EXPECT_EQ(FormOf(Type("date")), ValueForm::DateText);
  EXPECT_EQ(FormOf(Type("datetimeoffset")), ValueForm::DateText);
  EXPECT_EQ(FormOf(Type("time")), ValueForm::Text);
  EXPECT_EQ(FormOf(Type("timestamp")), ValueForm::Binary);
  EXPECT_EQ(FormOf(Type("image")), ValueForm::Binary);
  EXPECT_EQ(FormOf(Type("uniqueidentifier")), ValueForm::Text);
}

}  // namespace
}  // namespace devir::db
