#include "cli/commands.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <iomanip>
#include <ostream>

#include "check/checks.h"
#include "check/proof.h"
#include "cli/progress_reporter.h"
#include "cli/reports.h"
#include "cli/row_counts.h"
#include "db/connection.h"
#include "db/query.h"
#include "db/script_runner.h"
#include "db/server_connection.h"
#include "db/statement_runner.h"
#include "script/query_row_source.h"
#include "target/data_folder.h"
#include "target/detach.h"
#include "target/target_year.h"
#include "target/template_files.h"
#include "transfer/stage_labels.h"
#include "transfer/transfer_run.h"

namespace devir::cli {
namespace {

using transfer::kConnectStage;

// What devir-cli shows while it checks before a transfer, and in front of a failed check.
constexpr char kCheckStage[] = "check";

db::ServerLogin LoginOf(const Options& options, const std::string& password) {
  return {options.server, options.user, password};
}

// --timeout for the commands that run outside a transfer (which has limits of its own).
void ApplyTimeout(db::Connection& connection, const Options& options) {
  if (options.timeout_seconds) connection.SetCommandTimeout(*options.timeout_seconds);
}

// The failure as the window's message box shows it, with a plain line break.
int Failed(Streams streams, const std::string& place, const std::exception& error) {
  streams.err << place << '\n' << error.what() << std::endl;
  return kExitFailed;
}

std::vector<std::filesystem::path> TemplateFolders(const Options& options) {
  return options.template_dir
             ? std::vector<std::filesystem::path>{target::PathFromUtf8(*options.template_dir)}
             : target::TemplateFolderCandidates();
}

check::CheckSettings CheckSettingsOf(const Options& options, const std::string& password) {
  return {.login = LoginOf(options, password),
          .source = options.source,
          .target_year = options.target_year,
          .data_folder = options.data_dir,
          .trace_path = target::PathFromUtf8(options.trace),
          .template_folders = TemplateFolders(options)};
}

double SecondsSince(std::chrono::steady_clock::time_point started) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
}

void PrintElapsed(std::ostream& out, double seconds) {
  char elapsed[32];
  std::snprintf(elapsed, sizeof elapsed, "%.1f s", seconds);
  out << "elapsed: " << elapsed << std::endl;
}

void PrintCount(std::ostream& out, const std::string& label, std::size_t count) {
  out << "  " << std::left << std::setw(26) << label << std::right << std::setw(10) << count
      << '\n';
}

// The window stays silent about the template copy; a log says which file was kept.
void NoteTemplateCopies(Streams streams, const transfer::TransferSummary& summary) {
  for (const std::filesystem::path& file : summary.template_copy.kept) {
    streams.err << "devir-cli: " << target::PathToUtf8(file)
                << " was there already and was not replaced by the template; the attach used it"
                << std::endl;
  }
}

void PrintSummary(std::ostream& out, const Options& options,
                  const transfer::TransferSummary& summary, double seconds) {
  const std::string target = target::TargetDatabaseName(options.target_year);
  if (options.dry_run) {
    out << "devir-cli: dry run of " << options.source << " -> " << target
        << ": nothing was changed on the server\n";
  } else {
    out << "devir-cli: " << options.source << " carried over to " << target << " on "
        << options.server << '\n';
  }
  out << "rows read from " << options.source << ":\n";
  for (const script::ScriptStep& step : summary.script.steps) {
    if (!step.source.empty()) PrintCount(out, step.source, step.rows_read);
  }
  out << "opening entries " << (options.dry_run ? "in the script" : "written") << ": "
      << summary.script.opening_entries << '\n';
  out << "statements run: " << summary.statements_run << " of " << summary.script.lines << '\n';
  out << "trace file: " << options.trace << " (" << summary.trace.charset;
  if (summary.trace.replaced > 0) {
    out << ", " << summary.trace.replaced << " character"
        << (summary.trace.replaced == 1 ? " it cannot hold" : "s it cannot hold")
        << " written as '?'";
  }
  out << ")\n";
  if (summary.proof) {
    out << "proof:\n";
    PrintProofReport(out, *summary.proof, options.source, target);
  }
  PrintElapsed(out, seconds);
}

}  // namespace

int RunTransferCommand(const Options& options, const std::string& password, Streams streams) {
  const auto started = std::chrono::steady_clock::now();
  ProgressReporter reporter(streams.err, streams.err_is_terminal);
  std::string stage = kConnectStage;
  streams.err << "devir-cli: connecting to " << options.source << " on " << options.server
              << std::endl;

  db::Connection connection;
  // The checks before the transfer wait as long as the transfer's own statements.
  connection.SetCommandTimeout(
      options.timeout_seconds.value_or(transfer::TransferSettings{}.command_timeout_seconds));
  db::Query query(connection);
  transfer::TransferSummary summary;
  try {
    const db::ServerLogin login = LoginOf(options, password);
    db::ConnectSource(connection, login, options.source);
    transfer::TransferSettings settings;
    settings.login = login;
    settings.data_folder = options.data_dir;
    settings.opening_date = options.date;
    settings.target_year = options.target_year;
    settings.trace_path = target::PathFromUtf8(options.trace);
    settings.template_folders = TemplateFolders(options);
    settings.dry_run = options.dry_run;
    if (options.timeout_seconds) {
      settings.command_timeout_seconds = *options.timeout_seconds;
      settings.balance_query_timeout_seconds = *options.timeout_seconds;
    }
    settings.source_database = options.source;
    settings.prove = options.verify;

    if (!options.dry_run) {
      // The same checks as --check, before anything changes.
      stage = kCheckStage;
      reporter.Stage(stage);
      script::QueryRowSource rows(query);
      const check::CheckReport report =
          check::RunChecks(rows, CheckSettingsOf(options, password), check::CheckScope::kAll);
      if (!report.findings.empty()) PrintCheckReport(streams.err, report);
      if (report.HasErrors()) {
        streams.err << "devir-cli: the checks found errors; nothing was changed" << std::endl;
        return kExitFailed;
      }
    }

    transfer::TransferCallbacks callbacks;
    callbacks.set_stage = [&](const std::string& next) {
      stage = next;
      reporter.Stage(next);
    };
    callbacks.progress = [&](std::size_t run, std::size_t total) { reporter.Progress(run, total); };
    summary = transfer::TransferRun(connection, query, settings, callbacks);
  } catch (const db::ScriptLineError& error) {
    reporter.Finish();
    return Failed(streams, error.Line(), error);
  } catch (const std::exception& error) {
    reporter.Finish();
    return Failed(streams, stage, error);
  }
  reporter.Finish();
  if (!options.dry_run) NoteTemplateCopies(streams, summary);
  PrintSummary(streams.out, options, summary, SecondsSince(started));
  return summary.proof && !summary.proof->Passed() ? kExitProofFailed : kExitDone;
}

int RunDetachCommand(const Options& options, const std::string& password, Streams streams) {
  const std::string target = target::TargetDatabaseName(options.target_year);
  streams.err << "devir-cli: connecting to " << options.source << " on " << options.server
              << std::endl;
  db::Connection connection;
  ApplyTimeout(connection, options);
  try {
    const db::ServerLogin login = LoginOf(options, password);
    db::ConnectSource(connection, login, options.source);
    target::DetachDatabase(connection, login, target);
  } catch (const std::exception& error) {
    // The window shows a failed detach under the stage label it set for connecting.
    return Failed(streams, kConnectStage, error);
  }
  streams.out << "devir-cli: " << target << " detached from " << options.server
              << "; its files stay where they are" << std::endl;
  return kExitDone;
}

int RunRowCountsCommand(const Options& options, const std::string& password, Streams streams) {
  const std::string target = target::TargetDatabaseName(options.target_year);
  const auto count = [&](const std::string& database) {
    db::Connection connection;
    ApplyTimeout(connection, options);
    connection.SetConnectionString(
        db::RunnerConnectionString(LoginOf(options, password), database));
    connection.Connect();
    return CountRows(connection);
  };

  std::vector<RowCountLine> lines;
  try {
    for (const auto& [table, rows] : count(options.source)) lines.push_back({table, rows, {}});
  } catch (const std::exception& error) {
    return Failed(streams, kConnectStage, error);
  }
  try {
    const auto counts = count(target);
    for (std::size_t i = 0; i < lines.size(); ++i) lines[i].target = counts[i].second;
  } catch (const std::exception& error) {
    // Before the transfer the target is simply not there yet: its column stays empty.
    streams.err << "devir-cli: " << target << " cannot be read: " << error.what() << std::endl;
  }
  PrintRowCounts(streams.out, options.source, target, lines);
  streams.out.flush();
  return kExitDone;
}

int RunCheckCommand(const Options& options, const std::string& password, Streams streams) {
  const auto started = std::chrono::steady_clock::now();
  const std::string target = target::TargetDatabaseName(options.target_year);
  streams.err << "devir-cli: connecting to " << options.source << " on " << options.server
              << std::endl;
  check::CheckReport report;
  std::string stage = kConnectStage;
  try {
    db::Connection connection;
    ApplyTimeout(connection, options);
    db::Query query(connection);
    db::ConnectSource(connection, LoginOf(options, password), options.source);
    stage = kCheckStage;
    script::QueryRowSource rows(query);
    report = check::RunChecks(rows, CheckSettingsOf(options, password), check::CheckScope::kAll);
  } catch (const std::exception& error) {
    return Failed(streams, stage, error);
  }
  streams.out << "devir-cli: checks of " << options.source << " -> " << target << " on "
              << options.server << " (nothing was changed)\n";
  PrintCheckReport(streams.out, report);
  PrintElapsed(streams.out, SecondsSince(started));
  return report.HasErrors() ? kExitFailed : kExitDone;
}

int RunVerifyCommand(const Options& options, const std::string& password, Streams streams) {
  const auto started = std::chrono::steady_clock::now();
  const std::string target = target::TargetDatabaseName(options.target_year);
  streams.err << "devir-cli: proving " << target << " against " << options.source << " on "
              << options.server << std::endl;
  check::ProofSettings settings;
  settings.login = LoginOf(options, password);
  settings.source = options.source;
  settings.target_year = options.target_year;
  check::ProofReport report;
  try {
    report = check::ProveTransfer(settings);
  } catch (const std::exception& error) {
    return Failed(streams, transfer::kProofStage, error);
  }
  streams.out << "devir-cli: proof that " << target << " holds what " << options.source
              << " had, on " << options.server << " (nothing was changed)\n";
  PrintProofReport(streams.out, report, options.source, target);
  PrintElapsed(streams.out, SecondsSince(started));
  return report.Passed() ? kExitDone : kExitProofFailed;
}

}  // namespace devir::cli
