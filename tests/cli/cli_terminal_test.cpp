// devir-cli's password prompt on a real terminal (a pseudo-terminal): Ctrl-C ends it with
// the terminal's echo back on, Ctrl-D is no password; and its output to a full disk.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "tests/cli/cli_process.h"

namespace devir::cli {
namespace {

using namespace std::chrono_literals;

// devir-cli started on a pseudo-terminal of its own, with no password file or variable, so
// that it prompts.
class PromptingCli {
 public:
  PromptingCli() {
    pid_ = forkpty(&master_, nullptr, nullptr, nullptr);
    if (pid_ == 0) {
      unsetenv("DEVIR_PASSWORD");
      // An address nothing answers: the command must never get that far.
      execl(DEVIR_CLI_EXE, DEVIR_CLI_EXE, "--server", "127.0.0.1,1", "--dry-run",
            static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~PromptingCli() {
    if (pid_ > 0 && !reaped_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (master_ >= 0) close(master_);
  }

  // Reads what the terminal shows until `text` appears or `wait` passes.
  bool WaitFor(const std::string& text, std::chrono::milliseconds wait = 10s) {
    const auto end = std::chrono::steady_clock::now() + wait;
    while (std::chrono::steady_clock::now() < end) {
      if (shown_.find(text) != std::string::npos) return true;
      pollfd ready{master_, POLLIN, 0};
      if (poll(&ready, 1, 20) <= 0) continue;
      char buffer[256];
      const ssize_t length = read(master_, buffer, sizeof buffer);
      if (length <= 0) break;
      shown_.append(buffer, static_cast<std::size_t>(length));
    }
    return shown_.find(text) != std::string::npos;
  }

  void Type(const std::string& keys) {
    ASSERT_EQ(write(master_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
  }

  bool EchoOn() const {
    termios settings{};
    tcgetattr(master_, &settings);
    return (settings.c_lflag & ECHO) != 0;
  }

  // The exit status once it ends (within 10 s).
  int Wait() {
    int status = 0;
    for (int i = 0; i < 100; ++i) {
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        reaped_ = true;
        return status;
      }
      WaitFor("\x01never", 100ms);  // keeps draining the terminal meanwhile
      usleep(20'000);
    }
    return -1;
  }

  const std::string& Shown() const { return shown_; }

 private:
  int master_ = -1;
  pid_t pid_ = -1;
  bool reaped_ = false;
  std::string shown_;
};

TEST(CliPromptTest, CtrlCEndsThePromptWithTheEchoBackOn) {
  PromptingCli cli;
  ASSERT_TRUE(cli.WaitFor("Password: ")) << cli.Shown();
  EXPECT_FALSE(cli.EchoOn());
  cli.Type("gizli\x03");  // VINTR: the terminal sends SIGINT
  const int status = cli.Wait();
  ASSERT_TRUE(WIFSIGNALED(status)) << status << "\n" << cli.Shown();
  EXPECT_EQ(WTERMSIG(status), SIGINT);
  EXPECT_TRUE(cli.EchoOn());
  EXPECT_EQ(cli.Shown().find("gizli"), std::string::npos) << "echoed: " << cli.Shown();
}

TEST(CliPromptTest, CtrlDIsNoPasswordAndAUsageError) {
  PromptingCli cli;
  ASSERT_TRUE(cli.WaitFor("Password: ")) << cli.Shown();
  cli.Type("\x04");  // VEOF at the start of a line: end of input
  const int status = cli.Wait();
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 2) << cli.Shown();
  EXPECT_TRUE(cli.WaitFor("no password was given at the prompt")) << cli.Shown();
  EXPECT_TRUE(cli.EchoOn());
}

TEST(CliOutputTest, AFullDiskForStandardOutputFailsTheCommand) {
  const testing::CliResult result = testing::RunProcess(DEVIR_CLI_EXE, {"--help"}, {}, "/dev/full");
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_NE(result.err.find("cannot write to standard output: No space left on device"),
            std::string::npos)
      << result.err;
}

}  // namespace
}  // namespace devir::cli
