#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "check/proof.h"
#include "db/field.h"
#include "db/script_runner.h"
#include "db/server_login.h"
#include "script/trace_file.h"
#include "script/transfer_script.h"
#include "target/target_year.h"
#include "target/template_files.h"

namespace devir::db {
class Connection;
class Query;
}  // namespace devir::db

namespace devir::transfer {

/// What a transfer needs besides the connection to the source database. Texts are UTF-8.
struct TransferSettings {
  db::ServerLogin login;  ///< the server the source connection was made with, and the login
  /// The server's folder for database files as typed; the run makes it end with the
  /// platform's separator.
  std::string data_folder;
  db::DateTime opening_date;  ///< the day of the carry-over movements
  int target_year = target::kTargetYear;
  std::filesystem::path trace_path;  ///< the trace file; empty writes none
  /// Where the year's template files may lie, looked at in order when a target file must be
  /// copied: target::TemplateFolderCandidates() unless the user named a folder.
  std::vector<std::filesystem::path> template_folders;
  bool dry_run = false;  ///< build the script and the trace file, change nothing on the server
  /// The stock balance query (the window's `ADOQuery1`); empty: script::BalanceQuerySql().
  std::string balance_sql;
  /// How long one statement may wait for the server during the run: a server that stops
  /// answering ends the run with the driver's timeout error rather than a frozen window. The
  /// driver then waits as long again for the server to take the cancel, so a frozen server is
  /// reported within twice this: under two minutes.
  int command_timeout_seconds = 50;
  /// The same for the stock balance query, which over a year with millions of movements may
  /// compute for minutes before its first row.
  int balance_query_timeout_seconds = 600;
  /// The source database's name, for the checks and the proof.
  std::string source_database;
  /// Run the checks that can find an error (check::CheckScope::kErrorsOnly) at the start of
  /// "şirket", before anything changes on the server.
  bool check_errors_first = false;
  /// Prove after the script, under "doğrulama", that the target holds what the source had.
  bool prove = false;
};

/// How the run shows what it does. Any of them may be empty.
struct TransferCallbacks {
  /// Each stage label as it is set.
  std::function<void(const std::string& stage)> set_stage;
  /// The data folder once it ends with its separator, for the field that shows it.
  std::function<void(const std::string& data_folder)> data_folder_changed;
  /// Statements run of the script's non-empty lines, after each batch.
  db::ScriptProgress progress;
};

/// What a finished run did.
struct TransferSummary {
  script::ScriptReport script;               ///< what each step read and wrote
  script::TraceFileReport trace;             ///< the trace file's charset and replacements
  std::size_t statements_run = 0;            ///< 0 for a dry run
  std::string data_folder;                   ///< with its final separator
  target::TemplateCopyResult template_copy;  ///< what became of the copies (not for a dry run)
  std::optional<check::ProofReport> proof;   ///< the proof, when asked for
};

/// The transfer from the source database that `connection` is connected to (`q` is a query on
/// it) into the target year's database: the data folder made to end with its separator, the
/// transfer script built from the source and written to the trace file, the year registered
/// and its template attached, every non-empty script line run in the target in one
/// transaction, and the proof made when asked for. The stage label is set before each step.
/// Before the first line runs, every table the script writes must be empty in the target.
/// The script goes to a temporary file in the system's temporary folder (TMPDIR, else /tmp;
/// TMP or TEMP on Windows) as it is built and is read back from there for the trace file and
/// the run, so memory does not grow with the year; the file is removed however the run ends.
///
/// Throws db::ScriptLineError when a script line fails (nothing of the script stays in the
/// target); check::ChecksFailed when the checks find an error; check::TargetNotEmpty when the
/// attached target holds rows (nothing is written to it); any other failure throws
/// std::exception with the server's or system's message, placed by the stage set last. A
/// proof that finds differences does not throw: the summary holds it.
TransferSummary TransferRun(db::Connection& connection, db::Query& q,
                            const TransferSettings& settings, const TransferCallbacks& callbacks);

}  // namespace devir::transfer
