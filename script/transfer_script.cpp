#include "script/transfer_script.h"

#include <array>

#include "script/balance_query.h"
#include "script/entry_lines.h"
#include "script/opening_stock_entries.h"
#include "script/query_row_source.h"
#include "script/table_copy_script.h"
#include "script/trace_file.h"

namespace devir::script {

namespace {

constexpr std::array<const char*, 6> kCodeTables = {"HESAPKODU",  "DUZEYKODU1", "DUZEYKODU2",
                                                    "DUZEYKODU3", "DUZEYKODU4", "DUZEYKODU5"};

}  // namespace

void BuildTransferScript(RowSource& rows, const db::DateTime& opening_date,
                         const std::string& balance_sql, const StageCallback& set_stage,
                         StatementSink& lines) {
  EntryLines entries(lines);
  entries.Add("SET DATEFORMAT DMY");

  // The STOK table script is one entry: its statements each end with CR LF and the entry's
  // own CR LF follows, which leaves one empty line behind them (also when STOK is empty).
  set_stage("stok tablosu");
  TableCopyStatements(rows, "STOK", entries);
  lines.Add(std::string());

  set_stage("stokhareket tablosu");
  AddOpeningStockEntries(rows, balance_sql, opening_date, entries);

  // The code tables' scripts are appended to the line text, so they leave no empty line.
  set_stage("depo+hk+dk");
  entries.Add(kMainDepotStatement);
  for (const char* table : kCodeTables) TableCopyStatements(rows, table, entries);
}

std::vector<std::string> BuildTransferScript(db::Query& q, const db::DateTime& opening_date,
                                             const StageCallback& set_stage,
                                             const std::filesystem::path& trace_path) {
  QueryRowSource rows(q);
  StatementList lines;
  BuildTransferScript(rows, opening_date, BalanceQuerySql(), set_stage, lines);
  if (!trace_path.empty()) WriteTraceFile(lines.Items(), trace_path);
  return lines.Take();
}

}  // namespace devir::script
