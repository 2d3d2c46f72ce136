// devir-cli: the year-end transfer (and "DB Sil") without a window, for scripted and
// scheduled year-ends. The jobs live in devir_cli_lib; this file reads the command line.
#include <cerrno>
#include <cstring>
#include <ctime>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/console_output.h"
#include "cli/options.h"
#include "cli/password_source.h"
#include "script/trace_file.h"
#include "target/data_folder.h"
#include "target/platform_defaults.h"

#ifdef _WIN32
#include <io.h>

#include <cwchar>

#include "db/utf.h"
#else
#include <unistd.h>
#endif

namespace {

int CurrentYear() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  return local.tm_year + 1900;
}

bool StderrIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(STDERR_FILENO) != 0;
#endif
}

// What was written to stdout must have arrived: a full disk or a closed pipe is a failure.
int Finished(int exit_code) {
  std::cout.flush();
  if (std::cout) return exit_code;
  const int error = errno;
  std::cerr << "devir-cli: cannot write to standard output: " << std::strerror(error) << std::endl;
  return devir::cli::kExitFailed;
}

int Run(const std::vector<std::string>& args) {
  using namespace devir::cli;
  const ConsoleOutput console;
  Options options;
  std::string password;
  try {
    OptionDefaults defaults;
    defaults.current_year = CurrentYear();
    defaults.data_dir = std::string(devir::target::kDefaultDataFolder);
    defaults.trace = devir::target::PathToUtf8(devir::script::DefaultTracePath());
    options = ParseOptions(args, defaults);
    if (options.command == Command::kHelp) {
      std::cout << UsageText();
      return Finished(kExitDone);
    }
    // A dry run reads the source too: every command needs the login.
    password = ReadPassword(options.password_file);
  } catch (const UsageError& error) {
    std::cerr << "devir-cli: " << error.what() << "\n\n" << UsageText();
    return kExitUsage;
  } catch (const std::exception& error) {
    std::cerr << "devir-cli: " << error.what() << std::endl;
    return kExitFailed;
  }

  const Streams streams{std::cout, std::cerr, StderrIsTerminal()};
  try {
    switch (options.command) {
      case Command::kDetach:
        return Finished(RunDetachCommand(options, password, streams));
      case Command::kRowCounts:
        return Finished(RunRowCountsCommand(options, password, streams));
      case Command::kCheck:
        return Finished(RunCheckCommand(options, password, streams));
      case Command::kVerify:
        return Finished(RunVerifyCommand(options, password, streams));
      case Command::kTransfer:
      case Command::kHelp:
        break;
    }
    return Finished(RunTransferCommand(options, password, streams));
  } catch (const std::exception& error) {
    std::cerr << "devir-cli: " << error.what() << std::endl;
    return kExitFailed;
  }
}

}  // namespace

#ifdef _WIN32
// Windows hands the command line over as UTF-16. main's char** would hold it in the ANSI
// code page, which turns "şifre.txt" into "sifre.txt" (code page 1252) or into bytes that
// are no UTF-8 at all (code page 1254).
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    args.push_back(devir::db::Utf16ToUtf8(std::u16string(argv[i], argv[i] + std::wcslen(argv[i]))));
  }
  return Run(args);
}
#else
int main(int argc, char** argv) {
  return Run(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
