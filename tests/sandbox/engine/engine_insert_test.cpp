// INSERT as SQL Server runs it: defaults, identities, row versions, conversions through the
// column types, and each error with its number, severity, state and text.
#include "tests/sandbox/engine/engine_test_support.h"

namespace sandbox::testing {
namespace {

constexpr const char* kSchema =
    "CREATE TABLE DEPO (\n"
    "  ID int IDENTITY(1,1) NOT NULL PRIMARY KEY,\n"
    "  KODU nvarchar(10) NOT NULL UNIQUE,\n"
    "  ADI nvarchar(50) NULL,\n"
    "  TELEFON varchar(20) NULL,\n"
    "  AKTIF bit NOT NULL DEFAULT 1,\n"
    "  ACILIS datetime NULL DEFAULT getdate(),\n"
    "  SURUM timestamp NULL\n"
    ");\n"
    "CREATE TABLE IKILI (A int NOT NULL, B nvarchar(5) NOT NULL, CONSTRAINT PK_IKILI PRIMARY KEY "
    "(A, B))";

class InsertTest : public EngineTest {
 protected:
  InsertTest() : session_(NewDatabase("E2018")) { Ok(*session_, kSchema); }

  Row OnlyRow(const std::string& sql) {
    RecordingSink sink = Ok(*session_, sql);
    if (sink.results.empty() || sink.results[0].rows.size() != 1) {
      ADD_FAILURE() << "expected one row from " << sql;
      return {};
    }
    return sink.results[0].rows[0];
  }

  std::unique_ptr<Session> session_;
};

TEST_F(InsertTest, OmittedColumnsTakeDefaultIdentityAndRowVersion) {
  Ok(*session_, "INSERT INTO DEPO(KODU) VALUES('01')");
  Ok(*session_, "INSERT INTO DEPO(KODU, AKTIF) VALUES('02', DEFAULT)");
  RecordingSink sink = Ok(*session_, "SELECT ID, AKTIF, ADI, ACILIS, SURUM FROM DEPO ORDER BY ID");
  const auto& rows = sink.results.at(0).rows;
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][0], Value{std::int64_t{1}});
  EXPECT_EQ(rows[1][0], Value{std::int64_t{2}});
  EXPECT_EQ(rows[0][1], Value{std::int64_t{1}});
  EXPECT_EQ(rows[1][1], Value{std::int64_t{1}});
  EXPECT_EQ(rows[0][2], Value{});
  EXPECT_TRUE(std::holds_alternative<std::string>(rows[0][3]));  // getdate()
  ASSERT_TRUE(std::holds_alternative<Blob>(rows[0][4]));
  EXPECT_EQ(std::get<Blob>(rows[0][4]).bytes.size(), 8u);
  EXPECT_NE(rows[0][4], rows[1][4]);
}

// A table dropped and made again with the same column names but other types must store by
// the new types, even though the INSERT's text (and so a reused statement) is the same.
TEST_F(InsertTest, RecreatedTableStoresByItsNewTypes) {
  Ok(*session_, "CREATE TABLE YENI (A int NULL, B nvarchar(10) NULL)");
  Ok(*session_, "INSERT INTO YENI(A, B) VALUES(1, N'x')");
  Ok(*session_, "DROP TABLE YENI");
  Ok(*session_, "CREATE TABLE YENI (A nvarchar(10) NULL, B int NULL)");
  Ok(*session_, "INSERT INTO YENI(A, B) VALUES(1, N'7')");
  EXPECT_EQ(OnlyRow("SELECT A, B FROM YENI"), (Row{std::string("1"), std::int64_t{7}}));
}

// The session keeps the last column list it resolved: a new list, or the same list on a
// table made again with its columns in another order, must land each value in its column.
TEST_F(InsertTest, ColumnListsAreResolvedAgainForANewListOrTable) {
  Ok(*session_, "CREATE TABLE IKI (A int NULL, B nvarchar(10) NULL)");
  Ok(*session_, "INSERT INTO IKI(A, B) VALUES(1, N'x')\nINSERT INTO IKI(A, B) VALUES(2, N'y')");
  Ok(*session_, "INSERT INTO IKI(B, A) VALUES(N'z', 3)");
  Ok(*session_, "DROP TABLE IKI\nCREATE TABLE IKI (B nvarchar(10) NULL, A int NULL)");
  Ok(*session_, "INSERT INTO IKI(A, B) VALUES(4, N'w')");
  EXPECT_EQ(OnlyRow("SELECT A, B FROM IKI"), (Row{std::int64_t{4}, std::string("w")}));
}

TEST_F(InsertTest, InsertWithoutColumnListSkipsTheIdentity) {
  Ok(*session_, "INSERT INTO DEPO VALUES(N'01', N'Ana', NULL, 0, NULL, DEFAULT)");
  Row row = OnlyRow("SELECT ID, KODU, AKTIF FROM DEPO");
  EXPECT_EQ(row, (Row{std::int64_t{1}, std::string("01"), std::int64_t{0}}));
}

TEST_F(InsertTest, MultiRowValuesInsertsEveryRow) {
  RecordingSink sink =
      Ok(*session_, "INSERT INTO DEPO(KODU,ADI) VALUES('01','A'),('02','B'),('03',NULL)");
  ASSERT_EQ(sink.dones.size(), 1u);
  EXPECT_EQ(sink.dones[0].rows, 3);
  EXPECT_EQ(OnlyRow("SELECT COUNT(*) FROM DEPO")[0], Value{std::int64_t{3}});
}

TEST_F(InsertTest, AFailingRowUndoesTheWholeStatement) {
  RecordingSink sink = Run(*session_, "INSERT INTO DEPO(KODU) VALUES('01'),('02'),('01')");
  ASSERT_EQ(sink.errors.size(), 1u);
  EXPECT_EQ(sink.errors[0].number, 2627);
  EXPECT_EQ(OnlyRow("SELECT COUNT(*) FROM DEPO")[0], Value{std::int64_t{0}});
}

TEST_F(InsertTest, VarcharKeepsOnlyCodePage1254Characters) {
  Ok(*session_, "INSERT INTO DEPO(KODU, ADI, TELEFON) VALUES('01', N'Ağ€ж', 'Ağ€ж')");
  Row row = OnlyRow("SELECT ADI, TELEFON FROM DEPO");
  EXPECT_EQ(row[0], Value{std::string("Ağ€ж")});
  EXPECT_EQ(row[1], Value{std::string("Ağ€?")});
}

TEST_F(InsertTest, StringConcatenationAndCharFunctions) {
  Ok(*session_, "INSERT INTO DEPO(KODU, ADI) VALUES('0' + '1', 'A' + CHAR(65) + NCHAR(351))");
  Row row = OnlyRow("SELECT KODU, ADI FROM DEPO");
  EXPECT_EQ(row[0], Value{std::string("01")});
  EXPECT_EQ(row[1], Value{std::string("AAş")});
}

TEST_F(InsertTest, IdentityInsertOnAcceptsExplicitValues) {
  Ok(*session_,
     "SET IDENTITY_INSERT DEPO ON\nINSERT INTO DEPO(ID, KODU) VALUES(10, '10')\n"
     "SET IDENTITY_INSERT DEPO OFF\nINSERT INTO DEPO(KODU) VALUES('11')");
  RecordingSink sink = Ok(*session_, "SELECT ID FROM DEPO ORDER BY ID");
  const auto& rows = sink.results.at(0).rows;
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1][0], Value{std::int64_t{11}});
}

TEST_F(InsertTest, ScopeIdentityReportsTheLastIdentity) {
  Ok(*session_, "INSERT INTO DEPO(KODU) VALUES('01'),('02')");
  EXPECT_EQ(OnlyRow("SELECT SCOPE_IDENTITY()")[0], Value{std::string("2")});
}

struct InsertError {
  const char* name;
  const char* sql;
  int number;
  int severity;
  int state;
  const char* message;
};

class InsertErrorTest : public InsertTest, public ::testing::WithParamInterface<InsertError> {};

TEST_P(InsertErrorTest, ReportsSqlServersError) {
  const InsertError& expected = GetParam();
  Ok(*session_, "INSERT INTO DEPO(KODU) VALUES('01')\nINSERT INTO IKILI(A,B) VALUES(1,'x')");
  RecordingSink sink = Run(*session_, expected.sql);
  ASSERT_EQ(sink.errors.size(), 1u) << expected.sql;
  const SqlError& error = sink.errors[0];
  EXPECT_EQ(error.number, expected.number);
  EXPECT_EQ(error.severity, expected.severity);
  EXPECT_EQ(error.state, expected.state);
  if (expected.message) {
    EXPECT_STREQ(error.what(), expected.message);
  }
  EXPECT_EQ(error.line, 1);
  ASSERT_EQ(sink.dones.size(), 1u);
  EXPECT_TRUE(sink.dones[0].error);
  // Nothing was inserted.
  EXPECT_EQ(OnlyRow("SELECT COUNT(*) FROM DEPO")[0], Value{std::int64_t{1}});
}

INSTANTIATE_TEST_SUITE_P(
    Errors, InsertErrorTest,
    ::testing::Values(
        InsertError{"NullIntoNotNull", "INSERT INTO DEPO(ADI) VALUES('x')", 515, 16, 2,
                    "Cannot insert the value NULL into column 'KODU', table 'E2018.dbo.DEPO'; "
                    "column does not allow nulls. INSERT fails."},
        InsertError{"ExplicitNull", "INSERT INTO DEPO(KODU) VALUES(NULL)", 515, 16, 2, nullptr},
        InsertError{"ExplicitIdentity", "INSERT INTO DEPO(ID, KODU) VALUES(7, '07')", 544, 16, 1,
                    "Cannot insert explicit value for identity column in table 'DEPO' when "
                    "IDENTITY_INSERT is set to OFF."},
        InsertError{"DuplicateUnique", "INSERT INTO DEPO(KODU) VALUES(N'01')", 2627, 14, 1,
                    nullptr},
        InsertError{"DuplicateUniqueOtherCase", "INSERT INTO DEPO(KODU) VALUES('01')", 2627, 14, 1,
                    nullptr},
        InsertError{"DuplicatePrimaryKey", "INSERT INTO IKILI(A,B) VALUES(1,'X')", 2627, 14, 1,
                    "Violation of PRIMARY KEY constraint 'PK_IKILI'. Cannot insert duplicate key "
                    "in object 'dbo.IKILI'. The duplicate key value is (1, X)."},
        InsertError{"UnknownTable", "INSERT INTO dbo.YOK(A) VALUES(1)", 208, 16, 1,
                    "Invalid object name 'dbo.YOK'."},
        InsertError{"UnknownColumn", "INSERT INTO DEPO(KODU, YOK) VALUES('02', 1)", 207, 16, 1,
                    "Invalid column name 'YOK'."},
        InsertError{"MoreColumns", "INSERT INTO DEPO(KODU, ADI) VALUES('02')", 109, 15, 1,
                    "There are more columns in the INSERT statement than values specified in the "
                    "VALUES clause. The number of values in the VALUES clause must match the "
                    "number of columns specified in the INSERT statement."},
        InsertError{"FewerColumns", "INSERT INTO DEPO(KODU) VALUES('02', 'x')", 110, 15, 1,
                    "There are fewer columns in the INSERT statement than values specified in "
                    "the VALUES clause. The number of values in the VALUES clause must match the "
                    "number of columns specified in the INSERT statement."},
        InsertError{"WrongValueCount", "INSERT INTO DEPO VALUES('02')", 213, 16, 1,
                    "Column name or number of supplied values does not match table definition."},
        InsertError{"ExplicitTimestamp", "INSERT INTO DEPO(KODU, SURUM) VALUES('02', 0x01)", 273,
                    16, 1, nullptr},
        InsertError{"ColumnNameAsValue", "INSERT INTO DEPO(KODU) VALUES(ADI)", 128, 15, 1, nullptr},
        InsertError{"TooLongForColumn", "INSERT INTO DEPO(KODU) VALUES('12345678901')", 2628, 16, 1,
                    nullptr}),
    [](const ::testing::TestParamInfo<InsertError>& param) { return param.param.name; });

TEST_F(InsertTest, DuplicateKeyMessageNamesTheGeneratedConstraint) {
  Ok(*session_, "INSERT INTO DEPO(KODU) VALUES('01')");
  RecordingSink sink = Run(*session_, "INSERT INTO DEPO(KODU) VALUES('01')");
  ASSERT_EQ(sink.errors.size(), 1u);
  std::string message = sink.errors[0].what();
  EXPECT_EQ(message.rfind("Violation of UNIQUE KEY constraint 'UQ__DEPO__", 0), 0u) << message;
  EXPECT_NE(message.find("'. Cannot insert duplicate key in object 'dbo.DEPO'. The duplicate key "
                         "value is (01)."),
            std::string::npos)
      << message;
}

TEST_F(InsertTest, InsertSelectCopiesRowsThroughTheColumnTypes) {
  Ok(*session_, "SET DATEFORMAT dmy\nINSERT INTO DEPO(KODU, ACILIS) VALUES('01', '31.12.2017')");
  Ok(*session_,
     "CREATE TABLE KOPYA(K nvarchar(10), T datetime)\n"
     "INSERT INTO KOPYA(K, T) SELECT KODU, ACILIS FROM DEPO");
  Row row = OnlyRow("SELECT K, T FROM KOPYA");
  EXPECT_EQ(row, (Row{std::string("01"), std::string("2017-12-31 00:00:00.000")}));
  RecordingSink sink = Run(*session_, "INSERT INTO KOPYA(K) SELECT KODU, ADI FROM DEPO");
  ASSERT_EQ(sink.errors.size(), 1u);
  EXPECT_EQ(sink.errors[0].number, 121);
}

TEST_F(InsertTest, ThreePartNameWritesIntoAnotherDatabase) {
  auto master = engine_->OpenSession("master");
  Ok(*master,
     "CREATE DATABASE sirketambar\nUSE sirketambar\n"
     "CREATE TABLE sirketler(ID int IDENTITY(1,1) NOT NULL PRIMARY KEY, SirketAdi "
     "nvarchar(50) NOT NULL)");
  Ok(*session_, "INSERT INTO sirketambar.dbo.sirketler(SirketAdi) VALUES('E2018')");
  RecordingSink sink = Ok(*master, "SELECT SirketAdi FROM sirketler");
  EXPECT_EQ(sink.Scalar(), Value{std::string("E2018")});
  EXPECT_EQ(OnlyRow("SELECT COUNT(*) FROM sirketambar.dbo.sirketler")[0], Value{std::int64_t{1}});
}

TEST_F(InsertTest, DateTextFollowsSetDateFormat) {
  Ok(*session_, "SET DATEFORMAT dmy\nINSERT INTO DEPO(KODU, ACILIS) VALUES('01', '05.03.2017')");
  Ok(*session_, "SET DATEFORMAT mdy\nINSERT INTO DEPO(KODU, ACILIS) VALUES('02', '05.03.2017')");
  RecordingSink sink = Ok(*session_, "SELECT ACILIS FROM DEPO ORDER BY KODU");
  const auto& rows = sink.results.at(0).rows;
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][0], Value{std::string("2017-03-05 00:00:00.000")});
  EXPECT_EQ(rows[1][0], Value{std::string("2017-05-03 00:00:00.000")});
}

}  // namespace
}  // namespace sandbox::testing
