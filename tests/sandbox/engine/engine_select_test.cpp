// SELECT translated to SQLite: result types, names, SQL Server's scoping in the stock balance
// query, case-insensitive names and text, streaming and cancel.
#include "tests/sandbox/engine/engine_test_support.h"

namespace sandbox::testing {
namespace {

// The stock balance query of the transfer, line for line as the program sends it.
constexpr const char* kBalanceQuery =
    "SELECT     dbo.DEPO.ADI AS DEPOADI, dbo.DEPO.KODU AS DEPOKODU, dbo.stokhareket.STOKKODU, "
    "ST.STOKADI, ST.BIRIM,\r\n"
    "ST. HESAPKODU , ST.DKODU1 , ST.DKODU2 , ST.DKODU3 , ST.DKODU4 , ST.DKODU5 , ST.SIRA , "
    "ST.KDVORAN, ISNULL\r\n"
    "                          ((SELECT     SUM(ADET)\r\n"
    "                              FROM         STOKHAREKET\r\n"
    "                              WHERE     GDEPO = DEPO.KODU AND STOKKODU = "
    "DBO.STOKhareket.STOKKODU), 0) - ISNULL\r\n"
    "                          ((SELECT     SUM(ADET)\r\n"
    "                              FROM         STOKHAREKET\r\n"
    "                              WHERE     CDEPO = DEPO.KODU AND STOKKODU = "
    "DBO.STOKhareket.STOKKODU), 0) AS KALAN, ISNULL\r\n"
    "                          ((SELECT     AVG(FIYAT)\r\n"
    "                              FROM         STOKHAREKET S\r\n"
    "                              WHERE     S.GDEPO = DEPO.KODU AND S.STOKKODU = "
    "STOKHAREKET.STOKKODU), 0) AS FIYAT\r\n"
    "FROM         dbo.STOK ST RIGHT OUTER JOIN\r\n"
    "                      dbo.stokhareket ON ST.STOKKODU = dbo.stokhareket.STOKKODU RIGHT "
    "OUTER JOIN\r\n"
    "                      dbo.DEPO ON dbo.DEPO.KODU = dbo.stokhareket.GDEPO OR dbo.DEPO.KODU = "
    "dbo.stokhareket.CDEPO\r\n"
    "GROUP BY dbo.DEPO.ADI, dbo.DEPO.KODU, dbo.stokhareket.STOKKODU, ST.STOKADI, ST.BIRIM,\r\n"
    "ST. HESAPKODU , ST.DKODU1 , ST.DKODU2 , ST.DKODU3 , ST.DKODU4 , ST.DKODU5 , ST.SIRA , "
    "ST.KDVORAN";

constexpr const char* kSchema =
    "CREATE TABLE DEPO (ID int IDENTITY(1,1) NOT NULL PRIMARY KEY, KODU nvarchar(10) NOT NULL "
    "UNIQUE, ADI nvarchar(50) NULL)\n"
    "CREATE TABLE STOK (ID int IDENTITY(1,1) NOT NULL PRIMARY KEY, STOKKODU nvarchar(30) NOT NULL "
    "UNIQUE, STOKADI nvarchar(100) NULL, BIRIM nvarchar(10) NULL, HESAPKODU nvarchar(20) NULL, "
    "DKODU1 nvarchar(20) NULL, DKODU2 nvarchar(20) NULL, DKODU3 nvarchar(20) NULL, DKODU4 "
    "nvarchar(20) NULL, DKODU5 nvarchar(20) NULL, SIRA int NULL, KDVORAN int NULL, FIYAT2 "
    "decimal(18,4) NULL)\n"
    "CREATE TABLE STOKHAREKET (ID int IDENTITY(1,1) NOT NULL PRIMARY KEY, TARIH datetime NOT "
    "NULL, GDEPO nvarchar(10) NULL, CDEPO nvarchar(10) NULL, STOKKODU nvarchar(30) NULL, ADET "
    "float NULL, FIYAT float NULL)\n"
    "CREATE INDEX IX_STOKHAREKET_GDEPO ON STOKHAREKET(GDEPO, STOKKODU)";

constexpr const char* kSample =
    "INSERT INTO DEPO(KODU, ADI) VALUES('01', 'ANADEPO'), ('02', N'ŞUBE'), ('03', 'BOŞ')\n"
    "INSERT INTO STOK(STOKKODU, STOKADI, BIRIM, KDVORAN) VALUES('A', 'Vida', 'AD', 18), "
    "('B', 'Somun', 'KG', 8)\n"
    "INSERT INTO STOKHAREKET(TARIH, GDEPO, CDEPO, STOKKODU, ADET, FIYAT) VALUES"
    "('20170105', '01', NULL, 'A', 10, 2),"
    "('20170106', '01', NULL, 'B', 5, 4),"
    "('20170107', '02', '01', 'A', 3, 6)";

class SelectTest : public EngineTest {
 protected:
  SelectTest() : session_(NewDatabase("E2017")) {
    Ok(*session_, kSchema);
    Ok(*session_, kSample);
  }

  // KALAN and FIYAT of the balance rows, keyed "depot/item".
  std::map<std::string, std::pair<double, double>> Balance(const std::string& sql) {
    RecordingSink sink = Ok(*session_, sql);
    std::map<std::string, std::pair<double, double>> out;
    if (sink.results.size() != 1) return out;
    const auto& columns = sink.results[0].columns;
    auto index = [&](const std::string& name) {
      for (size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].name == name) return i;
      }
      ADD_FAILURE() << "no column " << name;
      return size_t{0};
    };
    for (const Row& row : sink.results[0].rows) {
      std::string item = std::holds_alternative<std::string>(row[index("STOKKODU")])
                             ? std::get<std::string>(row[index("STOKKODU")])
                             : "NULL";
      out[std::get<std::string>(row[index("DEPOKODU")]) + "/" + item] = {
          std::get<double>(row[index("KALAN")]), std::get<double>(row[index("FIYAT")])};
    }
    return out;
  }

  std::unique_ptr<Session> session_;
};

TEST_F(SelectTest, BalanceQueryAsPrintedSumsTheWholeDepot) {
  std::map<std::string, std::pair<double, double>> rows = Balance(kBalanceQuery);
  // The first two subqueries bind the unaliased STOKHAREKET of their own FROM: depot 01
  // received 15 and issued 3 in all, so every item of depot 01 shows 12.
  std::map<std::string, std::pair<double, double>> expected = {
      {"01/A", {12, 2}}, {"01/B", {12, 4}}, {"02/A", {3, 6}}, {"03/NULL", {0, 0}}};
  EXPECT_EQ(rows, expected);
}

TEST_F(SelectTest, BalanceQueryWithAliasedInnerTableSumsPerItem) {
  std::string query = kBalanceQuery;
  // Alias the inner tables of the first two subqueries so that the outer item is used.
  for (const char* from : {"FROM         STOKHAREKET\r\n"}) {
    size_t at = 0;
    while ((at = query.find(from, at)) != std::string::npos) {
      query.replace(at, std::string(from).size(), "FROM         STOKHAREKET I\r\n");
      at += 10;
    }
  }
  for (const char* old_text :
       {"WHERE     GDEPO = DEPO.KODU AND STOKKODU = DBO.STOKhareket.STOKKODU",
        "WHERE     CDEPO = DEPO.KODU AND STOKKODU = DBO.STOKhareket.STOKKODU"}) {
    std::string text = old_text;
    std::string replacement = text;
    replacement.replace(replacement.find("STOKKODU ="), 10, "I.STOKKODU =");
    query.replace(query.find(text), text.size(), replacement);
  }
  std::map<std::string, std::pair<double, double>> rows = Balance(query);
  std::map<std::string, std::pair<double, double>> expected = {
      {"01/A", {7, 2}}, {"01/B", {5, 4}}, {"02/A", {3, 6}}, {"03/NULL", {0, 0}}};
  EXPECT_EQ(rows, expected);
}

TEST_F(SelectTest, BalanceQueryColumnsKeepTheirNamesAndTypes) {
  RecordingSink sink = Ok(*session_, kBalanceQuery);
  const auto& columns = sink.results.at(0).columns;
  ASSERT_EQ(columns.size(), 15u);
  EXPECT_EQ(columns[0].name, "DEPOADI");
  EXPECT_EQ(columns[2].name, "STOKKODU");
  EXPECT_EQ(columns[5].name, "HESAPKODU");
  EXPECT_EQ(columns[2].type, (ColumnType{SqlType::NVarChar, 30, 0, 0}));
  EXPECT_EQ(columns[12].type.type, SqlType::Int);
  EXPECT_EQ(columns[13].name, "KALAN");
  EXPECT_EQ(columns[13].type.type, SqlType::Float);
  EXPECT_EQ(columns[14].type.type, SqlType::Float);
}

struct TypeCase {
  const char* expression;
  ColumnType type;
};

TEST_F(SelectTest, ExpressionsAreTypedAsSqlServerTypesThem) {
  const TypeCase cases[] = {
      {"COUNT(*)", {SqlType::Int, 0, 0, 0}},
      {"SUM(ADET)", {SqlType::Float, 0, 0, 0}},
      {"ISNULL(SUM(ADET), 0)", {SqlType::Float, 0, 0, 0}},
      {"MAX(STOKKODU)", {SqlType::NVarChar, 30, 0, 0}},
      {"1", {SqlType::Int, 0, 0, 0}},
      {"1.5", {SqlType::Numeric, 0, 2, 1}},
      {"1E5", {SqlType::Float, 0, 0, 0}},
      {"'abc'", {SqlType::VarChar, 3, 0, 0}},
      {"N'abç'", {SqlType::NVarChar, 3, 0, 0}},
      {"ADET * 2", {SqlType::Float, 0, 0, 0}},
      {"ID + 1", {SqlType::Int, 0, 0, 0}},
      {"GETDATE()", {SqlType::DateTime, 0, 0, 0}},
      {"@@TRANCOUNT", {SqlType::Int, 0, 0, 0}},
      {"DB_NAME()", {SqlType::NVarChar, 128, 0, 0}},
      {"CAST(ID AS varchar(10))", {SqlType::VarChar, 10, 0, 0}},
      {"LEN(STOKKODU)", {SqlType::Int, 0, 0, 0}},
      {"(SELECT MAX(KODU) FROM DEPO)", {SqlType::NVarChar, 10, 0, 0}},
  };
  for (const TypeCase& c : cases) {
    RecordingSink sink = Ok(*session_, std::string("SELECT ") + c.expression + " FROM STOKHAREKET");
    ASSERT_EQ(sink.results.size(), 1u) << c.expression;
    EXPECT_EQ(sink.results[0].columns.at(0).type, c.type) << c.expression;
    EXPECT_EQ(sink.results[0].columns[0].name, "") << c.expression;
  }
  RecordingSink decimal = Ok(*session_, "SELECT SUM(FIYAT2) AS T FROM STOK");
  EXPECT_EQ(decimal.results.at(0).columns.at(0).type, (ColumnType{SqlType::Numeric, 0, 38, 4}));
  EXPECT_EQ(decimal.results[0].columns[0].name, "T");
}

TEST_F(SelectTest, SystemFunctionsAnswer) {
  RecordingSink sink = Ok(*session_, "SELECT @@VERSION, DB_NAME(), @@TRANCOUNT");
  const Row& row = sink.results.at(0).rows.at(0);
  EXPECT_EQ(std::get<std::string>(row[0]).rfind("Microsoft SQL Server", 0), 0u);
  EXPECT_EQ(row[1], Value{std::string("E2017")});
  EXPECT_EQ(row[2], Value{std::int64_t{0}});
}

// What a login may do and how text is encoded, asked of the server as SQL Server answers it.
TEST_F(SelectTest, ServerRolesAndTheCodePageAnswer) {
  RecordingSink sink = Ok(*session_,
                          "SELECT IS_SRVROLEMEMBER('sysadmin'), IS_SRVROLEMEMBER('dbcreator'), "
                          "IS_SRVROLEMEMBER('yok'), COLLATIONPROPERTY("
                          "CONVERT(nvarchar(128), SERVERPROPERTY('Collation')), 'CodePage')");
  EXPECT_EQ(sink.results.at(0).rows.at(0),
            (Row{std::int64_t{1}, std::int64_t{1}, std::monostate{}, std::int64_t{1254}}));
}

// A binary collation orders by code point: upper case before lower case, İ after z.
TEST_F(SelectTest, OrderByABinaryCollationOrdersByCodePoint) {
  Ok(*session_, "INSERT INTO DEPO(KODU) VALUES(N'a'), (N'İ'), (N'Z')");
  RecordingSink sink = Ok(*session_,
                          "SELECT KODU FROM DEPO WHERE KODU NOT LIKE '0%' "
                          "ORDER BY KODU COLLATE Latin1_General_BIN2");
  std::vector<Value> codes;
  for (const Row& row : sink.results.at(0).rows) codes.push_back(row.at(0));
  EXPECT_EQ(codes, (std::vector<Value>{std::string("Z"), std::string("a"), std::string("İ")}));
}

TEST_F(SelectTest, NamesAndTextCompareCaseInsensitively) {
  RecordingSink sink = Ok(*session_, "select stokadi from dbo.stok where stokkodu = 'a'");
  EXPECT_EQ(sink.Scalar(), Value{std::string("Vida")});
  RecordingSink turkish = Ok(*session_, "SELECT KODU FROM DEPO WHERE ADI = N'şube'");
  EXPECT_EQ(turkish.Scalar(), Value{std::string("02")});
  RecordingSink grouped =
      Ok(*session_,
         "INSERT INTO STOKHAREKET(TARIH, GDEPO, STOKKODU, ADET) VALUES('20170101', "
         "'01', 'a', 1)\nSELECT COUNT(DISTINCT STOKKODU) FROM STOKHAREKET");
  EXPECT_EQ(grouped.results.at(0).rows.at(0).at(0), Value{std::int64_t{2}});
}

TEST_F(SelectTest, TopLimitsAndOrderByOrders) {
  RecordingSink sink = Ok(*session_, "SELECT TOP 2 KODU FROM DEPO ORDER BY KODU DESC");
  ASSERT_EQ(sink.results.at(0).rows.size(), 2u);
  EXPECT_EQ(sink.results[0].rows[0][0], Value{std::string("03")});
  EXPECT_EQ(sink.dones.at(0).rows, 2);
}

TEST_F(SelectTest, PlusConcatenatesTextColumns) {
  RecordingSink sink = Ok(*session_, "SELECT KODU + ADI, ID + 1 FROM DEPO WHERE KODU = '01'");
  EXPECT_EQ(sink.results.at(0).rows.at(0), (Row{std::string("01ANADEPO"), std::int64_t{2}}));
  EXPECT_EQ(sink.results[0].columns[0].type, (ColumnType{SqlType::NVarChar, 60, 0, 0}));
}

TEST_F(SelectTest, StarOverASystemViewKeepsItsTypes) {
  RecordingSink sink = Ok(*session_, "SELECT * FROM sys.databases");
  const auto& columns = sink.results.at(0).columns;
  ASSERT_GE(columns.size(), 2u);
  EXPECT_EQ(columns[0].name, "name");
  EXPECT_EQ(columns[0].type, (ColumnType{SqlType::NVarChar, 128, 0, 0}));
  EXPECT_EQ(columns[1].type.type, SqlType::Int);
}

TEST_F(SelectTest, SysDatabasesListsTheCatalogue) {
  RecordingSink sink =
      Ok(*session_, "SELECT name, database_id FROM sys.databases WHERE name = 'e2017'");
  ASSERT_EQ(sink.results.at(0).rows.size(), 1u);
  EXPECT_EQ(sink.results[0].rows[0][0], Value{std::string("E2017")});
  EXPECT_EQ(sink.results[0].columns[0].type, (ColumnType{SqlType::NVarChar, 128, 0, 0}));
}

TEST_F(SelectTest, UnknownNamesReportSqlServersErrors) {
  struct Case {
    const char* sql;
    int number;
    const char* message;
  };
  const Case cases[] = {
      {"SELECT * FROM dbo.NOPE", 208, "Invalid object name 'dbo.NOPE'."},
      {"SELECT YOK FROM STOK", 207, "Invalid column name 'YOK'."},
      {"SELECT ST.YOK FROM STOK ST", 207, "Invalid column name 'YOK'."},
      {"SELECT X.STOKKODU FROM STOK ST", 4104,
       "The multi-part identifier \"X.STOKKODU\" could not be bound."},
      {"SELECT @x", 137, "Must declare the scalar variable \"@x\"."},
  };
  for (const Case& c : cases) {
    RecordingSink sink = Run(*session_, c.sql);
    ASSERT_EQ(sink.errors.size(), 1u) << c.sql;
    EXPECT_EQ(sink.errors[0].number, c.number) << c.sql;
    EXPECT_STREQ(sink.errors[0].what(), c.message) << c.sql;
  }
}

TEST_F(SelectTest, LargeResultsStreamAndStopOnCancel) {
  std::string insert = "INSERT INTO STOKHAREKET(TARIH, STOKKODU, ADET) VALUES ";
  for (int i = 0; i < 1000; ++i) insert += std::string(i ? "," : "") + "('20170101', 'X', 1)";
  for (int batch = 0; batch < 5; ++batch) Ok(*session_, insert);
  RecordingSink all = Ok(*session_, "SELECT ID FROM STOKHAREKET");
  EXPECT_EQ(all.results.at(0).rows.size(), 5003u);

  RecordingSink cancelled;
  cancelled.cancel_after_rows = 10;
  session_->ExecuteBatch("SELECT ID FROM STOKHAREKET\nSELECT 1", cancelled);
  EXPECT_EQ(cancelled.rows_seen, 10);
  EXPECT_TRUE(cancelled.errors.empty());
  EXPECT_TRUE(cancelled.dones.empty());  // the client's attention acknowledgement ends it
  EXPECT_EQ(cancelled.results.size(), 1u);
  // The session is usable afterwards.
  EXPECT_EQ(Ok(*session_, "SELECT 1").Scalar(), Value{std::int64_t{1}});
}

TEST_F(SelectTest, CancelStopsALongQueryBeforeItsFirstRow) {
  RecordingSink sink;
  sink.cancelled = true;
  session_->ExecuteBatch("SELECT COUNT(*) FROM STOKHAREKET A, STOKHAREKET B, STOKHAREKET C", sink);
  EXPECT_TRUE(sink.errors.empty());
  EXPECT_TRUE(sink.dones.empty());
}

}  // namespace
}  // namespace sandbox::testing
