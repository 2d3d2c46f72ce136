#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"

namespace devir::testing {

/// A private devir-sandbox for one test binary: a temporary data folder (seeded with the
/// small sample unless told otherwise), `serve --port 0` as a child process on loopback, and
/// cleanup (SIGTERM, wait, remove the folder) in the destructor.
class SandboxProcess {
 public:
  struct Options {
    bool seed = true;  ///< run `devir-sandbox seed` first
    std::string sample = "small";
    int browser_port = 0;  ///< 0: no SQL Server Browser; 1434 for instance lookups
    std::string instance = "SQLEXPRESS";
    std::vector<std::string> logins;         ///< "user:password"; empty: the default sa:qolvanet
    std::vector<std::string> serve_options;  ///< further options of serve
  };

  SandboxProcess();
  explicit SandboxProcess(Options options);
  ~SandboxProcess();
  SandboxProcess(const SandboxProcess&) = delete;
  SandboxProcess& operator=(const SandboxProcess&) = delete;

  /// Starts serve again after Stop(), on a new port, with the same data folder.
  void Start();
  /// Stops the server (SIGTERM) and waits for it.
  void Stop();
  /// Kills the server at once (SIGKILL), as a crash would.
  void Kill();
  /// Freezes the server (SIGSTOP): it keeps its sockets open but answers nothing, as a
  /// server that hangs would. Resume() lets it go on; Stop() and the destructor resume it.
  void Pause();
  void Resume();

  int Port() const noexcept { return port_; }
  /// "127.0.0.1,PORT": a data source the client and the window accept.
  std::string DataSource() const;
  const std::filesystem::path& DataDir() const noexcept { return data_dir_; }
  /// Path of the devir-sandbox executable.
  static std::filesystem::path Executable();

  /// Runs `devir-sandbox ARGS...` to completion and returns its exit code.
  static int RunTool(const std::vector<std::string>& args);

 private:
  Options options_;
  TempFolder folder_{"devir-sandbox-"};  // the data folder and the server's stderr
  std::filesystem::path data_dir_ = folder_ / "data";
  int pid_ = -1;
  int port_ = 0;
};

}  // namespace devir::testing
