// Hot paths of a transfer that run once per value or line: with millions of movements these
// decide the script's build time.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "db/field.h"
#include "db/general_number.h"
#include "script/field_to_sql.h"
#include "script/line_text.h"

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

}  // namespace
