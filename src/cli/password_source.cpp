#include "cli/password_source.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <system_error>

#include "cli/options.h"
#include "db/platform.h"
#include "db/utf.h"
#include "target/data_folder.h"

#ifdef _WIN32
#include <conio.h>
#include <io.h>
#else
#include <termios.h>
#include <unistd.h>
#endif

namespace devir::cli {
namespace {

// A password longer than this is no password but the wrong file (/dev/zero, a log).
constexpr std::size_t kMostPasswordBytes = 4096;

bool StdinIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stdin)) != 0;
#else
  return isatty(STDIN_FILENO) != 0;
#endif
}

// The password as text this program can carry: UTF-8, as every text here.
std::string CheckedUtf8(std::string password, const std::string& where) {
  try {
    db::Utf8ToUtf16(password);
  } catch (const std::exception&) {
    throw UsageError("the password from " + where + " is not UTF-8 text");
  }
  return password;
}

#ifndef _WIN32
// The terminal's settings while the prompt has echo off, for a signal that ends the process
// in the middle of it (Ctrl-C): the terminal must not be left without echo.
termios g_saved_terminal{};

extern "C" void RestoreTerminalAndDie(int signal_number) {
  tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_saved_terminal);
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}

// Echo off while alive; the terminal as it was afterwards, however the prompt ends.
class EchoOff {
 public:
  EchoOff() {
    if (tcgetattr(STDIN_FILENO, &g_saved_terminal) != 0) return;
    active_ = true;
    for (int i = 0; i < kSignalCount; ++i) {
      previous_[i] = std::signal(kSignals[i], RestoreTerminalAndDie);
    }
    termios quiet = g_saved_terminal;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  }
  ~EchoOff() {
    if (!active_) return;
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_saved_terminal);
    for (int i = 0; i < kSignalCount; ++i) std::signal(kSignals[i], previous_[i]);
  }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;

 private:
  static constexpr int kSignalCount = 4;
  static constexpr int kSignals[kSignalCount] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
  bool active_ = false;
  void (*previous_[kSignalCount])(int) = {};
};
#endif

// Reads one line from the terminal with echo switched off. End of input before a line
// (Ctrl-D, Ctrl-Z) or Ctrl-C is no password: the command ends.
std::string PromptWithoutEcho(const char* prompt) {
  std::string line;
#ifdef _WIN32
  std::cerr << prompt << std::flush;
  // Wide characters, so that letters outside the console's code page (ş, ğ) stay whole.
  std::u16string wide;
  for (wint_t c = _getwch();; c = _getwch()) {
    if (c == L'\r' || c == L'\n') break;
    if (c == WEOF || c == 0x03 || (c == 0x1A && wide.empty())) {  // closed, Ctrl-C, Ctrl-Z
      std::cerr << '\n';
      throw UsageError("no password was given at the prompt");
    }
    if (c == L'\b') {
      if (!wide.empty()) wide.pop_back();
    } else {
      wide.push_back(static_cast<char16_t>(c));
    }
  }
  line = db::Utf16ToUtf8(wide);
#else
  bool ended = false;
  {
    // Echo off before the prompt shows, so that nothing typed ahead is echoed.
    const EchoOff echo_off;
    std::cerr << prompt << std::flush;
    ended = !std::getline(std::cin, line);
  }
  if (ended) {
    std::cerr << '\n';
    throw UsageError("no password was given at the prompt");
  }
#endif
  std::cerr << '\n';
  return CheckedUtf8(std::move(line), "the prompt");
}

std::string FirstLineOf(const std::string& password_file) {
  const std::filesystem::path path = target::PathFromUtf8(password_file);
  const auto fail = [&password_file](const std::string& why) {
    return UsageError("--password-file " + password_file + ": " + why);
  };
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) {
    throw fail(std::make_error_code(std::errc::is_a_directory).message());
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) throw fail(std::strerror(errno));
  std::string line;
  char c = 0;
  bool ended = false;
  while (line.size() <= kMostPasswordBytes && in.get(c)) {
    if (c == '\n') {
      ended = true;
      break;
    }
    line += c;
  }
  if (in.bad()) throw fail(std::strerror(errno));
  if (!ended && line.size() > kMostPasswordBytes) {
    throw fail("its first line is longer than " + std::to_string(kMostPasswordBytes) +
               " bytes; it holds no password");
  }
  if (!ended && line.empty()) throw fail("it is empty");
  return line;
}

}  // namespace

std::string ReadPassword(const std::optional<std::string>& password_file) {
  if (password_file) {
    std::string line = FirstLineOf(*password_file);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);  // a byte-order mark
    return CheckedUtf8(std::move(line), "the password file");
  }
  if (auto env = db::EnvironmentVariable("DEVIR_PASSWORD")) {
    return CheckedUtf8(std::move(*env), "DEVIR_PASSWORD");
  }
  if (StdinIsTerminal()) return PromptWithoutEcho("Password: ");
  throw UsageError(
      "no password: give --password-file FILE or DEVIR_PASSWORD, or run on a terminal");
}

}  // namespace devir::cli
