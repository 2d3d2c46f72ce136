#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "check/check_report.h"
#include "db/server_login.h"
#include "script/row_source.h"
#include "target/target_year.h"

namespace devir::check {

/// What the checks look at besides the source database.
struct CheckSettings {
  db::ServerLogin login;
  std::string source;  ///< the source database's name
  int target_year = target::kTargetYear;
  std::string data_folder;           ///< the server's folder for database files, as typed
  std::filesystem::path trace_path;  ///< empty: none to check
  /// Where the year's template may lie (TransferSettings::template_folders).
  std::vector<std::filesystem::path> template_folders;
};

/// Which checks run.
enum class CheckScope {
  kAll,         ///< everything: devir-cli --check and before its transfer
  kErrorsOnly,  ///< only the checks that can find an error: the window, before "şirket"
};

/// Checks the source year and the environment before a transfer, changing nothing on the
/// server or on disk. `rows` reads through the connection to the source database; server-wide
/// facts (attached databases, the registry, the login's roles) are asked over it too. Each
/// finding says its severity, count and first examples. Throws db::DatabaseError when the
/// source itself cannot be read.
CheckReport RunChecks(script::RowSource& rows, const CheckSettings& settings, CheckScope scope);

/// The source's movements and depots: items without a stock card, negative remaining
/// quantities, movements without depots, depots missing from DEPO, depots other than the main
/// one. Part of RunChecks.
void CheckMovements(script::RowSource& rows, CheckScope scope, CheckReport& report);

/// Values the script cannot carry: NaN and infinite floats of the copied tables and of the
/// movements, and text of a char/varchar/text column that code_page (a Windows code page)
/// cannot hold. Part of RunChecks.
void CheckValues(script::RowSource& rows, int code_page, CheckReport& report);

/// The server and the disk: source and target names, the target attached, the registry row,
/// the target files, the template files, the trace file, the login's right to attach. Part
/// of RunChecks.
void CheckEnvironment(script::RowSource& rows, const CheckSettings& settings, CheckScope scope,
                      CheckReport& report);

}  // namespace devir::check
