#include "app/transfer_run.h"

#include <algorithm>
#include <utility>

#include "db/connection.h"
#include "db/query.h"
#include "script/balance_query.h"
#include "script/query_row_source.h"
#include "script/statement_sink.h"
#include "script/trace_file.h"
#include "script/transfer_script.h"
#include "target/data_folder.h"
#include "target/provisioning.h"

namespace devir::app {
namespace {

constexpr std::string_view kTableQueryHead = "SELECT * FROM ";

// Counts the rows each query of the script reads, for the summary.
class CountingRowSource final : public script::RowSource {
 public:
  explicit CountingRowSource(script::RowSource& rows) : rows_(rows) {}

  void Open(const std::string& sql) override {
    const bool table = sql.starts_with(kTableQueryHead);
    counts_.push_back(
        {table ? sql.substr(kTableQueryHead.size()) : std::string("STOKHAREKET balances"), 0});
    rows_.Open(sql);
    CountRow();
  }
  bool Eof() const override { return rows_.Eof(); }
  void Next() override {
    rows_.Next();
    CountRow();
  }
  void Close() noexcept override { rows_.Close(); }
  int FieldCount() const override { return rows_.FieldCount(); }
  const db::Field& FieldAt(int index) const override { return rows_.FieldAt(index); }
  const db::Field& FieldByName(std::string_view name) const override {
    return rows_.FieldByName(name);
  }

  std::vector<SourceRows> Take() { return std::exchange(counts_, {}); }

 private:
  void CountRow() {
    if (!rows_.Eof()) ++counts_.back().rows;
  }

  script::RowSource& rows_;
  std::vector<SourceRows> counts_;
};

}  // namespace

TransferSummary TransferRun(db::Connection& connection, db::Query& q,
                            const TransferSettings& settings, const TransferCallbacks& callbacks) {
  const auto set_stage = [&](const std::string& stage) {
    if (callbacks.set_stage) callbacks.set_stage(stage);
  };
  TransferSummary summary;

  // The run's own timeout while it lasts; the connection's setting is back afterwards.
  struct TimeoutScope {
    db::Connection& connection;
    int saved;
    ~TimeoutScope() { connection.SetCommandTimeout(saved); }
  } timeout_scope{connection, connection.CommandTimeout()};
  connection.SetCommandTimeout(settings.command_timeout_seconds);

  summary.data_folder = target::WithFinalSeparator(settings.data_folder);
  if (callbacks.data_folder_changed) callbacks.data_folder_changed(summary.data_folder);

  // Everything is read from the source before the first statement re-points the connection.
  std::vector<std::string> lines;
  {
    script::QueryRowSource query_rows(q);
    CountingRowSource rows(query_rows);
    script::StatementList list;
    const std::string& balance_sql =
        settings.balance_sql.empty() ? script::BalanceQuerySql() : settings.balance_sql;
    script::BuildTransferScript(rows, settings.opening_date, balance_sql, set_stage, list);
    if (!settings.trace_path.empty()) script::WriteTraceFile(list.Items(), settings.trace_path);
    lines = list.Take();
    summary.rows_read = rows.Take();
  }
  for (const SourceRows& read : summary.rows_read) {
    if (!read.source.starts_with("STOKHAREKET")) continue;
    summary.opening_entries = read.rows;
  }
  summary.script_lines = static_cast<std::size_t>(std::count_if(
      lines.begin(), lines.end(), [](const std::string& line) { return !line.empty(); }));
  if (settings.dry_run) return summary;

  const target::ServerLogin login{settings.server, settings.user, settings.password};
  summary.template_copy =
      target::RegisterAndAttach(connection, login, summary.data_folder, settings.template_folder,
                                settings.target_year, set_stage);

  set_stage(kRunStage);
  summary.statements_run =
      db::RunScript(connection, settings.server, target::TargetDatabaseName(settings.target_year),
                    lines, settings.user, settings.password, callbacks.progress);
  return summary;
}

}  // namespace devir::app
