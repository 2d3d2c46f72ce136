#include "transfer/transfer_run.h"

#include "db/connection.h"
#include "db/query.h"
#include "script/balance_query.h"
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

}  // namespace

TransferSummary TransferRun(db::Connection& connection, db::Query& q,
                            const TransferSettings& settings, const TransferCallbacks& callbacks) {
  const auto set_stage = [&](const std::string& stage) {
    if (callbacks.set_stage) callbacks.set_stage(stage);
  };
  TransferSummary summary;
  const CommandTimeoutScope timeout(connection, settings.command_timeout_seconds);

  summary.data_folder = target::WithFinalSeparator(settings.data_folder);
  if (callbacks.data_folder_changed) callbacks.data_folder_changed(summary.data_folder);

  // Everything is read from the source before the first statement re-points the connection.
  script::ScriptSpool spool;
  {
    script::QueryRowSource rows(q);
    const std::string& balance_sql =
        settings.balance_sql.empty() ? script::BalanceQuerySql() : settings.balance_sql;
    summary.script =
        script::BuildTransferScript(rows, settings.opening_date, balance_sql, set_stage, spool);
  }
  spool.Finish();
  if (!settings.trace_path.empty()) script::WriteTraceFile(spool, settings.trace_path);
  if (settings.dry_run) return summary;

  const int year = settings.target_year;
  summary.template_copy = ProvisionTarget(connection, settings.login, summary.data_folder,
                                          settings.template_folders, year, set_stage);

  set_stage(kRunStage);
  summary.statements_run = db::RunScript(
      connection, settings.login, target::TargetDatabaseName(year), spool, callbacks.progress);
  return summary;
}

}  // namespace devir::transfer
