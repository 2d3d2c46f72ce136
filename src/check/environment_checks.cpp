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
#include <fcntl.h>
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
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

// Why the file could not be written (or made), asked of the system without writing to it;
// empty when it could. An existing file is opened for appending, which changes nothing, so
// that a device such as /dev/null passes as it would for the trace.
std::error_code WriteProblem(const std::filesystem::path& path) {
  std::error_code error;
  const bool exists = std::filesystem::exists(path, error);
  if (error) return error;
  if (exists) {
    if (std::filesystem::is_directory(path, error)) {
      return std::make_error_code(std::errc::is_a_directory);
    }
#ifdef _WIN32
    const int fd = _wopen(path.c_str(), _O_WRONLY | _O_APPEND);
    if (fd < 0) return {errno, std::generic_category()};
    _close(fd);
#else
    const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) return {errno, std::generic_category()};
    close(fd);
#endif
    return {};
  }
  std::filesystem::path folder = path.parent_path();
  if (folder.empty()) folder = ".";
  if (!std::filesystem::exists(folder, error)) {
    return error ? error : std::make_error_code(std::errc::no_such_file_or_directory);
  }
  if (!std::filesystem::is_directory(folder, error)) {
    return std::make_error_code(std::errc::not_a_directory);
  }
#ifdef _WIN32
  if (_waccess(folder.c_str(), 2) != 0) return {errno, std::generic_category()};
#else
  if (access(folder.c_str(), W_OK) != 0) return {errno, std::generic_category()};
#endif
  return {};
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

  if (!settings.trace_path.empty()) {
    if (const std::error_code problem = WriteProblem(settings.trace_path)) {
      Finding trace(Severity::kError, "the trace file cannot be written",
                    "the transfer would stop at \"depo+hk+dk\"");
      trace.Add(target::PathToUtf8(settings.trace_path) + ": " + problem.message());
      report.findings.push_back(std::move(trace));
    }
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
