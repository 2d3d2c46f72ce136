// The proof's comparisons on rows in memory: what counts as equal, different, missing and
// extra, and the balances it recomputes from the movements.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "check/proof.h"
#include "script/catalog_columns.h"
#include "tests/script/fake_row_source.h"

namespace devir::check {
namespace {

using script::testing::FakeResult;
using script::testing::FakeRowSource;
using script::testing::Type;

const db::FieldValue kNull;

std::string Text(const ProofDifference& d) {
  return d.table + ", " + d.key + ", " + d.column + ": " + d.source + " | " + d.target;
}

std::vector<std::string> Differences(const ProofReport& report) {
  std::vector<std::string> out;
  for (const ProofDifference& difference : report.differences) out.push_back(Text(difference));
  return out;
}

void ExpectLine(const ProofLine& line, std::size_t source, std::size_t target, std::size_t equal,
                std::size_t different) {
  EXPECT_EQ(line.source_rows, source);
  EXPECT_EQ(line.target_rows, target);
  EXPECT_EQ(line.equal, equal);
  EXPECT_EQ(line.different, different);
}

FakeResult Codes(std::vector<std::vector<db::FieldValue>> rows) {
  return {{{"ID", Type("int")},
           {"KODU", Type("nvarchar", 20)},
           {"ADI", Type("nvarchar", 100)},
           {"SURUM", Type("binary", 8)}},
          std::move(rows)};
}

// Identity and rowversion values are the target's own; every other column is compared.
TEST(ProofTest, ACopiedTableIsComparedRowForRowByItsKey) {
  FakeRowSource source;
  FakeRowSource target;
  source.Answer(
      script::CatalogColumnsSql("HESAPKODU"),
      {{{"NAME", Type("sysname")}, {"TYPE_NAME", Type("sysname")}, {"IS_IDENTITY", Type("bit")}},
       {{std::string("ID"), std::string("int"), std::int64_t{1}},
        {std::string("KODU"), std::string("nvarchar"), std::int64_t{0}},
        {std::string("ADI"), std::string("nvarchar"), std::int64_t{0}},
        {std::string("SURUM"), std::string("timestamp"), std::int64_t{0}}}});
  const std::string sql = "SELECT * FROM HESAPKODU ORDER BY KODU COLLATE Latin1_General_BIN2";
  const db::Bytes version{std::string(8, '\1')};
  source.Answer(sql, Codes({{std::int64_t{1}, std::string("A"), std::string("a"), version},
                            {std::int64_t{2}, std::string("B"), std::string("b"), version},
                            {std::int64_t{3}, std::string("C"), std::string("x"), version}}));
  target.Answer(sql, Codes({{std::int64_t{7}, std::string("A"), std::string("a"), kNull},
                            {std::int64_t{8}, std::string("C"), std::string("y"), kNull},
                            {std::int64_t{9}, std::string("D"), kNull, kNull}}));
  ProofReport report;
  CompareCopiedTable(source, target, "HESAPKODU", report);
  ASSERT_EQ(report.lines.size(), 1u);
  ExpectLine(report.lines[0], 3, 3, 1, 3);
  EXPECT_EQ(Differences(report),
            (std::vector<std::string>{"HESAPKODU, KODU B, (row): (present) | (none)",
                                      "HESAPKODU, KODU C, ADI: 'x' | 'y'",
                                      "HESAPKODU, KODU D, (row): (none) | (present)"}));
  EXPECT_FALSE(report.Passed());
}

FakeResult Entries(std::vector<std::vector<db::FieldValue>> rows) {
  return {{{"STOKKODU", Type("nvarchar", 30)},
           {"GDEPO", Type("nvarchar", 10)},
           {"ADET", Type("float")},
           {"FIYAT", Type("float")},
           {"TUTAR", Type("float")}},
          std::move(rows)};
}

// Per depot of DEPO and item: received minus issued, the average price of what came in, and
// their product; a depot without movements, or named by a movement without an item, gets one
// entry without an item at 0. A depot outside DEPO carries nothing.
TEST(ProofTest, OpeningEntriesAreRecomputedFromTheMovements) {
  FakeRowSource source;
  FakeRowSource target;
  source.Answer("SELECT KODU FROM DEPO",
                {{{"KODU", Type("nvarchar", 10)}},
                 {{std::string("01")}, {std::string("02")}, {std::string("05")}}});
  const std::string a = "A";
  const std::string b = "B";
  source.Answer(
      "SELECT STOKKODU, GDEPO, CDEPO, ADET, FIYAT FROM STOKHAREKET ORDER BY STOKKODU COLLATE "
      "Latin1_General_BIN2, ID",
      {{{"STOKKODU", Type("nvarchar", 30)},
        {"GDEPO", Type("nvarchar", 10)},
        {"CDEPO", Type("nvarchar", 10)},
        {"ADET", Type("float")},
        {"FIYAT", Type("float")}},
       {{kNull, std::string("02"), kNull, 1.0, 1.0},
        {a, std::string("01"), kNull, 10.0, 2.0},
        {a, std::string("01"), kNull, 5.0, 4.0},
        {a, kNull, std::string("01"), 3.0, 9.0},
        {a, std::string("09"), kNull, 7.0, 1.0},
        {b, std::string("02"), std::string("01"), 1.0, 1.0}}});
  target.Answer(
      "SELECT STOKKODU, GDEPO, ADET, FIYAT, TUTAR FROM STOKHAREKET WHERE STOKKODU IS NOT NULL "
      "ORDER BY STOKKODU COLLATE Latin1_General_BIN2, GDEPO COLLATE Latin1_General_BIN2",
      Entries({{a, std::string("01"), 12.0, 3.0, 36.0},
               {b, std::string("01"), -1.0, 0.0, 0.0},
               {b, std::string("02"), 1.0, 1.0, 2.0},
               {std::string("C"), std::string("01"), 1.0, 1.0, 1.0}}));
  target.Answer(
      "SELECT STOKKODU, GDEPO, ADET, FIYAT, TUTAR FROM STOKHAREKET WHERE STOKKODU IS NULL ORDER "
      "BY GDEPO COLLATE Latin1_General_BIN2",
      Entries({{kNull, std::string("02"), 0.0, 0.0, 0.0}}));

  ProofReport report;
  CompareOpeningEntries(source, target, report);
  ASSERT_EQ(report.lines.size(), 1u);
  ExpectLine(report.lines[0], 5, 5, 3, 3);
  EXPECT_EQ(Differences(report),
            (std::vector<std::string>{
                "STOKHAREKET, GDEPO 02, STOKKODU B, TUTAR: 1 | 2",
                "STOKHAREKET, GDEPO 01, STOKKODU C, (row): (none) | (present)",
                "STOKHAREKET, GDEPO 05, STOKKODU NULL, (row): (present) | (none)"}));
}

}  // namespace
}  // namespace devir::check
