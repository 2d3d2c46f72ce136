#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

#include "tests/support/temp_folder.h"

namespace devir::cli::testing {

/// How a devir-cli process ended and what it wrote.
struct CliResult {
  int exit_code = -1;
  std::string out;
  std::string err;
};

/// Environment variables to set (a value) or to remove (nullopt) for the child.
using Environment = std::map<std::string, std::optional<std::string>>;

/// Runs exe with args as a child process: stdin from /dev/null, stdout and stderr into
/// files (stdout into stdout_path when given, such as /dev/full), the environment of the test
/// changed by `environment`. Waits for it to end.
inline CliResult RunProcess(const std::filesystem::path& exe, const std::vector<std::string>& args,
                            const Environment& environment,
                            const std::string& stdout_path = std::string()) {
  const devir::testing::TempFolder folder("devir-cli-");
  const std::string out_path = stdout_path.empty() ? (folder / "out").string() : stdout_path;
  const std::string err_path = (folder / "err").string();

  std::vector<std::string> argv_text = {exe.string()};
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : argv_text) argv.push_back(arg.data());
  argv.push_back(nullptr);

  std::map<std::string, std::string> merged;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    const auto equals = text.find('=');
    if (equals != std::string::npos) merged[text.substr(0, equals)] = text.substr(equals + 1);
  }
  for (const auto& [name, value] : environment) {
    if (value) {
      merged[name] = *value;
    } else {
      merged.erase(name);
    }
  }
  std::vector<std::string> env_text;
  for (const auto& [name, value] : merged) env_text.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (std::string& entry : env_text) envp.push_back(entry.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out_path.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err_path.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    throw std::runtime_error("cannot start " + exe.string() + ": " + std::strerror(rc));
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  const auto read = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  };
  CliResult result;
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  if (stdout_path.empty()) result.out = read(out_path);
  result.err = read(err_path);
  return result;
}

}  // namespace devir::cli::testing
