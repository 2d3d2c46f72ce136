// The sample's rows as the generator makes them, without an engine.
#include <cmath>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "sandbox/sample/fixed_rows.h"
#include "sandbox/sample/layouts.h"
#include "sandbox/sample/sample_codes.h"
#include "sandbox/sample/sample_counts.h"
#include "sandbox/sample/sample_sources.h"
#include "sandbox/sample/schema_sql.h"
#include "sandbox/sample/seed.h"

namespace sandbox::sample {
namespace {

using Tables = std::map<std::string, std::vector<SampleRow>>;

Tables Generate(const std::string& sample, double scale, std::uint64_t seed) {
  SeedOptions options;
  options.sample = sample;
  options.scale = scale;
  Tables tables;
  for (TableSource& source : YearSampleSources(CountsFor(options), seed)) {
    std::vector<SampleRow>& rows = tables[source.Layout().name];
    std::vector<SampleRow> chunk;
    while (source.Next(chunk, 1000)) rows.insert(rows.end(), chunk.begin(), chunk.end());
  }
  return tables;
}

const Tables& Small() {
  static const Tables tables = Generate("small", 1.0, 2017);
  return tables;
}

std::string Text(const TableLayout& layout, const SampleRow& row, const char* column) {
  return CellOf(layout, row, column).text;
}

double NumberIn(const TableLayout& layout, const SampleRow& row, const char* column) {
  const Cell& cell = CellOf(layout, row, column);
  EXPECT_EQ(cell.kind, Cell::Kind::kNumber) << column;
  return std::stod(cell.text);
}

std::size_t CodePoints(const std::string& utf8) {
  std::size_t count = 0;
  for (const char c : utf8) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

// Received minus issued per (depot, item), as the carry-over computes it.
std::map<std::pair<std::string, std::string>, double> Remainders(const Tables& tables) {
  const TableLayout& layout = StokHareketLayout();
  std::map<std::pair<std::string, std::string>, double> remainders;
  for (const SampleRow& row : tables.at("STOKHAREKET")) {
    const std::string item = Text(layout, row, "STOKKODU");
    const double quantity = NumberIn(layout, row, "ADET");
    if (CellOf(layout, row, "GDEPO").kind != Cell::Kind::kNull) {
      remainders[{Text(layout, row, "GDEPO"), item}] += quantity;
    }
    if (CellOf(layout, row, "CDEPO").kind != Cell::Kind::kNull) {
      remainders[{Text(layout, row, "CDEPO"), item}] -= quantity;
    }
  }
  return remainders;
}

TEST(SampleCountsTest, SmallAndLargeHaveTheirSizes) {
  const Tables& small = Small();
  EXPECT_EQ(small.at("DEPO").size(), 7u);
  EXPECT_EQ(small.at("STOK").size(), 42u);
  EXPECT_EQ(small.at("STOKHAREKET").size(), 300u);
  EXPECT_EQ(small.at("HESAPKODU").size(), 30u);
  EXPECT_EQ(small.at("DUZEYKODU5").size(), 0u);
  for (const char* level : {"DUZEYKODU1", "DUZEYKODU2", "DUZEYKODU3", "DUZEYKODU4"}) {
    EXPECT_GE(small.at(level).size(), 5u) << level;
    EXPECT_LE(small.at(level).size(), 10u) << level;
  }

  SeedOptions large;
  large.sample = "large";
  const SampleCounts counts = CountsFor(large);
  const FixedRowCounts fixed = CountFixedRows();
  EXPECT_EQ(fixed.depots + counts.depots, 20u);
  EXPECT_EQ(fixed.stock_cards + counts.stock_cards, 100'000u);
  EXPECT_EQ(fixed.movements + counts.movements, 2'000'000u);
  EXPECT_EQ(fixed.account_codes + counts.account_codes, 10'000u);
  EXPECT_EQ(fixed.level_codes[4] + counts.level_codes[4], 1'000u);
}

TEST(SampleCountsTest, RejectsUnknownSamplesAndScales) {
  SeedOptions options;
  options.sample = "medium";
  EXPECT_THROW(CountsFor(options), std::runtime_error);
  options.sample = "large";
  for (const double scale : {0.0, -1.0, std::nan(""), HUGE_VAL}) {
    options.scale = scale;
    EXPECT_THROW(CountsFor(options), std::runtime_error) << scale;
  }
}

TEST(SampleSourcesTest, SameSeedSameRowsOtherSeedOtherRows) {
  EXPECT_EQ(Generate("small", 1.0, 2017), Small());
  const Tables other = Generate("small", 1.0, 7);
  EXPECT_NE(other.at("STOKHAREKET"), Small().at("STOKHAREKET"));
  EXPECT_NE(other.at("STOK"), Small().at("STOK"));
  // The edge cases do not depend on the random seed.
  EXPECT_EQ(other.at("DEPO"), Small().at("DEPO"));
}

TEST(SampleSourcesTest, ChunksNeverExceedTheAskedSize) {
  SeedOptions options;
  options.sample = "large";
  options.scale = 0.001;
  for (TableSource& source : YearSampleSources(CountsFor(options), 1)) {
    std::vector<SampleRow> chunk;
    std::size_t rows = 0;
    while (source.Next(chunk, 7)) {
      EXPECT_LE(chunk.size(), 7u);
      rows += chunk.size();
    }
    EXPECT_EQ(rows, source.TotalRows()) << source.Layout().name;
    EXPECT_FALSE(source.Next(chunk, 7));
  }
}

TEST(SampleSourcesTest, EveryStokColumnHasAValueSomewhereAndNullsExist) {
  const TableLayout& layout = StokLayout();
  for (const std::string& column : layout.columns) {
    bool value = false;
    bool null = false;
    for (const SampleRow& row : Small().at("STOK")) {
      (CellOf(layout, row, column).kind == Cell::Kind::kNull ? null : value) = true;
    }
    EXPECT_TRUE(value) << column;
    if (column != "STOKKODU" && column != "PASIF") {
      EXPECT_TRUE(null) << column;
    }
  }
}

TEST(SampleSourcesTest, HoldsTheTextEdgeCases) {
  const TableLayout& stok = StokLayout();
  std::map<std::string, SampleRow> cards;
  for (const SampleRow& row : Small().at("STOK")) cards[Text(stok, row, "STOKKODU")] = row;

  EXPECT_EQ(Text(stok, cards.at(std::string(codes::kQuoteCard)), "STOKADI"), "O'Brien");
  EXPECT_EQ(Text(stok, cards.at(std::string(codes::kQuotedNameCard)), "STOKADI"), "'A''lı'");
  EXPECT_EQ(CellOf(stok, cards.at(std::string(codes::kEmptyTextCard)), "STOKADI"), Unicode(""));
  EXPECT_GT(CodePoints(Text(stok, cards.at(std::string(codes::kFullCard)), "NOTLAR")), 4000u);
  EXPECT_GT(Text(stok, cards.at(std::string(codes::kFullCard)), "ETIKET").size(), 8000u);

  const SampleRow& longest = cards.at(std::string(codes::kMaxLengthCard));
  EXPECT_EQ(CodePoints(Text(stok, longest, "STOKKODU")), 30u);
  EXPECT_EQ(CodePoints(Text(stok, longest, "STOKADI")), 100u);
  EXPECT_EQ(CodePoints(Text(stok, longest, "BIRIM")), 10u);
  EXPECT_EQ(CodePoints(Text(stok, longest, "HESAPKODU")), 20u);
  EXPECT_EQ(CodePoints(Text(stok, longest, "KISAAD")), 10u);
  EXPECT_EQ(CodePoints(Text(stok, longest, "URETICI")), 10u);
  EXPECT_EQ(CodePoints(Text(stok, longest, "BARKOD")), 30u);

  const TableLayout& moves = StokHareketLayout();
  bool line_break = false;
  for (const SampleRow& row : Small().at("STOKHAREKET")) {
    line_break |= Text(moves, row, "ACIKLAMA").find("\r\n") != std::string::npos;
  }
  EXPECT_TRUE(line_break);
}

TEST(SampleSourcesTest, HoldsTheRemainderEdgeCases) {
  const auto remainders = Remainders(Small());
  const auto at = [&](std::string_view depot, std::string_view item) {
    return remainders.at({std::string(depot), std::string(item)});
  };
  EXPECT_EQ(at(codes::kZeroRemainderDepot, codes::kZeroRemainderCard), 0);
  EXPECT_EQ(at(codes::kNeverReceivedDepot, codes::kNeverReceivedCard), -4);
  EXPECT_EQ(at(codes::kMainDepot, codes::kNeverReceivedCard), 6);
  EXPECT_EQ(at(codes::kOverIssuedDepot, codes::kOverIssuedCard), -3);
  EXPECT_EQ(at(codes::kFractionDepot, codes::kFractionCard), 2.5);
  EXPECT_EQ(at(codes::kMainDepot, codes::kTransferCard), 8);
  EXPECT_EQ(at(codes::kBranchDepot, codes::kTransferCard), 12);
  EXPECT_EQ(at(codes::kBranchDepot, codes::kCardlessItem), 3);

  // The edge-case depots see one item each, so their totals are that item's remainder.
  std::map<std::string, std::set<std::string>> items_per_depot;
  for (const auto& [key, remainder] : remainders) items_per_depot[key.first].insert(key.second);
  for (const std::string_view depot : {codes::kZeroRemainderDepot, codes::kNeverReceivedDepot,
                                       codes::kOverIssuedDepot, codes::kFractionDepot}) {
    EXPECT_EQ(items_per_depot[std::string(depot)].size(), 1u) << depot;
  }

  std::set<std::string> moved_items;
  for (const auto& [key, remainder] : remainders) {
    EXPECT_NE(key.first, codes::kIdleDepot) << key.second;
    moved_items.insert(key.second);
  }
  EXPECT_FALSE(moved_items.contains(std::string(codes::kBareCard)));
  EXPECT_FALSE(moved_items.contains(std::string(codes::kIdleCard)));
}

TEST(SampleSourcesTest, MovementsAreConsistentIn2017) {
  const TableLayout& layout = StokHareketLayout();
  std::map<std::string, int> kinds;
  for (const SampleRow& row : Small().at("STOKHAREKET")) {
    EXPECT_EQ(NumberIn(layout, row, "TUTAR"),
              NumberIn(layout, row, "ADET") * NumberIn(layout, row, "FIYAT"));
    EXPECT_EQ(Text(layout, row, "TARIH").substr(0, 5), "2017-");
    const std::string operation = Text(layout, row, "ISLEM");
    ++kinds[operation];
    const bool into = CellOf(layout, row, "GDEPO").kind != Cell::Kind::kNull;
    const bool out_of = CellOf(layout, row, "CDEPO").kind != Cell::Kind::kNull;
    if (operation == "ALIS") {
      EXPECT_TRUE(into && !out_of);
      EXPECT_EQ(Text(layout, row, "DURUM"), "GIRIS");
    } else if (operation == "SATIS") {
      EXPECT_TRUE(!into && out_of);
      EXPECT_EQ(Text(layout, row, "DURUM"), "CIKIS");
    } else {
      EXPECT_EQ(operation, "TRANSFER");
      EXPECT_TRUE(into && out_of);
      EXPECT_NE(Text(layout, row, "GDEPO"), Text(layout, row, "CDEPO"));
    }
  }
  EXPECT_GT(kinds["ALIS"], 0);
  EXPECT_GT(kinds["SATIS"], 0);
  EXPECT_GT(kinds["TRANSFER"], 0);
}

// The large sample at full scale, read only in part: sources make their rows on demand.
TEST(SampleSourcesTest, LargeSampleKeepsTheEdgeDepotsAndUniqueKeys) {
  SeedOptions options;
  options.sample = "large";
  std::vector<TableSource> sources = YearSampleSources(CountsFor(options), 2017);
  std::vector<SampleRow> chunk;

  std::set<std::string> depots;
  while (sources[0].Next(chunk, 1000)) {
    for (const SampleRow& row : chunk) depots.insert(Text(DepoLayout(), row, "KODU"));
  }
  EXPECT_EQ(depots.size(), 20u);

  std::set<std::string> items;
  for (int i = 0; i < 20 && sources[1].Next(chunk, 1000); ++i) {
    for (const SampleRow& row : chunk) items.insert(Text(StokLayout(), row, "STOKKODU"));
  }
  EXPECT_EQ(items.size(), 20'000u);

  // After the fixed movements, none touches the idle or the edge-case depots.
  const std::size_t fixed = CountFixedRows().movements;
  const std::set<std::string> reserved = {"03", "04", "05", "06", "07"};
  std::set<std::string> used;
  std::size_t seen = 0;
  for (int i = 0; i < 20 && sources[2].Next(chunk, 1000); ++i) {
    for (const SampleRow& row : chunk) {
      if (seen++ < fixed) continue;
      for (const char* column : {"GDEPO", "CDEPO"}) {
        const Cell& depot = CellOf(StokHareketLayout(), row, column);
        if (depot.kind == Cell::Kind::kNull) continue;
        EXPECT_FALSE(reserved.contains(depot.text)) << depot.text;
        used.insert(depot.text);
      }
    }
  }
  EXPECT_EQ(used.size(), 15u);  // 01, 02 and the 13 generated depots
}

// The INSERTs name the schema's columns: every column of a table's CREATE TABLE but the
// identity ID and the timestamp.
TEST(SchemaTest, LayoutsNameEveryColumnTheServerDoesNotFill) {
  const std::string& schema = YearSchemaSql();
  std::vector<const TableLayout*> layouts = {&DepoLayout(), &StokLayout(), &StokHareketLayout(),
                                             &HesapKoduLayout()};
  for (int level = 1; level <= 5; ++level) layouts.push_back(&DuzeyKoduLayout(level));
  for (const TableLayout* layout : layouts) {
    const std::size_t start = schema.find("CREATE TABLE " + layout->name + " (");
    ASSERT_NE(start, std::string::npos) << layout->name;
    const std::size_t end = schema.find(");", start);
    std::vector<std::string> declared;
    std::size_t line = schema.find('\n', start);
    while (line + 1 < end) {
      const std::size_t name_start = line + 3;  // "\n  NAME type"
      declared.push_back(schema.substr(name_start, schema.find(' ', name_start) - name_start));
      line = schema.find('\n', line + 1);
    }
    std::vector<std::string> filled;
    for (const std::string& column : declared) {
      if (column != "ID" && column != "SURUM") filled.push_back(column);
    }
    EXPECT_EQ(filled, layout->columns) << layout->name;
  }
}

TEST(SchemaTest, RegistryTableIsKeptOutOfTheYearSchema) {
  EXPECT_EQ(YearSchemaSql().find("sirketler"), std::string::npos);
  EXPECT_NE(RegistrySchemaSql().find("CREATE TABLE sirketler"), std::string::npos);
  EXPECT_NE(YearSchemaSql().find("CREATE TABLE DUZEYKODU5"), std::string::npos);
}

}  // namespace
}  // namespace sandbox::sample
