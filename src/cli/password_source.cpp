#include "cli/password_source.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>

#include "db/platform.h"
#include "db/utf.h"

#ifdef _WIN32
#include <conio.h>
#include <io.h>
#else
#include <termios.h>
#include <unistd.h>
#endif

#include "cli/options.h"

namespace devir::cli {
namespace {

bool StdinIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stdin)) != 0;
#else
  return isatty(STDIN_FILENO) != 0;
#endif
}

// Reads one line from the terminal with echo switched off, restoring the terminal after.
std::string PromptWithoutEcho(const char* prompt) {
  std::cerr << prompt << std::flush;
  std::string line;
#ifdef _WIN32
  // Wide characters, so that letters outside the console's code page (ş, ğ) stay whole.
  std::u16string wide;
  for (wint_t c = _getwch(); c != L'\r' && c != L'\n' && c != WEOF; c = _getwch()) {
    if (c == L'\b') {
      if (!wide.empty()) wide.pop_back();
    } else {
      wide.push_back(static_cast<char16_t>(c));
    }
  }
  line = db::Utf16ToUtf8(wide);
#else
  termios saved{};
  const bool have_terminal = tcgetattr(STDIN_FILENO, &saved) == 0;
  if (have_terminal) {
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  }
  std::getline(std::cin, line);
  if (have_terminal) tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
#endif
  std::cerr << '\n';
  return line;
}

}  // namespace

std::string ReadPassword(const std::optional<std::string>& password_file) {
  if (password_file) {
    // The file holds UTF-8 text; its name is UTF-8 as every text of this program.
    std::ifstream in(
        std::filesystem::path(std::u8string(password_file->begin(), password_file->end())),
        std::ios::binary);
    if (!in) {
      throw std::runtime_error("cannot read the password file " + *password_file + ": " +
                               std::strerror(errno));
    }
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);  // a byte-order mark
    return line;
  }
  if (auto env = db::EnvironmentVariable("DEVIR_PASSWORD")) return *env;
  if (StdinIsTerminal()) return PromptWithoutEcho("Password: ");
  throw UsageError(
      "no password: give --password-file FILE or DEVIR_PASSWORD, or run on a terminal");
}

}  // namespace devir::cli
