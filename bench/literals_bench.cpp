// Hot paths of a transfer that run once per value or line: with millions of movements these
// decide the script's build time.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "db/ascii_case.h"
#include "db/field.h"
#include "db/general_number.h"
#include "script/field_to_sql.h"
#include "script/line_text.h"
#include "script/opening_stock_entries.h"
#include "script/row_source.h"
#include "script/statement_sink.h"
#include "script/table_copy_script.h"

namespace {

using devir::db::ColumnType;
using devir::db::Field;

void BM_FieldToSqlText(benchmark::State& state) {
  const Field field("STOKADI", ColumnType{"nvarchar", -9, 100, 0, 0, true},
                    std::string("Çelik vida M8x40 O'Brien ğüşıöç"));
  for (auto _ : state) benchmark::DoNotOptimize(devir::script::FieldToSql(field));
}
BENCHMARK(BM_FieldToSqlText);

void BM_FieldToSqlFloat(benchmark::State& state) {
  const Field field("FIYAT", ColumnType{"float", 8, 53, 0, 0, true}, 1234.5678901234);
  for (auto _ : state) benchmark::DoNotOptimize(devir::script::FieldToSql(field));
}
BENCHMARK(BM_FieldToSqlFloat);

void BM_FieldToSqlDateTime(benchmark::State& state) {
  const Field field("TARIH", ColumnType{"datetime", 93, 23, 0, 3, true},
                    devir::db::DateTime{2017, 3, 5, 14, 30, 0, 0});
  for (auto _ : state) benchmark::DoNotOptimize(devir::script::FieldToSql(field));
}
BENCHMARK(BM_FieldToSqlDateTime);

void BM_GeneralNumberText(benchmark::State& state) {
  double value = 0.1;
  for (auto _ : state) {
    benchmark::DoNotOptimize(devir::db::GeneralNumberText(value));
    value += 1.37;
  }
}
BENCHMARK(BM_GeneralNumberText);

void BM_ForEachEntryLine(benchmark::State& state) {
  std::string text;
  for (int i = 0; i < 1000; ++i) text += "INSERT INTO DEPO(KODU,ADI) VALUES('01','ANADEPO')\r\n";
  for (auto _ : state) {
    std::size_t lines = 0;
    devir::script::ForEachEntryLine(text, [&lines](std::string_view) { ++lines; });
    benchmark::DoNotOptimize(lines);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_ForEachEntryLine);

// The same row `rows` times, held in memory: what is measured is building the statements.
class RepeatedRow final : public devir::script::RowSource {
 public:
  RepeatedRow(std::vector<Field> fields, std::size_t rows)
      : fields_(std::move(fields)), rows_(rows) {}
  void Open(const std::string&) override { row_ = 0; }
  bool Eof() const override { return row_ >= rows_; }
  void Next() override { ++row_; }
  void Close() noexcept override {}
  int FieldCount() const override { return static_cast<int>(fields_.size()); }
  const Field& FieldAt(int index) const override {
    return fields_[static_cast<std::size_t>(index)];
  }
  const Field& FieldByName(std::string_view name) const override {
    for (const Field& field : fields_) {
      if (devir::db::EqualsIgnoringAsciiCase(field.Name(), name)) return field;
    }
    throw std::runtime_error("no field " + std::string(name));
  }

 private:
  std::vector<Field> fields_;
  std::size_t rows_;
  std::size_t row_ = 0;
};

class NullSink final : public devir::script::StatementSink {
 public:
  void Add(std::string text) override { benchmark::DoNotOptimize(text.data()); }
};

constexpr std::size_t kRowsPerIteration = 1000;

// A row of the stock balance query as the server gives it.
void BM_OpeningEntryStatements(benchmark::State& state) {
  RepeatedRow rows(
      {Field("DEPOADI", ColumnType{"nvarchar", -9, 50, 0, 0, true}, std::string("Merkez Depo")),
       Field("DEPOKODU", ColumnType{"nvarchar", -9, 10, 0, 0, false}, std::string("07")),
       Field("STOKKODU", ColumnType{"nvarchar", -9, 30, 0, 0, true}, std::string("STK-0012345")),
       Field("STOKADI", ColumnType{"nvarchar", -9, 100, 0, 0, true},
             std::string("Çelik vida M8x40 ğüşıöç")),
       Field("BIRIM", ColumnType{"nvarchar", -9, 10, 0, 0, true}, std::string("ADET")),
       Field("KDVORAN", ColumnType{"int", 4, 10, 0, 0, true}, std::int64_t{18}),
       Field("KALAN", ColumnType{"float", 8, 53, 0, 0, true}, 1234.5),
       Field("FIYAT", ColumnType{"float", 8, 53, 0, 0, true}, 17.3456789012)},
      kRowsPerIteration);
  NullSink sink;
  for (auto _ : state) {
    devir::script::AddOpeningStockEntries(rows, "balances", {2018, 1, 1}, sink);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kRowsPerIteration));
}
BENCHMARK(BM_OpeningEntryStatements);

// A code table's row: a few short texts and numbers.
void BM_TableCopyStatements(benchmark::State& state) {
  RepeatedRow rows(
      {Field("ID", ColumnType{"int identity", 4, 10, 0, 0, false}, std::int64_t{1}),
       Field("KODU", ColumnType{"nvarchar", -9, 20, 0, 0, false}, std::string("120.01.001")),
       Field("ADI", ColumnType{"nvarchar", -9, 100, 0, 0, true},
             std::string("Alıcılar - Öztürk Ltd. Şti.")),
       Field("TIP", ColumnType{"tinyint", -6, 3, 0, 0, true}, std::int64_t{2}),
       Field("BAKIYE", ColumnType{"money", 3, 19, 19, 4, true}, std::string("12345.6700")),
       Field("TARIH", ColumnType{"datetime", 93, 23, 0, 3, true},
             devir::db::DateTime{2017, 3, 5, 14, 30, 0, 0})},
      kRowsPerIteration);
  NullSink sink;
  for (auto _ : state) devir::script::TableCopyScript(rows, "HESAPKODU", sink);
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kRowsPerIteration));
}
BENCHMARK(BM_TableCopyStatements);

}  // namespace
