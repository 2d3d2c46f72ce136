// CREATE TABLE, CREATE INDEX and DROP TABLE, with the year schema as the main case.
#include <fstream>
#include <sstream>

#include "tests/sandbox/engine/engine_test_support.h"

namespace sandbox::testing {
namespace {

std::string YearSchema() {
  std::ifstream in(DEVIR_YEAR_SCHEMA_SQL);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST_F(EngineTest, YearSchemaCreatesEveryTable) {
  auto session = NewDatabase("E2018");
  std::string schema = YearSchema();
  ASSERT_FALSE(schema.empty());
  Ok(*session, schema);
  for (const char* table :
       {"DEPO", "STOK", "STOKHAREKET", "HESAPKODU", "DUZEYKODU1", "sirketler"}) {
    RecordingSink sink = Ok(*session, std::string("SELECT COUNT(*) FROM dbo.") + table);
    EXPECT_EQ(sink.Scalar(), Value{std::int64_t{0}}) << table;
  }
}

TEST_F(EngineTest, SelectStarReportsEachDeclaredType) {
  auto session = NewDatabase("E2018");
  Ok(*session, YearSchema());
  RecordingSink sink = Ok(*session, "SELECT * FROM STOK");
  ASSERT_EQ(sink.results.size(), 1u);
  const std::vector<ResultColumn>& columns = sink.results[0].columns;
  struct Expected {
    const char* name;
    SqlType type;
    int length;
    int precision;
    int scale;
    bool nullable;
  };
  const Expected expected[] = {
      {"ID", SqlType::Int, 0, 0, 0, false},
      {"STOKKODU", SqlType::NVarChar, 30, 0, 0, false},
      {"BARKOD", SqlType::VarChar, 30, 0, 0, true},
      {"KISAAD", SqlType::Char, 10, 0, 0, true},
      {"URETICI", SqlType::NChar, 10, 0, 0, true},
      {"ALISFIYATI", SqlType::Money, 0, 0, 0, true},
      {"SATISFIYATI", SqlType::Decimal, 0, 18, 4, true},
      {"ISKONTO", SqlType::SmallMoney, 0, 0, 0, true},
      {"MINSTOK", SqlType::Decimal, 0, 9, 0, true},
      {"AGIRLIK", SqlType::Real, 0, 0, 0, true},
      {"HACIM", SqlType::Float, 0, 0, 0, true},
      {"KOLIADET", SqlType::SmallInt, 0, 0, 0, true},
      {"TIP", SqlType::TinyInt, 0, 0, 0, true},
      {"KAYITNO", SqlType::BigInt, 0, 0, 0, true},
      {"PASIF", SqlType::Bit, 0, 0, 0, false},
      {"GUID", SqlType::UniqueIdentifier, 0, 0, 0, true},
      {"OLUSTURMA", SqlType::DateTime, 0, 0, 0, true},
      {"GUNCELLEME", SqlType::SmallDateTime, 0, 0, 0, true},
      {"SONSAYIM", SqlType::Date, 0, 0, 0, true},
      {"SAYIMSAATI", SqlType::Time, 0, 0, 7, true},
      {"DEGISIKLIK", SqlType::DateTime2, 0, 0, 7, true},
      {"ZAMANDAMGASI", SqlType::DateTimeOffset, 0, 0, 7, true},
      {"NOTLAR", SqlType::NVarChar, ColumnType::kMax, 0, 0, true},
      {"ACIKLAMA", SqlType::NText, 0, 0, 0, true},
      {"ETIKET", SqlType::VarChar, ColumnType::kMax, 0, 0, true},
      {"ESKIACIKLAMA", SqlType::Text, 0, 0, 0, true},
      {"RESIM", SqlType::VarBinary, ColumnType::kMax, 0, 0, true},
      {"KOD", SqlType::Binary, 4, 0, 0, true},
      {"OZELLIK", SqlType::Xml, 0, 0, 0, true},
      {"SURUM", SqlType::Timestamp, 8, 0, 0, true},
  };
  for (const Expected& e : expected) {
    auto it = std::find_if(columns.begin(), columns.end(),
                           [&](const ResultColumn& c) { return c.name == e.name; });
    ASSERT_NE(it, columns.end()) << e.name;
    EXPECT_EQ(it->type.type, e.type) << e.name;
    EXPECT_EQ(it->type.length, e.length) << e.name;
    EXPECT_EQ(it->type.precision, e.precision) << e.name;
    EXPECT_EQ(it->type.scale, e.scale) << e.name;
    EXPECT_EQ(it->nullable, e.nullable) << e.name;
  }
  EXPECT_EQ(columns.front().name, "ID");
  EXPECT_EQ(columns.back().name, "SURUM");
  EXPECT_TRUE(columns.front().identity);
}

TEST_F(EngineTest, CreateExistingTableFails2714) {
  auto session = NewDatabase("E2018");
  Ok(*session, "CREATE TABLE DEPO(KODU nvarchar(10))");
  RecordingSink sink = Run(*session, "CREATE TABLE depo(KODU nvarchar(10))");
  ASSERT_EQ(sink.errors.size(), 1u);
  EXPECT_EQ(sink.errors[0].number, 2714);
  EXPECT_EQ(sink.errors[0].severity, 16);
  EXPECT_STREQ(sink.errors[0].what(), "There is already an object named 'depo' in the database.");
}

TEST_F(EngineTest, UnknownTypeFails2715WithTheColumnNumber) {
  auto session = NewDatabase("E2018");
  RecordingSink sink = Run(*session, "CREATE TABLE T(A int, B varchar2(10))");
  ASSERT_EQ(sink.errors.size(), 1u);
  EXPECT_EQ(sink.errors[0].number, 2715);
  EXPECT_STREQ(sink.errors[0].what(),
               "Column, parameter, or variable #2: Cannot find data type varchar2.");
  EXPECT_EQ(Run(*session, "SELECT * FROM T").errors.at(0).number, 208);
}

TEST_F(EngineTest, DropUnknownTableFails3701) {
  auto session = NewDatabase("E2018");
  RecordingSink sink = Run(*session, "DROP TABLE dbo.YOK");
  ASSERT_EQ(sink.errors.size(), 1u);
  EXPECT_EQ(sink.errors[0].number, 3701);
  EXPECT_EQ(sink.errors[0].severity, 11);
  EXPECT_STREQ(sink.errors[0].what(),
               "Cannot drop the table 'dbo.YOK', because it does not exist or you do not have "
               "permission.");
}

TEST_F(EngineTest, DropTableRemovesItAndItsMetadata) {
  auto session = NewDatabase("E2018");
  Ok(*session, "CREATE TABLE T(A int)\nDROP TABLE T\nCREATE TABLE T(B nvarchar(3))");
  RecordingSink sink = Ok(*session, "SELECT * FROM T");
  ASSERT_EQ(sink.results.at(0).columns.size(), 1u);
  EXPECT_EQ(sink.results[0].columns[0].name, "B");
}

TEST_F(EngineTest, UniqueIndexRefusesDuplicatesWith2601) {
  auto session = NewDatabase("E2018");
  Ok(*session,
     "CREATE TABLE T(A int, B nvarchar(5))\n"
     "CREATE UNIQUE NONCLUSTERED INDEX IX_T_B ON T(B)\n"
     "INSERT INTO T VALUES(1, 'x')");
  RecordingSink sink = Run(*session, "INSERT INTO T VALUES(2, 'X')");
  ASSERT_EQ(sink.errors.size(), 1u);
  EXPECT_EQ(sink.errors[0].number, 2601);
  EXPECT_STREQ(sink.errors[0].what(),
               "Cannot insert duplicate key row in object 'dbo.T' with unique index 'IX_T_B'. The "
               "duplicate key value is (X).");
}

TEST_F(EngineTest, DefaultsInParenthesesAndGetDate) {
  auto session = NewDatabase("E2018");
  Ok(*session,
     "CREATE TABLE T(A int NOT NULL CONSTRAINT DF_A DEFAULT ((5)), B datetime DEFAULT "
     "(getdate()), C nvarchar(5) DEFAULT N'x')\nINSERT INTO T DEFAULT VALUES");
  RecordingSink sink = Ok(*session, "SELECT A, C FROM T");
  EXPECT_EQ(sink.results.at(0).rows.at(0), (Row{std::int64_t{5}, std::string("x")}));
}

}  // namespace
}  // namespace sandbox::testing
