#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "db/field.h"
#include "transfer/defaults.h"

namespace devir::cli {

/// What devir-cli is asked to do.
enum class Command {
  kTransfer,   ///< carry the closing year over (the window's transfer button)
  kDetach,     ///< take the target database off the server ("DB Sil")
  kRowCounts,  ///< each carried table's row count in the source and the target
  kCheck,      ///< the checks before a transfer, changing nothing
  kVerify,     ///< the proof that the target holds what the source had, changing nothing
  kHelp,       ///< the usage text
};

/// What the command line asks for. Texts are as given (UTF-8).
struct Options {
  Command command = Command::kTransfer;
  std::string server = std::string(transfer::kDefaultServerAddress);
  std::string user = std::string(transfer::kDefaultUser);
  std::optional<std::string> password_file;
  std::string source;  ///< "E" and the year before the target year unless given
  int target_year = 0;
  db::DateTime date;  ///< 1 January of the current year unless given
  std::string data_dir;
  std::string trace;                        ///< the trace file's path
  std::optional<std::string> template_dir;  ///< the template's folder; the default places if not
  bool dry_run = false;
  bool verify = true;  ///< prove after a transfer (--no-verify: not)
  /// How long one statement may wait for the server; the transfer's own limits if not given.
  std::optional<int> timeout_seconds;
};

/// Bad usage: the message says what is wrong; the command exits with 2.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

/// The defaults that depend on where and when the command runs.
struct OptionDefaults {
  int current_year = 2018;  ///< the year of the default opening date
  std::string data_dir;     ///< the window's default data folder
  std::string trace;        ///< the window's trace file
};

/// Reads the arguments (without the program name). Throws UsageError.
Options ParseOptions(const std::vector<std::string>& args, const OptionDefaults& defaults);

/// "DD.MM.YYYY" (one or two digits for day and month) as a calendar date of the years SQL
/// Server's datetime holds (1753 to 9999). Throws UsageError naming the text.
db::DateTime ParseDate(const std::string& text);

/// The text of --help.
std::string UsageText();

}  // namespace devir::cli
