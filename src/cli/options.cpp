#include "cli/options.h"

#include <cctype>
#include <chrono>

#include "db/ascii_case.h"
#include "db/utf.h"
#include "target/target_year.h"

namespace devir::cli {
namespace {

// SQL Server's datetime starts in 1753, and the source year comes before the target.
constexpr int kFirstYear = 1753;
constexpr int kLastYear = 9999;

bool AllDigits(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

int ParseTargetYear(const std::string& text) {
  if (text.size() != 4 || !AllDigits(text)) {
    throw UsageError("--target-year takes a year of four digits, not '" + text + "'");
  }
  const int year = std::stoi(text);
  if (year <= kFirstYear) {
    throw UsageError("--target-year must come after " + std::to_string(kFirstYear));
  }
  return year;
}

int ParseTimeout(const std::string& text) {
  if (text.empty() || text.size() > 6 || !AllDigits(text)) {
    throw UsageError("--timeout takes a number of seconds (0 for no limit), not '" + text + "'");
  }
  return std::stoi(text);
}

bool IsBlank(const std::string& text) {
  return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

// Every text of this program is UTF-8: a value that is not (a name typed in another code
// page) is refused here, where its option can still be named.
const std::string& Utf8Value(const std::string& option, const std::string& value) {
  try {
    db::Utf8ToUtf16(value);
  } catch (const std::exception&) {
    throw UsageError(option + " is not UTF-8 text");
  }
  return value;
}

// A value that names something (a server, a login, a database, a folder, a file).
const std::string& NameValue(const std::string& option, const std::string& value) {
  if (IsBlank(value)) throw UsageError(option + " must not be empty");
  return Utf8Value(option, value);
}

}  // namespace

db::DateTime ParseDate(const std::string& text) {
  const auto bad = [&text] {
    return UsageError("--date takes a date as DD.MM.YYYY, not '" + text + "'");
  };
  const auto first = text.find('.');
  const auto second = first == std::string::npos ? first : text.find('.', first + 1);
  if (second == std::string::npos) throw bad();
  const std::string day = text.substr(0, first);
  const std::string month = text.substr(first + 1, second - first - 1);
  const std::string year = text.substr(second + 1);
  if (day.size() > 2 || month.size() > 2 || year.size() != 4 || !AllDigits(day) ||
      !AllDigits(month) || !AllDigits(year)) {
    throw bad();
  }
  db::DateTime date{.year = std::stoi(year), .month = std::stoi(month), .day = std::stoi(day)};
  const std::chrono::year_month_day calendar{std::chrono::year(date.year),
                                             std::chrono::month(static_cast<unsigned>(date.month)),
                                             std::chrono::day(static_cast<unsigned>(date.day))};
  if (date.year < kFirstYear || date.year > kLastYear || !calendar.ok()) throw bad();
  return date;
}

Options ParseOptions(const std::vector<std::string>& args, const OptionDefaults& defaults) {
  Options options;
  options.target_year = target::kTargetYear;
  options.date = {.year = defaults.current_year, .month = 1, .day = 1};
  options.data_dir = defaults.data_dir;
  options.trace = defaults.trace;
  std::optional<std::string> source;
  bool detach = false;
  bool row_counts = false;
  bool check = false;
  bool verify = false;
  bool help = false;

  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw UsageError("option " + arg + " needs a value");
      return args[++i];
    };
    if (arg == "--server") {
      options.server = NameValue(arg, value());
    } else if (arg == "--user") {
      options.user = NameValue(arg, value());
    } else if (arg == "--password-file") {
      options.password_file = NameValue(arg, value());
    } else if (arg == "--source") {
      source = NameValue(arg, value());
    } else if (arg == "--target-year") {
      options.target_year = ParseTargetYear(value());
    } else if (arg == "--date") {
      options.date = ParseDate(value());
    } else if (arg == "--data-dir") {
      options.data_dir = NameValue(arg, value());
    } else if (arg == "--trace") {
      options.trace = NameValue(arg, value());
    } else if (arg == "--template-dir") {
      options.template_dir = NameValue(arg, value());
    } else if (arg == "--timeout") {
      options.timeout_seconds = ParseTimeout(value());
    } else if (arg == "--dry-run") {
      options.dry_run = true;
    } else if (arg == "--detach") {
      detach = true;
    } else if (arg == "--row-counts") {
      row_counts = true;
    } else if (arg == "--check") {
      check = true;
    } else if (arg == "--verify") {
      verify = true;
    } else if (arg == "--no-verify") {
      options.verify = false;
    } else if (arg == "--help" || arg == "-h") {
      help = true;
    } else if (arg == "--password" || arg.starts_with("--password=")) {
      throw UsageError(
          "a password is never taken as an argument (others could read it in the process list); "
          "use --password-file FILE or DEVIR_PASSWORD");
    } else {
      throw UsageError("unknown option " + arg);
    }
  }
  if (help) {
    options.command = Command::kHelp;
    return options;
  }
  if (detach + row_counts + options.dry_run + check + verify > 1) {
    throw UsageError(
        "--detach, --row-counts, --dry-run, --check and --verify each ask for a run of their own");
  }
  if (!options.verify && (detach || row_counts || options.dry_run || check || verify)) {
    throw UsageError("--no-verify belongs to a transfer");
  }
  options.command = detach       ? Command::kDetach
                    : row_counts ? Command::kRowCounts
                    : check      ? Command::kCheck
                    : verify     ? Command::kVerify
                                 : Command::kTransfer;
  options.source = source.value_or(target::SourceDatabaseName(options.target_year));
  // The transfer would rewrite the live year's registry row and attach over it.
  if (db::EqualsIgnoringAsciiCase(options.source,
                                  target::TargetDatabaseName(options.target_year))) {
    throw UsageError("--source " + options.source + " is the database the transfer builds; " +
                     "--target-year must name the year after it");
  }
  return options;
}

std::string UsageText() {
  return "Usage: devir-cli [options]\n"
         "Carries the closing year's database over to the next year's, as devir's window does:\n"
         "copies the master data, writes the carry-over stock movements, registers the new year\n"
         "in sirketambar, attaches its template database and runs the script there in one\n"
         "transaction.\n"
         "\n"
         "  --server ADDR          SQL Server address (default .\\SQLExpress; host, "
         "host\\INSTANCE,\n"
         "                         host,port)\n"
         "  --user NAME            SQL Server login (default sa)\n"
         "  --password-file FILE   read the password from FILE (its first line); otherwise\n"
         "                         DEVIR_PASSWORD, otherwise a prompt without echo on a terminal\n"
         "  --source NAME          the closing year's database (default E and the year before\n"
         "                         the target year: E2017)\n"
         "  --target-year YYYY     the year to open (default 2018): database EYYYY, template\n"
         "                         files EYYYY_Data.MDF and EYYYY_Log.LDF\n"
         "  --date DD.MM.YYYY      date of the carry-over movements (default 1 January of the\n"
         "                         current year)\n"
         "  --data-dir DIR         the server's folder for database files (default as the window)\n"
         "  --trace FILE           where the script is written (default as the window)\n"
         "  --timeout SECONDS      how long one statement may wait for the server (default 50;\n"
         "                         600 for the stock balance query, which may compute for\n"
         "                         minutes before its first row; 0 for no limit); a server\n"
         "                         that stops answering ends the run then\n"
         "  --template-dir DIR     where the new year's empty template files lie (default DB\n"
         "                         beside devir-cli, else ../share/devir/DB when installed)\n"
         "  --dry-run              build the script and the trace file; change nothing on the\n"
         "                         server\n"
         "  --detach               take the target database off the server (\"DB Sil\"); its "
         "files\n"
         "                         stay\n"
         "  --row-counts           print every carried table's row count in the source and the\n"
         "                         target, side by side\n"
         "  --check                check the source year and the server before a transfer (read\n"
         "                         only): errors and warnings with their first examples; a\n"
         "                         transfer runs these checks first and stops on an error\n"
         "  --verify               prove that the target holds what the source had (read only):\n"
         "                         every copied table row for row, the opening entries against\n"
         "                         balances recomputed from the movements, DEPO and the registry\n"
         "  --no-verify            skip the proof a transfer makes at its end\n"
         "  --help                 this text\n"
         "\n"
         "Stages and progress go to stderr, the summary and the reports to stdout. Exit codes: 0\n"
         "done, 1 a step failed (its stage or failing line and the server's message on stderr)\n"
         "or --check found an error, 2 bad usage, 3 the proof failed.\n";
}

}  // namespace devir::cli
