#include "script/transfer_script.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "tests/script/fake_row_source.h"

namespace devir::script {
namespace {

using testing::FakeResult;
using testing::FakeRowSource;
using testing::Type;

constexpr char kBalanceSql[] = "balance";
constexpr char kMovementHead[] =
    "INSERT INTO STOKHAREKET(GDEPO,TARIH, FISNO,DURUM,ISLEM,CKODU,AYIR,BIRIM,KDVORAN,STOKKODU,"
    "ADET,FIYAT,TUTAR) VALUES (";

FakeResult Codes(std::vector<std::string> codes) {
  FakeResult result;
  result.columns = {{"ID", Type("int")}, {"KODU", Type("nvarchar", 20)}};
  for (std::size_t i = 0; i < codes.size(); ++i) {
    result.rows.push_back({static_cast<std::int64_t>(i + 1), std::move(codes[i])});
  }
  return result;
}

FakeResult Balance(std::vector<std::string> depots) {
  FakeResult result;
  result.columns = {{"DEPOKODU", Type("nvarchar", 10)}, {"STOKKODU", Type("nvarchar", 30)},
                    {"BIRIM", Type("nvarchar", 10)},    {"KDVORAN", Type("int")},
                    {"KALAN", Type("float")},           {"FIYAT", Type("float")}};
  for (std::string& depot : depots) {
    result.rows.push_back(
        {std::move(depot), std::string("A"), std::string("AD"), std::int64_t{18}, 1.0, 2.0});
  }
  return result;
}

std::string Movement(const std::string& depot) {
  return std::string(kMovementHead) + "N'" + depot +
         "','01.01.2018','DEVIR','GIRIS','DEVIR GIRIS','DEVIR','DFISI',N'AD',18,N'A',1,2,2)";
}

std::string Insert(const std::string& table, const std::string& code) {
  return "INSERT INTO " + table + "(KODU) VALUES(N'" + code + "')";
}

// A source with every table the script reads; the test changes what it needs.
class TransferScriptTest : public ::testing::Test {
 protected:
  TransferScriptTest() {
    rows_.Answer("SELECT * FROM STOK", Codes({"S1", "S2"}));
    rows_.Answer(kBalanceSql, Balance({"01", "02"}));
    rows_.Answer("SELECT * FROM HESAPKODU", Codes({"100"}));
    for (int level = 1; level <= 5; ++level) {
      rows_.Answer("SELECT * FROM DUZEYKODU" + std::to_string(level),
                   Codes({"D" + std::to_string(level)}));
    }
  }

  std::vector<std::string> Build() {
    StatementList lines;
    BuildTransferScript(
        rows_, db::DateTime{2018, 1, 1}, kBalanceSql,
        [this](const std::string& stage) {
          stages_.push_back(stage);
          opened_at_stage_change_.push_back(rows_.Opened().size());
        },
        lines);
    return lines.Take();
  }

  FakeRowSource rows_;
  std::vector<std::string> stages_;
  std::vector<std::size_t> opened_at_stage_change_;
};

TEST_F(TransferScriptTest, LinesComeInTheFixedOrderWithOneEmptyLineAfterStok) {
  const std::vector<std::string> expected = {"SET DATEFORMAT DMY",
                                             Insert("STOK", "S1"),
                                             Insert("STOK", "S2"),
                                             "",
                                             Movement("01"),
                                             Movement("02"),
                                             kMainDepotStatement,
                                             Insert("HESAPKODU", "100"),
                                             Insert("DUZEYKODU1", "D1"),
                                             Insert("DUZEYKODU2", "D2"),
                                             Insert("DUZEYKODU3", "D3"),
                                             Insert("DUZEYKODU4", "D4"),
                                             Insert("DUZEYKODU5", "D5")};
  EXPECT_EQ(Build(), expected);
}

// The counts come from the builder itself, step by step, never from reading the SQL back.
TEST_F(TransferScriptTest, ReportsWhatEachStepReadAndWrote) {
  rows_.Answer("SELECT * FROM DUZEYKODU3", Codes({}));
  StatementList lines;
  const ScriptReport report = BuildTransferScript(
      rows_, db::DateTime{2018, 1, 1}, kBalanceSql, [](const auto&) {}, lines);
  const auto step = [](const char* table, const char* source, std::size_t read,
                       std::size_t written) {
    return std::make_tuple(std::string(table), std::string(source), read, written);
  };
  std::vector<std::tuple<std::string, std::string, std::size_t, std::size_t>> steps;
  for (const ScriptStep& s : report.steps) {
    steps.emplace_back(s.table, s.source, s.rows_read, s.statements);
  }
  EXPECT_EQ(
      steps,
      (std::vector{step("STOK", "STOK", 2, 2), step("STOKHAREKET", "STOKHAREKET balances", 2, 2),
                   step("DEPO", "", 0, 1), step("HESAPKODU", "HESAPKODU", 1, 1),
                   step("DUZEYKODU1", "DUZEYKODU1", 1, 1), step("DUZEYKODU2", "DUZEYKODU2", 1, 1),
                   step("DUZEYKODU3", "DUZEYKODU3", 0, 0), step("DUZEYKODU4", "DUZEYKODU4", 1, 1),
                   step("DUZEYKODU5", "DUZEYKODU5", 1, 1)}));
  EXPECT_EQ(report.opening_entries, 2u);
  const std::vector<std::string> all = lines.Take();
  EXPECT_EQ(report.lines, static_cast<std::size_t>(std::count_if(
                              all.begin(), all.end(), [](const auto& l) { return !l.empty(); })));
  EXPECT_EQ(report.lines, 11u);
}

TEST_F(TransferScriptTest, EmptyStokStillLeavesOneEmptyLine) {
  rows_.Answer("SELECT * FROM STOK", Codes({}));
  const std::vector<std::string> lines = Build();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], "SET DATEFORMAT DMY");
  EXPECT_EQ(lines[1], "");
  EXPECT_EQ(lines[2], Movement("01"));
}

TEST_F(TransferScriptTest, EmptyCodeTablesAddNoLines) {
  rows_.Answer("SELECT * FROM HESAPKODU", Codes({}));
  rows_.Answer("SELECT * FROM DUZEYKODU3", Codes({}));
  const std::vector<std::string> lines = Build();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), ""), 1);
  EXPECT_EQ(lines.size(), 11u);
  EXPECT_EQ(lines.back(), Insert("DUZEYKODU5", "D5"));
}

TEST_F(TransferScriptTest, MainDepotComesAfterTheCarryOverMovements) {
  const std::vector<std::string> lines = Build();
  const auto depot = std::find(lines.begin(), lines.end(), kMainDepotStatement);
  const auto last_movement = std::find(lines.begin(), lines.end(), Movement("02"));
  ASSERT_NE(depot, lines.end());
  EXPECT_EQ(depot - last_movement, 1);
}

// Each stage is set before its first query: STOK, then the balance, then the code tables.
TEST_F(TransferScriptTest, StagesAreSetBeforeTheirQueries) {
  Build();
  EXPECT_EQ(stages_,
            (std::vector<std::string>{"stok tablosu", "stokhareket tablosu", "depo+hk+dk"}));
  EXPECT_EQ(opened_at_stage_change_, (std::vector<std::size_t>{0, 1, 2}));
  EXPECT_EQ(rows_.Opened(),
            (std::vector<std::string>{"SELECT * FROM STOK", kBalanceSql, "SELECT * FROM HESAPKODU",
                                      "SELECT * FROM DUZEYKODU1", "SELECT * FROM DUZEYKODU2",
                                      "SELECT * FROM DUZEYKODU3", "SELECT * FROM DUZEYKODU4",
                                      "SELECT * FROM DUZEYKODU5"}));
}

TEST_F(TransferScriptTest, FailingQueryStopsAtItsStage) {
  rows_.FailOn("SELECT * FROM DUZEYKODU4", "Invalid object name 'DUZEYKODU4'.");
  EXPECT_THROW(Build(), std::runtime_error);
  EXPECT_EQ(stages_.back(), "depo+hk+dk");
  rows_.FailOn(kBalanceSql, "Invalid column name 'X'.");
  stages_.clear();
  EXPECT_THROW(Build(), std::runtime_error);
  EXPECT_EQ(stages_.back(), "stokhareket tablosu");
}

}  // namespace
}  // namespace devir::script
