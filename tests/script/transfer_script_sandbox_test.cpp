// The transfer script of the seeded closing year, read through the real client (ODBC,
// FreeTDS, TDS) from the stand-in.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <system_error>
#include <tuple>
#include <variant>
#include <vector>

#include "db/connection.h"
#include "db/database_error.h"
#include "db/general_number.h"
#include "db/query.h"
#include "script/balance_query.h"
#include "script/query_row_source.h"
#include "script/statement_sink.h"
#include "script/trace_file.h"
#include "script/transfer_script.h"
#include "tests/script/sandbox_tables.h"
#include "tests/script/scoped_environment.h"
#include "tests/support/line_text.h"
#include "tests/support/sandbox_process.h"
#include "tests/support/stock_balance_lines.h"
#include "tests/support/temp_folder.h"

namespace devir::script {
namespace {

namespace fs = std::filesystem;
using devir::testing::SandboxProcess;
using testing::ConnectTo;
using testing::ReadRows;
using testing::ScopedEnvironment;
using testing::TableRows;

constexpr char kMovementHead[] =
    "INSERT INTO STOKHAREKET(GDEPO,TARIH, FISNO,DURUM,ISLEM,CKODU,AYIR,BIRIM,KDVORAN,STOKKODU,"
    "ADET,FIYAT,TUTAR) VALUES (";

// Cases beside the sample's own: TEST-A moves wholly from T1 to T2 (T1 ends at 0), TEST-B is
// issued by T2 without ever arriving there, TEST-C is issued by T2 more than it received,
// and T3 has no movement at all.
constexpr char kEdgeCases[] =
    "INSERT INTO DEPO(KODU,ADI) VALUES(N'T1',N'Deneme bir')\r\n"
    "INSERT INTO DEPO(KODU,ADI) VALUES(N'T2',N'Deneme iki')\r\n"
    "INSERT INTO DEPO(KODU,ADI) VALUES(N'T3',N'Boş depo')\r\n"
    "INSERT INTO STOK(STOKKODU,STOKADI,BIRIM,KDVORAN) VALUES(N'TEST-A',N'Deneme A',N'KG',8)\r\n"
    "INSERT INTO STOK(STOKKODU,STOKADI,BIRIM,KDVORAN) VALUES(N'TEST-C',N'Deneme C',N'ADET',18)\r\n"
    "INSERT INTO STOKHAREKET(TARIH,GDEPO,CDEPO,STOKKODU,ADET,FIYAT) "
    "VALUES('20170501',N'T1',NULL,N'TEST-A',4,2.5)\r\n"
    "INSERT INTO STOKHAREKET(TARIH,GDEPO,CDEPO,STOKKODU,ADET,FIYAT) "
    "VALUES('20170502',N'T1',NULL,N'TEST-A',6,3.5)\r\n"
    "INSERT INTO STOKHAREKET(TARIH,GDEPO,CDEPO,STOKKODU,ADET,FIYAT) "
    "VALUES('20170503',N'T2',N'T1',N'TEST-A',10,3)\r\n"
    "INSERT INTO STOKHAREKET(TARIH,GDEPO,CDEPO,STOKKODU,ADET,FIYAT) "
    "VALUES('20170504',NULL,N'T2',N'TEST-B',3,7)\r\n"
    "INSERT INTO STOKHAREKET(TARIH,GDEPO,CDEPO,STOKKODU,ADET,FIYAT) "
    "VALUES('20170505',N'T2',NULL,N'TEST-C',2,5)\r\n"
    "INSERT INTO STOKHAREKET(TARIH,GDEPO,CDEPO,STOKKODU,ADET,FIYAT) "
    "VALUES('20170506',NULL,N'T2',N'TEST-C',5,5)\r\n";

std::optional<std::string> Text(const db::FieldValue& value) {
  if (const auto* text = std::get_if<std::string>(&value)) return *text;
  return std::nullopt;
}

std::optional<double> Number(const db::FieldValue& value) {
  if (const auto* number = std::get_if<double>(&value)) return *number;
  if (const auto* number = std::get_if<std::int64_t>(&value)) return static_cast<double>(*number);
  return std::nullopt;
}

// One row of the balance: what remains of an item in a depot and its average entry price.
struct Balance {
  double quantity = 0;
  double price = 0;
};
using BalanceKey = std::pair<std::string, std::optional<std::string>>;  // depot, item

// The balance as the movements give it, computed here without SQL: one row per depot and
// item moved into or out of it, one row with no item for a depot without movements.
std::map<BalanceKey, Balance> ExpectedBalance(db::Connection& connection, bool whole_depot) {
  const TableRows depots = ReadRows(connection, "SELECT KODU FROM DEPO");
  const TableRows moves =
      ReadRows(connection, "SELECT GDEPO, CDEPO, STOKKODU, ADET, FIYAT FROM STOKHAREKET");
  std::map<BalanceKey, Balance> expected;
  for (const auto& depot_row : depots.rows) {
    const std::string depot = *Text(depot_row[0]);
    struct Sums {
      double received = 0, issued = 0, price_sum = 0;
      int price_count = 0;
    };
    std::map<std::optional<std::string>, Sums> items;
    double depot_received = 0, depot_issued = 0;
    for (const auto& move : moves.rows) {
      const bool in = Text(move[0]) == depot;
      const bool out = Text(move[1]) == depot;
      const std::optional<std::string> item = Text(move[2]);
      const std::optional<double> quantity = Number(move[3]);
      if (in || out) items[item];
      if (!item) continue;  // "STOKKODU = x" is never true for a NULL item
      if (in && quantity) depot_received += *quantity;
      if (out && quantity) depot_issued += *quantity;
    }
    for (auto& [item, sums] : items) {
      for (const auto& move : moves.rows) {
        if (!item || Text(move[2]) != item) continue;
        const std::optional<double> quantity = Number(move[3]);
        const std::optional<double> price = Number(move[4]);
        if (Text(move[0]) == depot) {
          if (quantity) sums.received += *quantity;
          if (price) {
            sums.price_sum += *price;
            ++sums.price_count;
          }
        }
        if (Text(move[1]) == depot && quantity) sums.issued += *quantity;
      }
      Balance balance;
      balance.quantity = whole_depot ? depot_received - depot_issued : sums.received - sums.issued;
      balance.price = sums.price_count > 0 ? sums.price_sum / sums.price_count : 0;
      expected[{depot, item}] = balance;
    }
    if (items.empty()) expected[{depot, std::nullopt}] = Balance{};
  }
  return expected;
}

std::map<BalanceKey, Balance> QueriedBalance(db::Connection& connection, const std::string& sql) {
  const TableRows rows = ReadRows(connection, sql);
  const int depot = rows.Column("DEPOKODU"), item = rows.Column("STOKKODU");
  const int quantity = rows.Column("KALAN"), price = rows.Column("FIYAT");
  std::map<BalanceKey, Balance> result;
  for (const auto& row : rows.rows) {
    const BalanceKey key{*Text(row[depot]), Text(row[item])};
    EXPECT_EQ(result.count(key), 0u) << "two rows for " << key.first;
    result[key] = Balance{*Number(row[quantity]), *Number(row[price])};
  }
  return result;
}

void ExpectSameBalance(const std::map<BalanceKey, Balance>& actual,
                       const std::map<BalanceKey, Balance>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (const auto& [key, balance] : expected) {
    const auto found = actual.find(key);
    ASSERT_NE(found, actual.end()) << key.first << " " << key.second.value_or("NULL");
    SCOPED_TRACE(key.first + " " + key.second.value_or("NULL"));
    EXPECT_NEAR(found->second.quantity, balance.quantity, 1e-9 * (1 + std::fabs(balance.quantity)));
    EXPECT_NEAR(found->second.price, balance.price, 1e-9 * (1 + std::fabs(balance.price)));
  }
}

class TransferScriptSandbox : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = new SandboxProcess();
    db::Connection connection;
    ConnectTo(connection, *server_, "E2017");
    connection.Execute(kEdgeCases);
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  void SetUp() override { ConnectTo(connection_, *server_, "E2017"); }

  static SandboxProcess* server_;
  db::Connection connection_;
};

SandboxProcess* TransferScriptSandbox::server_ = nullptr;

TEST_F(TransferScriptSandbox, BalanceHasOneRowPerDepotAndItemWithItsOwnSums) {
  ExpectSameBalance(QueriedBalance(connection_, BalanceQuerySql()),
                    ExpectedBalance(connection_, false));
}

// The query as first written sums the whole depot on every row: the fault the mend removes.
TEST_F(TransferScriptSandbox, UncorrelatedQuerySumsTheWholeDepot) {
  const auto printed = QueriedBalance(connection_, devir::testing::PrintedBalanceQuerySql());
  ExpectSameBalance(printed, ExpectedBalance(connection_, true));
  const auto per_item = QueriedBalance(connection_, BalanceQuerySql());
  EXPECT_NE(printed.at({"T2", "TEST-A"}).quantity, per_item.at({"T2", "TEST-A"}).quantity);
}

class ScriptOfTheSample : public TransferScriptSandbox {
 protected:
  void SetUp() override {
    TransferScriptSandbox::SetUp();
    db::Query q(connection_);
    QueryRowSource rows(q);
    StatementList lines;
    BuildTransferScript(
        rows, db::DateTime{2018, 1, 1}, BalanceQuerySql(),
        [this](const std::string& stage) { stages_.push_back(stage); }, lines);
    WriteTraceFile(lines.Items(), dir_ / "X.TXT");
    lines_ = lines.Take();
  }

  std::size_t Rows(const std::string& table) {
    return ReadRows(connection_, "SELECT * FROM " + table).rows.size();
  }

  ScopedEnvironment utf8_{"LC_ALL", "C.UTF-8"};
  devir::testing::TempFolder folder_{"devir-script-"};
  const fs::path& dir_ = folder_.Path();
  std::vector<std::string> lines_;
  std::vector<std::string> stages_;
};

TEST_F(ScriptOfTheSample, LinesComeInTheFixedOrder) {
  std::size_t at = 0;
  ASSERT_EQ(lines_.at(at++), "SET DATEFORMAT DMY");
  const auto expect_block = [&](std::size_t count, const std::string& head) {
    ASSERT_GT(count, 0u) << head;
    for (std::size_t i = 0; i < count; ++i, ++at) {
      ASSERT_LT(at, lines_.size());
      ASSERT_EQ(lines_[at].rfind(head, 0), 0u) << lines_[at];
    }
  };
  expect_block(Rows("STOK"), "INSERT INTO STOK(STOKKODU,STOKADI,BIRIM,");
  ASSERT_EQ(lines_.at(at++), "");
  expect_block(ExpectedBalance(connection_, false).size(), kMovementHead);
  ASSERT_EQ(lines_.at(at++), kMainDepotStatement);
  expect_block(Rows("HESAPKODU"), "INSERT INTO HESAPKODU(KODU,ADI,");
  for (int level = 1; level <= 5; ++level) {
    const std::string table = "DUZEYKODU" + std::to_string(level);
    const std::size_t count = Rows(table);
    for (std::size_t i = 0; i < count; ++i, ++at) {
      ASSERT_EQ(lines_.at(at).rfind("INSERT INTO " + table + "(KODU,ADI,", 0), 0u);
    }
  }
  EXPECT_EQ(at, lines_.size());
  EXPECT_EQ(stages_,
            (std::vector<std::string>{"stok tablosu", "stokhareket tablosu", "depo+hk+dk"}));
}

TEST_F(ScriptOfTheSample, CarryOverRowsForTheEdgeCases) {
  const auto has = [this](const std::string& values) {
    const std::string line = kMovementHead + values;
    return std::find(lines_.begin(), lines_.end(), line) != lines_.end();
  };
  const std::string fixed = "'01.01.2018','DEVIR','GIRIS','DEVIR GIRIS','DEVIR','DFISI',";
  EXPECT_TRUE(has("N'T1'," + fixed + "N'KG',8,N'TEST-A',0,3,0)"));  // fully issued
  EXPECT_TRUE(has("N'T2'," + fixed + "N'KG',8,N'TEST-A',10,3,30)"));
  EXPECT_TRUE(has("N'T2'," + fixed + "NULL,NULL,N'TEST-B',-3,0,0)"));     // never received
  EXPECT_TRUE(has("N'T2'," + fixed + "N'ADET',18,N'TEST-C',-3,5,-15)"));  // issued more
  EXPECT_TRUE(has("N'T3'," + fixed + "NULL,NULL,NULL,0,0,0)"));           // no movements
}

TEST_F(ScriptOfTheSample, TraceFileHoldsTheLinesEachEndingWithCrLf) {
  std::ifstream in(dir_ / "X.TXT", std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(bytes, devir::testing::JoinLines(lines_));
}

// Every line runs in an empty year built from the schema, and the master tables arrive
// column by column as they were.
TEST_F(ScriptOfTheSample, ScriptRunsInAnEmptyYearAndCarriesTheMasterTables) {
  db::Connection master;
  ConnectTo(master, *server_, "master");
  master.Execute("CREATE DATABASE DENEME2018");
  db::Connection target;
  ConnectTo(target, *server_, "DENEME2018");
  std::ifstream schema_file(DEVIR_YEAR_SCHEMA_SQL, std::ios::binary);
  std::string schema((std::istreambuf_iterator<char>(schema_file)),
                     std::istreambuf_iterator<char>());
  schema.resize(schema.find("-- sirketambar"));
  target.Execute(schema);
  for (const std::string& line : lines_) {
    if (line.empty()) continue;
    try {
      target.Execute(line);
    } catch (const db::DatabaseError& error) {
      FAIL() << line << "\n" << error.what();
    }
  }
  for (const char* table : {"STOK", "HESAPKODU", "DUZEYKODU1", "DUZEYKODU2", "DUZEYKODU3",
                            "DUZEYKODU4", "DUZEYKODU5"}) {
    SCOPED_TRACE(table);
    const std::string sql = std::string("SELECT * FROM ") + table + " ORDER BY ID";
    const TableRows source = ReadRows(connection_, sql);
    const TableRows copy = ReadRows(target, sql);
    ASSERT_EQ(copy.names, source.names);
    ASSERT_EQ(copy.rows.size(), source.rows.size());
    for (std::size_t r = 0; r < source.rows.size(); ++r) {
      for (std::size_t c = 0; c < source.names.size(); ++c) {
        if (source.names[c] == "ID" || source.types[c].type_name == "timestamp") continue;
        EXPECT_EQ(copy.rows[r][c], source.rows[r][c]) << "row " << r << " " << source.names[c];
      }
    }
  }
  EXPECT_EQ(ReadRows(target, "SELECT * FROM STOKHAREKET").rows.size(),
            ExpectedBalance(connection_, false).size());
  const TableRows depots = ReadRows(target, "SELECT KODU, ADI FROM DEPO");
  ASSERT_EQ(depots.rows.size(), 1u);
  EXPECT_EQ(Text(depots.rows[0][0]), "01");
  EXPECT_EQ(Text(depots.rows[0][1]), "ANADEPO");
}

}  // namespace
}  // namespace devir::script
