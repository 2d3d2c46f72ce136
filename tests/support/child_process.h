#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace devir::testing {

/// How a child process ended and what it wrote.
struct ProcessResult {
  int exit_code = -1;
  std::string out;
  std::string err;
};

/// Environment variables to set (a value) or to remove (nullopt) for the child.
using Environment = std::map<std::string, std::optional<std::string>>;

/// Runs exe with args (UTF-8) as a child process and waits for it to end: stdin from the null
/// device, stdout and stderr into files (so no console is involved; stdout into stdout_path
/// when given, such as /dev/full), the environment of the test changed by `environment`.
/// Throws std::runtime_error when it cannot be started.
ProcessResult RunProcess(const std::filesystem::path& exe, const std::vector<std::string>& args,
                         const Environment& environment,
                         const std::filesystem::path& stdout_path = {});

}  // namespace devir::testing
