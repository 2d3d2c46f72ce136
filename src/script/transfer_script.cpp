#include "script/transfer_script.h"

#include <utility>

#include "script/carried_tables.h"
#include "script/entry_lines.h"
#include "script/opening_stock_entries.h"
#include "script/table_copy_script.h"

namespace devir::script {

namespace {

// Passes lines on and counts those the server will run.
class CountedLines final : public StatementSink {
 public:
  explicit CountedLines(StatementSink& lines) : lines_(lines) {}
  void Add(std::string text) override {
    if (!text.empty()) ++count_;
    lines_.Add(std::move(text));
  }
  std::size_t Count() const noexcept { return count_; }

 private:
  StatementSink& lines_;
  std::size_t count_ = 0;
};

ScriptStep CopyTable(RowSource& rows, std::string_view table, StatementSink& entries,
                     const RowVersionLookup& row_versions) {
  const std::size_t read = TableCopyScript(
      rows, table, entries, row_versions ? row_versions(table) : std::vector<std::string>{});
  return {std::string(table), std::string(table), read, read};
}

}  // namespace

ScriptReport BuildTransferScript(RowSource& rows, const db::DateTime& opening_date,
                                 const std::string& balance_sql, const StageCallback& set_stage,
                                 StatementSink& lines, const RowVersionLookup& row_versions) {
  ScriptReport report;
  CountedLines counted(lines);
  EntryLines entries(counted);
  entries.Add("SET DATEFORMAT DMY");

  // The STOK table script is one entry: its statements each end with CR LF and the entry's
  // own CR LF follows, which leaves one empty line behind them (also when STOK is empty).
  set_stage("stok tablosu");
  report.steps.push_back(CopyTable(rows, kCopiedTables.front(), entries, row_versions));
  counted.Add(std::string());

  set_stage("stokhareket tablosu");
  report.opening_entries = AddOpeningStockEntries(rows, balance_sql, opening_date, entries);
  report.steps.push_back(
      {"STOKHAREKET", kBalanceSource, report.opening_entries, report.opening_entries});

  // The code tables' scripts are appended to the line text, so they leave no empty line.
  set_stage("depo+hk+dk");
  entries.Add(kMainDepotStatement);
  report.steps.push_back({"DEPO", "", 0, 1});
  for (std::size_t i = 1; i < kCopiedTables.size(); ++i) {
    report.steps.push_back(CopyTable(rows, kCopiedTables[i], entries, row_versions));
  }
  report.lines = counted.Count();
  return report;
}

}  // namespace devir::script
