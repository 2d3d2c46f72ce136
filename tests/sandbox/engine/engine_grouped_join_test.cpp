// The stock balance query's grouped evaluation (GroupedJoinPlan) against SQLite's own, row by
// row: NULL keys and values, Turkish case folding in joins and keys, depots and items without
// rows, sums whose order matters, integer totals and the printed (per-depot) form.
#include "sandbox/engine/grouped_join_plan.h"

#include <algorithm>
#include <map>

#include "sandbox/engine/database_file.h"
#include "sandbox/engine/schema.h"
#include "sandbox/engine/tsql_lexer.h"
#include "tests/sandbox/engine/engine_test_support.h"

namespace sandbox::testing {
namespace {

// The balance query as the transfer sends it; {HAVING} is where the per-row variant differs.
std::string BalanceQuery(const std::string& totals, const std::string& tail = "") {
  return "SELECT DEPO.ADI AS DEPOADI, DEPO.KODU AS DEPOKODU, dbo.stokhareket.STOKKODU, "
         "ST.STOKADI, ST.BIRIM, ST.KDVORAN, " +
         totals +
         "\r\nFROM dbo.STOK ST RIGHT OUTER JOIN dbo.stokhareket ON ST.STOKKODU = "
         "dbo.stokhareket.STOKKODU RIGHT OUTER JOIN dbo.DEPO ON dbo.DEPO.KODU = "
         "dbo.stokhareket.GDEPO OR dbo.DEPO.KODU = dbo.stokhareket.CDEPO\r\n"
         "GROUP BY dbo.DEPO.ADI, dbo.DEPO.KODU, dbo.stokhareket.STOKKODU, ST.STOKADI, ST.BIRIM, "
         "ST.KDVORAN" +
         tail;
}

// Received minus issued per depot and item, and the average price received.
constexpr const char* kPerItemTotals =
    "ISNULL((SELECT SUM(ADET) FROM STOKHAREKET G WHERE GDEPO = DEPO.KODU AND STOKKODU = "
    "DBO.STOKhareket.STOKKODU), 0) - ISNULL((SELECT SUM(ADET) FROM STOKHAREKET C WHERE CDEPO = "
    "DEPO.KODU AND STOKKODU = DBO.STOKhareket.STOKKODU), 0) AS KALAN, ISNULL((SELECT "
    "AVG(FIYAT) FROM STOKHAREKET S WHERE S.GDEPO = DEPO.KODU AND S.STOKKODU = "
    "STOKHAREKET.STOKKODU), 0) AS FIYAT";

// As printed: the unaliased inner table takes the item column, so the totals are per depot.
constexpr const char* kPrintedTotals =
    "ISNULL((SELECT SUM(ADET) FROM STOKHAREKET WHERE GDEPO = DEPO.KODU AND STOKKODU = "
    "DBO.STOKhareket.STOKKODU), 0) - ISNULL((SELECT SUM(ADET) FROM STOKHAREKET WHERE CDEPO = "
    "DEPO.KODU AND STOKKODU = DBO.STOKhareket.STOKKODU), 0) AS KALAN";

// Per-depot totals whose value does not depend on the order of the rows.
constexpr const char* kPerDepotTotals =
    "ISNULL((SELECT SUM(ADEDI) FROM STOKHAREKET WHERE GDEPO = DEPO.KODU AND STOKKODU = "
    "DBO.STOKhareket.STOKKODU), 0) - (SELECT COUNT(*) FROM STOKHAREKET WHERE CDEPO = "
    "DEPO.KODU) AS FARK";

// Integer sums, counts and a real literal.
constexpr const char* kIntegerTotals =
    "ISNULL((SELECT SUM(ADEDI) FROM STOKHAREKET G WHERE G.GDEPO = DEPO.KODU AND G.STOKKODU = "
    "STOKHAREKET.STOKKODU), 1.5) + (SELECT COUNT(*) FROM STOKHAREKET C WHERE C.CDEPO = "
    "DEPO.KODU AND C.STOKKODU = STOKHAREKET.STOKKODU) AS TOPLAM, (SELECT COUNT(FIYAT) FROM "
    "STOKHAREKET G WHERE G.GDEPO = DEPO.KODU) AS SAYI";

constexpr const char* kSchema =
    "CREATE TABLE DEPO (ID int IDENTITY(1,1) NOT NULL PRIMARY KEY, KODU nvarchar(10) NOT NULL "
    "UNIQUE, ADI nvarchar(50) NULL)\n"
    "CREATE TABLE STOK (ID int IDENTITY(1,1) NOT NULL PRIMARY KEY, STOKKODU nvarchar(30) NOT NULL "
    "UNIQUE, STOKADI nvarchar(100) NULL, BIRIM nvarchar(10) NULL, KDVORAN int NULL)\n"
    "CREATE TABLE STOKHAREKET (ID int IDENTITY(1,1) NOT NULL PRIMARY KEY, GDEPO nvarchar(10) "
    "NULL, CDEPO nvarchar(10) NULL, STOKKODU nvarchar(30) NULL, ADET float NULL, FIYAT float "
    "NULL, ADEDI bigint NULL)\n"
    "CREATE INDEX IX_STOKHAREKET_GDEPO ON STOKHAREKET(GDEPO, STOKKODU)\n"
    "CREATE INDEX IX_STOKHAREKET_CDEPO ON STOKHAREKET(CDEPO, STOKKODU)";

constexpr const char* kSample =
    // Depot İZ is matched by "iz" (Turkish i), IZ by "ız"; BOŞ and a NULL name have no rows.
    "INSERT INTO DEPO(KODU, ADI) VALUES('01', N'ANA'), ('02', N'ŞUBE'), (N'İZ', N'İzmir'), "
    "('IZ', N'Iğdır'), ('05', N'BOŞ'), ('06', NULL)\n"
    // The card of ÇİVİ is written in small letters; KARTSIZ has no card.
    "INSERT INTO STOK(STOKKODU, STOKADI, BIRIM, KDVORAN) VALUES('A', N'Vida', 'AD', 18), "
    "(N'çivi', N'Çivi', 'KG', 8), ('Z', N'Hiç hareketsiz', 'AD', 1)\n"
    "INSERT INTO STOKHAREKET(GDEPO, CDEPO, STOKKODU, ADET, FIYAT, ADEDI) VALUES"
    // Sums whose value depends on the order they are added in, items interleaved.
    "('01', NULL, 'A', 1e16, 2.5, 9000000000000000000),"
    "('01', NULL, N'ÇİVİ', 0.1, 1, 1),"
    "('01', NULL, 'A', 1, 3.25, 800),"
    "('01', NULL, N'ÇİVİ', 0.2, NULL, NULL),"
    "('01', NULL, 'A', -1e16, 0.1, 7),"
    "('01', NULL, N'ÇİVİ', 0.3, 2, 2),"
    // Issues only; a transfer into the same depot; one between two depots.
    "(NULL, '02', 'A', 4, 9, 4),"
    "('02', '02', N'ÇİVİ', 5, 1.5, 5),"
    "('02', '01', 'A', 2, 7, 2),"
    // Turkish folding of depot codes, a depot nobody has, NULL items and values.
    "('iz', NULL, 'KARTSIZ', 3, 4, 3),"
    "(N'ız', N'iz', 'A', 6, NULL, 6),"
    "('99', NULL, 'A', 100, 100, 100),"
    "('01', NULL, NULL, 8, 8, 8),"
    "(NULL, '01', 'A', NULL, 5, NULL),"
    "(NULL, NULL, 'A', 50, 50, 50)";

class GroupedJoinTest : public EngineTest {
 protected:
  GroupedJoinTest() : session_(NewDatabase("E2017")) {
    Ok(*session_, kSchema);
    Ok(*session_, kSample);
  }

  std::vector<Row> Rows(const std::string& sql) {
    RecordingSink sink = Ok(*session_, sql);
    if (sink.results.size() != 1) {
      ADD_FAILURE() << "expected one result set from " << sql;
      return {};
    }
    return sink.results[0].rows;
  }

  // The query run by the plan and, through a HAVING that keeps every group (so the plan does
  // not take it), by SQLite: the same rows in the same order, to the last bit.
  void ExpectSameAsSqlite(const std::string& totals) {
    const std::vector<Row> grouped = Rows(BalanceQuery(totals));
    const std::vector<Row> per_row = Rows(BalanceQuery(totals, "\r\nHAVING 1 = 1"));
    EXPECT_EQ(grouped, per_row);
    EXPECT_FALSE(grouped.empty());
  }

  std::unique_ptr<Session> session_;
};

TEST_F(GroupedJoinTest, PerItemTotalsMatchSqlitesRowByRow) {
  ExpectSameAsSqlite(kPerItemTotals);
}

TEST_F(GroupedJoinTest, PerDepotTotalsMatchSqlites) {
  ExpectSameAsSqlite(kPerDepotTotals);
}

TEST_F(GroupedJoinTest, PrintedFormMatchesSqlites) {
  ExpectSameAsSqlite(kPrintedTotals);
}

TEST_F(GroupedJoinTest, IntegerSumsCountsAndRealLiteralsMatchSqlites) {
  ExpectSameAsSqlite(kIntegerTotals);
}

TEST_F(GroupedJoinTest, RowsFollowTheGroupKeysAndFoldTurkishCase) {
  const std::vector<Row> rows = Rows(BalanceQuery(kPerItemTotals));
  std::vector<std::string> keys;
  for (const Row& row : rows) {
    auto text = [](const Value& v) {
      return std::holds_alternative<std::string>(v) ? std::get<std::string>(v) : "NULL";
    };
    keys.push_back(text(row[1]) + "/" + text(row[2]) + "/" + text(row[3]));
  }
  // Depot names in Turkish order (NULL first); items NULL first, then by the collation. The
  // card of ÇİVİ is found through "çivi"; İZ holds KARTSIZ (from "iz"), IZ holds A (from "ız").
  const std::vector<std::string> expected = {
      "06/NULL/NULL", "01/NULL/NULL", "01/A/Vida",       "01/ÇİVİ/Çivi", "05/NULL/NULL",
      "IZ/A/Vida",    "İZ/A/Vida",    "İZ/KARTSIZ/NULL", "02/A/Vida",    "02/ÇİVİ/Çivi"};
  EXPECT_EQ(keys, expected);
}

TEST_F(GroupedJoinTest, IntegerOverflowIsReportedAsSqliteReportsIt) {
  // The plan does not answer a sum that overflows: SQLite's error is what the client gets.
  Ok(*session_,
     "INSERT INTO STOKHAREKET(GDEPO, STOKKODU, ADEDI) VALUES('01', 'A', 9223372036854775807)");
  RecordingSink grouped = Run(*session_, BalanceQuery(kIntegerTotals));
  RecordingSink per_row = Run(*session_, BalanceQuery(kIntegerTotals, "\r\nHAVING 1 = 1"));
  ASSERT_EQ(grouped.errors.size(), 1u);
  ASSERT_EQ(per_row.errors.size(), 1u);
  EXPECT_EQ(grouped.errors[0].number, per_row.errors[0].number);
  EXPECT_STREQ(grouped.errors[0].what(), per_row.errors[0].what());
}

// Queries the plan does not take keep SQLite's correlated subqueries; the values remembered
// for them are bounded, and keys beyond that are computed each time.
TEST_F(EngineTest, CorrelatedSubqueryAnswersBeyondTheRememberedKeys) {
  auto session = NewDatabase("E2017");
  Ok(*session, "CREATE TABLE T (KOD int NOT NULL, ADET int NULL)");
  const int rows = static_cast<int>(DatabaseFile::kMaxMemoEntries) + 100;
  for (int first = 0; first < rows; first += 1000) {
    std::string sql = "INSERT INTO T(KOD, ADET) VALUES";
    for (int k = first; k < std::min(rows, first + 1000); ++k) {
      sql += (k == first ? "(" : ",(") + std::to_string(k) + ", " + std::to_string(k % 7) + ")";
    }
    Ok(*session, sql);
  }
  RecordingSink sink =
      Ok(*session,
         "SELECT A.KOD, (SELECT SUM(B.ADET) FROM T B WHERE B.KOD = A.KOD) FROM T A "
         "ORDER BY A.KOD");
  ASSERT_EQ(sink.results.size(), 1u);
  const auto& result = sink.results[0].rows;
  ASSERT_EQ(result.size(), static_cast<size_t>(rows));
  for (int k = 0; k < rows; ++k) {
    ASSERT_EQ(result[k][1], Value{std::int64_t{k % 7}}) << k;
  }
}

// Which queries the plan takes: only the balance shape, over unique keys.
class GroupedJoinMatchTest : public ::testing::Test {
 protected:
  GroupedJoinMatchTest() {
    auto column = [](const char* name, SqlType type, bool nullable = true) {
      ColumnDef def;
      def.name = name;
      def.type.type = type;
      def.type.length = 30;
      def.nullable = nullable;
      return def;
    };
    tables_["DEPO"] =
        TableDef{"DEPO",
                 {column("KODU", SqlType::NVarChar, false), column("ADI", SqlType::NVarChar)},
                 {KeyDef{"UQ_DEPO", KeyDef::Kind::kUnique, {"KODU"}}}};
    tables_["STOK"] = TableDef{
        "STOK",
        {column("STOKKODU", SqlType::NVarChar, false), column("STOKADI", SqlType::NVarChar),
         column("BIRIM", SqlType::NVarChar), column("KDVORAN", SqlType::Int)},
        {KeyDef{"UQ_STOK", KeyDef::Kind::kUnique, {"STOKKODU"}}}};
    tables_["STOKHAREKET"] =
        TableDef{"STOKHAREKET",
                 {column("GDEPO", SqlType::NVarChar), column("CDEPO", SqlType::NVarChar),
                  column("STOKKODU", SqlType::NVarChar), column("ADET", SqlType::Float),
                  column("FIYAT", SqlType::Float), column("ADEDI", SqlType::BigInt)},
                 {}};
  }

  bool Matches(const std::string& sql) {
    const std::vector<Token> tokens = Tokenize(sql);
    QueryContext context;
    context.current_database = "E2017";
    context.find_table = [this](const std::string&, const std::string& table) -> const TableDef* {
      auto it = tables_.find(Upper(table));
      return it == tables_.end() ? nullptr : &it->second;
    };
    return GroupedJoinPlan::Match(tokens, {0, tokens.size() - 1}, context).has_value();
  }

  std::map<std::string, TableDef> tables_;
};

TEST_F(GroupedJoinMatchTest, TakesTheBalanceQueryAndTotalsByTheGroupsKeys) {
  EXPECT_TRUE(Matches(BalanceQuery(kPerItemTotals)));
  EXPECT_TRUE(Matches(BalanceQuery(kPerDepotTotals)));
  EXPECT_TRUE(Matches(BalanceQuery(kIntegerTotals)));
}

TEST_F(GroupedJoinMatchTest, LeavesRealSumsInAnotherOrderToSqlite) {
  // SQLite adds a depot's rows in the order of an index that goes on with the item column.
  tables_["STOKHAREKET"].keys.push_back(
      KeyDef{"IX_STOKHAREKET_GDEPO", KeyDef::Kind::kIndex, {"GDEPO", "STOKKODU"}});
  EXPECT_FALSE(Matches(BalanceQuery(kPrintedTotals)));
  EXPECT_TRUE(Matches(BalanceQuery(kPerItemTotals)));
  EXPECT_TRUE(Matches(BalanceQuery(kPerDepotTotals)));
  // An index with a column beyond the item's changes the order of one item's rows, too.
  tables_["STOKHAREKET"].keys.push_back(
      KeyDef{"IX_STOKHAREKET_X", KeyDef::Kind::kIndex, {"STOKKODU", "FIYAT"}});
  EXPECT_FALSE(Matches(BalanceQuery(kPerItemTotals)));
}

TEST_F(GroupedJoinMatchTest, LeavesOtherQueriesToSqlite) {
  const std::string query = BalanceQuery(kPerItemTotals);
  EXPECT_FALSE(Matches(BalanceQuery(kPerItemTotals, " HAVING 1 = 1")));
  EXPECT_FALSE(Matches(BalanceQuery(kPerItemTotals, " ORDER BY 1")));
  // A movement column that is no group key.
  EXPECT_FALSE(Matches(BalanceQuery(kPerItemTotals + std::string(", stokhareket.ADET"))));
  // A subquery keyed by something other than the groups' keys.
  EXPECT_FALSE(Matches(
      BalanceQuery("(SELECT SUM(ADET) FROM STOKHAREKET G WHERE G.STOKKODU = ST.BIRIM) AS X")));
  EXPECT_FALSE(Matches(
      BalanceQuery("(SELECT MAX(ADET) FROM STOKHAREKET G WHERE G.GDEPO = DEPO.KODU) AS X")));
  // Without its unique key the card table could double the rows.
  tables_["STOK"].keys.clear();
  EXPECT_FALSE(Matches(query));
}

}  // namespace
}  // namespace sandbox::testing
