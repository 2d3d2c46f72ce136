#include "tests/support/sandbox_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <system_error>
#include <thread>

extern char** environ;

namespace devir::testing {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kStartTimeout = std::chrono::seconds(20);
constexpr auto kStopTimeout = std::chrono::seconds(10);
constexpr const char* kListening = "listening on 127.0.0.1:";

// posix_spawn's argv: pointers into strings that outlive the call.
std::vector<char*> Argv(std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  return argv;
}

// Waits for the child, giving up after timeout; true when it has been reaped.
bool WaitFor(int pid, Clock::duration timeout) {
  const auto deadline = Clock::now() + timeout;
  while (true) {
    int status = 0;
    const pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid || (r < 0 && errno == ECHILD)) return true;
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

void KillAndReap(int pid) {
  kill(pid, SIGKILL);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Owns both ends of a pipe until they are handed on.
struct Pipe {
  int read = -1;
  int write = -1;
  Pipe() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    read = fds[0];
    write = fds[1];
  }
  ~Pipe() {
    if (read >= 0) close(read);
    if (write >= 0) close(write);
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;
};

}  // namespace

SandboxProcess::SandboxProcess() : SandboxProcess(Options{}) {}

SandboxProcess::SandboxProcess(Options options) : options_(std::move(options)) {
  std::filesystem::create_directory(data_dir_);
  if (options_.seed) {
    const int rc = RunTool({"seed", "--data", data_dir_.string(), "--sample", options_.sample});
    if (rc != 0) {
      throw std::runtime_error("devir-sandbox seed failed with exit code " + std::to_string(rc));
    }
  }
  Start();
}

SandboxProcess::~SandboxProcess() {
  try {
    Stop();
  } catch (...) {
  }
}

std::filesystem::path SandboxProcess::Executable() {
  return DEVIR_SANDBOX_EXE;
}

std::string SandboxProcess::DataSource() const {
  return "127.0.0.1," + std::to_string(port_);
}

void SandboxProcess::Start() {
  if (pid_ > 0) throw std::logic_error("the sandbox is already running");
  const std::string stderr_path = (folder_ / "stderr").string();
  std::vector<std::string> args = {Executable().string(),
                                   "serve",
                                   "--data",
                                   data_dir_.string(),
                                   "--port",
                                   "0",
                                   "--browser-port",
                                   std::to_string(options_.browser_port),
                                   "--instance",
                                   options_.instance};
  for (const auto& login : options_.logins) {
    args.push_back("--login");
    args.push_back(login);
  }
  args.insert(args.end(), options_.serve_options.begin(), options_.serve_options.end());
  auto argv = Argv(args);

  Pipe out;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out.write, STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, stderr_path.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    throw std::runtime_error("cannot start " + args[0] + ": " + std::strerror(rc));
  }
  close(out.write);
  out.write = -1;

  // Read stdout until the line that gives the port, the child's exit, or the deadline.
  std::string text;
  const auto deadline = Clock::now() + kStartTimeout;
  int port = 0;
  while (port == 0) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd p{out.read, POLLIN, 0};
    if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) break;
    char buffer[256];
    const ssize_t n = read(out.read, buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
    const auto at = text.find(kListening);
    const auto end = at == std::string::npos ? at : text.find('\n', at);
    if (end != std::string::npos) {
      port = std::atoi(text.c_str() + at + std::strlen(kListening));
      if (port <= 0) break;
    }
  }
  if (port <= 0) {
    KillAndReap(pid);
    throw std::runtime_error("devir-sandbox serve did not start: " + ReadFile(stderr_path) + text);
  }
  pid_ = pid;
  port_ = port;
}

void SandboxProcess::Pause() {
  if (pid_ <= 0) return;
  kill(pid_, SIGSTOP);
  // The signal stops the server only once the kernel gets to it; until the stop is reported
  // a request sent now might still be answered.
  int status = 0;
  while (waitpid(pid_, &status, WUNTRACED) < 0 && errno == EINTR) {
  }
}

void SandboxProcess::Resume() {
  if (pid_ <= 0) return;
  kill(pid_, SIGCONT);
}

void SandboxProcess::Stop() {
  if (pid_ <= 0) return;
  Resume();
  const int pid = pid_;
  pid_ = -1;
  kill(pid, SIGTERM);
  if (!WaitFor(pid, kStopTimeout)) {
    std::cerr << "devir-sandbox did not stop on SIGTERM; killed\n";
    KillAndReap(pid);
  }
}

void SandboxProcess::Kill() {
  if (pid_ <= 0) return;
  const int pid = pid_;
  pid_ = -1;
  KillAndReap(pid);
}

int SandboxProcess::RunTool(const std::vector<std::string>& tool_args) {
  std::vector<std::string> args = {Executable().string()};
  args.insert(args.end(), tool_args.begin(), tool_args.end());
  auto argv = Argv(args);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ);
  if (rc != 0) throw std::runtime_error("cannot start " + args[0] + ": " + std::strerror(rc));
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) throw std::runtime_error("waitpid failed");
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

}  // namespace devir::testing
