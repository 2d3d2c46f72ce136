// The server and the disk as a transfer will find them. Nothing here writes: files are only
// looked at and opened for reading, the server only asked.
#include <cstdio>
#include <fstream>
#include <string>
#include <system_error>

#include "check/checks.h"
#include "db/ascii_case.h"
#include "db/database_error.h"
#include "script/text_literal.h"
#include "target/data_folder.h"
#include "target/registration.h"
#include "target/template_files.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace devir::check {
namespace {

// The first column of the first row of sql, as a number.
double Scalar(script::RowSource& rows, const std::string& sql) {
  rows.Open(sql);
  script::ClosedOnExit close(rows);
  return rows.Eof() ? 0 : rows.FieldAt(0).AsFloat();
}

bool Exists(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::exists(path, error);
}

bool Readable(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return in.good();
}

// Whether the file could be written (or made), asked of the system without writing.
bool Writable(const std::filesystem::path& path) {
  std::error_code error;
  const bool exists = std::filesystem::exists(path, error);
  if (exists && !std::filesystem::is_regular_file(path, error)) return false;
  std::filesystem::path where = exists ? path : path.parent_path();
  if (where.empty()) where = ".";
#ifdef _WIN32
  return _waccess(where.c_str(), 2) == 0;
#else
  return access(where.c_str(), W_OK) == 0;
#endif
}

void CheckTemplate(const CheckSettings& settings, const target::TargetFiles& files,
                   CheckReport& report) {
  // The template is copied only where a target file is missing.
  if (Exists(target::PathFromUtf8(files.data_file)) &&
      Exists(target::PathFromUtf8(files.log_file))) {
    return;
  }
  const int year = settings.target_year;
  try {
    const std::filesystem::path folder =
        target::FindTemplateFolder(settings.template_folders, year);
    Finding unreadable(Severity::kError, "template files that cannot be read",
                       "the copy into the data folder would fail");
    for (const std::string& name : {target::DataFileName(year), target::LogFileName(year)}) {
      if (!Readable(folder / name)) unreadable.Add(target::PathToUtf8(folder / name));
    }
    if (unreadable.count > 0) report.findings.push_back(std::move(unreadable));
  } catch (const std::runtime_error& error) {
    Finding missing(Severity::kError, "template files missing",
                    "the new year's database cannot be made");
    missing.Add(error.what());
    report.findings.push_back(std::move(missing));
  }
}

}  // namespace

void CheckEnvironment(script::RowSource& rows, const CheckSettings& settings, CheckScope scope,
                      CheckReport& report) {
  const std::string target_name = target::TargetDatabaseName(settings.target_year);
  if (db::EqualsIgnoringAsciiCase(settings.source, target_name)) {
    Finding same(Severity::kError, "source and target database names equal",
                 "the transfer would rewrite the live year's registry row and attach over it");
    same.Add(settings.source);
    report.findings.push_back(std::move(same));
  }

  if (Scalar(rows, "SELECT COUNT(*) FROM sys.databases WHERE name = " +
                       script::TextLiteral(target_name, true)) > 0) {
    Finding attached(Severity::kError, "the target database is already attached",
                     "the attach would fail; \"DB Sil\" (devir-cli --detach) takes it off");
    attached.Add(target_name);
    report.findings.push_back(std::move(attached));
  }

  const double sysadmin = Scalar(rows, "SELECT IS_SRVROLEMEMBER('sysadmin')");
  const double dbcreator = Scalar(rows, "SELECT IS_SRVROLEMEMBER('dbcreator')");
  if (sysadmin != 1 && dbcreator != 1) {
    Finding no_right(Severity::kError, "the login lacks the right to attach a database",
                     "it is neither sysadmin nor dbcreator on the server");
    no_right.Add("login " + settings.login.user);
    report.findings.push_back(std::move(no_right));
  }

  const std::string data_folder = target::WithFinalSeparator(settings.data_folder);
  const target::TargetFiles files = target::TargetFilesIn(data_folder, settings.target_year);
  CheckTemplate(settings, files, report);

  if (!settings.trace_path.empty() && !Writable(settings.trace_path)) {
    Finding trace(Severity::kError, "the trace file cannot be written",
                  "the transfer would stop at \"depo+hk+dk\"");
    trace.Add(target::PathToUtf8(settings.trace_path));
    report.findings.push_back(std::move(trace));
  }

  try {
    const std::string registry =
        std::string(target::kRegistryDatabase) +
        ".dbo.sirketler WHERE SirketAdi = " + script::TextLiteral(target_name, true);
    if (Scalar(rows, "SELECT COUNT(*) FROM " + registry) > 0 && scope == CheckScope::kAll) {
      Finding registered(Severity::kWarning, "the registry already holds the target year",
                         "the transfer replaces its row");
      registered.Add(std::string(target::kRegistryDatabase) + ".dbo.sirketler SirketAdi " +
                     target_name);
      report.findings.push_back(std::move(registered));
    }
  } catch (const db::DatabaseError& error) {
    Finding registry(Severity::kError, "the registry cannot be read",
                     "the transfer would stop at \"şirket\"");
    registry.Add(error.what());
    report.findings.push_back(std::move(registry));
  }
  if (scope == CheckScope::kErrorsOnly) return;

  Finding present(Severity::kWarning, "the target files are already in the data folder",
                  "the copy never replaces them and the attach uses them, not the template; a "
                  "transfer stops after the attach if they hold rows");
  for (const std::string& file : {files.data_file, files.log_file}) {
    if (Exists(target::PathFromUtf8(file))) present.Add(file);
  }
  if (present.count > 0) report.findings.push_back(std::move(present));
}

CheckReport RunChecks(script::RowSource& rows, const CheckSettings& settings, CheckScope scope) {
  CheckReport report;
  CheckEnvironment(rows, settings, scope, report);
  CheckMovements(rows, scope, report);
  const double code_page = Scalar(rows,
                                  "SELECT CONVERT(int, COLLATIONPROPERTY(CONVERT(nvarchar(128), "
                                  "SERVERPROPERTY('Collation')), 'CodePage'))");
  CheckValues(rows, static_cast<int>(code_page), report);
  return report;
}

}  // namespace devir::check
