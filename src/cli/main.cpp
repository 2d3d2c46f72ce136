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
#include "cli/options.h"
#include "cli/password_source.h"
#include "script/trace_file.h"
#include "target/platform_defaults.h"

#ifdef _WIN32
#include <io.h>
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

}  // namespace

// What was written to stdout must have arrived: a full disk or a closed pipe is a failure.
int Finished(int exit_code) {
  std::cout.flush();
  if (std::cout) return exit_code;
  const int error = errno;
  std::cerr << "devir-cli: cannot write to standard output: " << std::strerror(error) << std::endl;
  return devir::cli::kExitFailed;
}

int main(int argc, char** argv) {
  using namespace devir::cli;
  Options options;
  std::string password;
  try {
    OptionDefaults defaults;
    defaults.current_year = CurrentYear();
    defaults.data_dir = std::string(devir::target::kDefaultDataFolder);
    defaults.trace = devir::script::DefaultTracePath().string();
    options = ParseOptions(std::vector<std::string>(argv + 1, argv + argc), defaults);
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
