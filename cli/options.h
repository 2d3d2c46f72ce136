#pragma once

#include <optional>
#include <string>
#include <vector>

namespace devir::cli {

/// What the command line asks for.
struct Options {
  std::string server = ".\\SQLExpress";
  std::string user = "sa";
  std::optional<std::string> password_file;
  std::string source = "E2017";
  bool row_counts = false;
  bool help = false;
};

/// Bad usage: the message says what is wrong; the command exits with 2.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

/// Reads the arguments (without the program name). Throws UsageError.
Options ParseOptions(const std::vector<std::string>& args);

/// The text of --help.
std::string UsageText();

}  // namespace devir::cli
