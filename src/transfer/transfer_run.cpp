#include "transfer/transfer_run.h"

#include "check/checks.h"
#include "check/target_empty.h"
#include "db/connection.h"
#include "db/query.h"
#include "script/balance_query.h"
#include "script/catalog_columns.h"
#include "script/query_row_source.h"
#include "script/script_spool.h"
#include "script/trace_file.h"
#include "target/data_folder.h"
#include "transfer/provisioning.h"
#include "transfer/stage_labels.h"

namespace devir::transfer {
namespace {

// The run's own timeout while it lasts; the connection's setting is back afterwards.
class CommandTimeoutScope {
 public:
  CommandTimeoutScope(db::Connection& connection, int seconds)
      : connection_(connection), saved_(connection.CommandTimeout()) {
    connection_.SetCommandTimeout(seconds);
  }
  ~CommandTimeoutScope() { connection_.SetCommandTimeout(saved_); }
  CommandTimeoutScope(const CommandTimeoutScope&) = delete;
  CommandTimeoutScope& operator=(const CommandTimeoutScope&) = delete;

 private:
  db::Connection& connection_;
  int saved_;
};

// The balance query gets its own, longer time limit; every other query the script's.
class TimedRowSource final : public script::RowSource {
 public:
  TimedRowSource(script::RowSource& rows, db::Connection& connection,
                 const std::string& balance_sql, const TransferSettings& settings)
      : rows_(rows), connection_(connection), balance_sql_(balance_sql), settings_(settings) {}

  void Open(const std::string& sql) override {
    connection_.SetCommandTimeout(sql == balance_sql_ ? settings_.balance_query_timeout_seconds
                                                      : settings_.command_timeout_seconds);
    rows_.Open(sql);
  }
  bool Eof() const override { return rows_.Eof(); }
  void Next() override { rows_.Next(); }
  void Close() noexcept override { rows_.Close(); }
  int FieldCount() const override { return rows_.FieldCount(); }
  const db::Field& FieldAt(int index) const override { return rows_.FieldAt(index); }
  const db::Field& FieldByName(std::string_view name) const override {
    return rows_.FieldByName(name);
  }

 private:
  script::RowSource& rows_;
  db::Connection& connection_;
  const std::string& balance_sql_;
  const TransferSettings& settings_;
};

}  // namespace

TransferSummary TransferRun(db::Connection& connection, db::Query& q,
                            const TransferSettings& settings, const TransferCallbacks& callbacks) {
  std::string last_stage;
  const auto set_stage = [&](const std::string& stage) {
    // The checks open "şirket" before provisioning sets it again: shown once.
    if (stage == last_stage) return;
    last_stage = stage;
    if (callbacks.set_stage) callbacks.set_stage(stage);
  };
  TransferSummary summary;
  const CommandTimeoutScope timeout(connection, settings.command_timeout_seconds);

  summary.data_folder = target::WithFinalSeparator(settings.data_folder);
  if (callbacks.data_folder_changed) callbacks.data_folder_changed(summary.data_folder);

  // Everything is read from the source before the first statement re-points the connection.
  script::ScriptSpool spool;
  {
    script::QueryRowSource query_rows(q);
    const std::string& balance_sql =
        settings.balance_sql.empty() ? script::BalanceQuerySql() : settings.balance_sql;
    TimedRowSource rows(query_rows, connection, balance_sql, settings);
    // Rowversion columns by the catalogue: a driver may report them as plain binary.
    const auto row_versions = [&rows](std::string_view table) {
      return script::RowVersionColumns(rows, table);
    };
    summary.script = script::BuildTransferScript(rows, settings.opening_date, balance_sql,
                                                 set_stage, spool, row_versions);
  }
  spool.Finish();
  if (!settings.trace_path.empty()) {
    summary.trace = script::WriteTraceFile(spool, settings.trace_path);
  }
  connection.SetCommandTimeout(settings.command_timeout_seconds);
  if (settings.dry_run) return summary;

  const int year = settings.target_year;
  if (settings.check_errors_first) {
    // Still on the source: nothing has changed on the server yet.
    set_stage(kRegistryStage);
    script::QueryRowSource rows(q);
    const check::CheckReport report =
        check::RunChecks(rows,
                         {.login = settings.login,
                          .source = settings.source_database,
                          .target_year = year,
                          .data_folder = summary.data_folder,
                          .trace_path = {},  // written already
                          .template_folders = settings.template_folders},
                         check::CheckScope::kErrorsOnly);
    if (report.HasErrors()) throw check::ChecksFailed(report);
  }
  summary.template_copy = ProvisionTarget(connection, settings.login, summary.data_folder,
                                          settings.template_folders, year, set_stage);

  set_stage(kRunStage);
  check::EnsureTargetEmpty(connection, settings.login, year, summary.data_folder);
  summary.statements_run = db::RunScript(
      connection, settings.login, target::TargetDatabaseName(year), spool, callbacks.progress);

  if (settings.prove) {
    set_stage(kProofStage);
    summary.proof =
        check::ProveTransfer({.login = settings.login,
                              .source = settings.source_database,
                              .target_year = year,
                              .command_timeout_seconds = settings.command_timeout_seconds});
  }
  return summary;
}

}  // namespace devir::transfer
