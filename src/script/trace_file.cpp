#include "script/trace_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string_view>
#include <system_error>

#include "script/system_code_page.h"

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

namespace devir::script {

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// The path as UTF-8: path::string() throws on Windows for a name outside the ANSI code page.
[[noreturn]] void ThrowFileError(const std::filesystem::path& path, int error) {
  const std::u8string name = path.u8string();
  throw std::runtime_error(std::string(name.begin(), name.end()) + ": " +
                           std::generic_category().message(error));
}

std::FILE* OpenForWriting(const std::filesystem::path& path) {
#ifdef _WIN32
  return _wfopen(path.c_str(), L"wb");
#else
  return std::fopen(path.c_str(), "wb");
#endif
}

}  // namespace

std::filesystem::path DefaultTracePath() {
#ifdef _WIN32
  return std::filesystem::path(L"C:\\X.TXT");
#else
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    return std::filesystem::path(home) / "X.TXT";
  }
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::string buffer(size > 0 ? static_cast<std::size_t>(size) : 16384, '\0');
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr && *found->pw_dir != '\0') {
    return std::filesystem::path(found->pw_dir) / "X.TXT";
  }
  return std::filesystem::path("X.TXT");
#endif
}

TraceFileReport WriteTraceFile(db::ScriptLines& lines, const std::filesystem::path& path) {
  SystemCodePage code_page;
  errno = 0;
  File file(OpenForWriting(path));
  if (!file) ThrowFileError(path, errno != 0 ? errno : EIO);
  // A large year's trace is hundreds of megabytes: written in large pieces.
  std::setvbuf(file.get(), nullptr, _IOFBF, 1u << 20);
  lines.Seek(0);
  std::string_view line;
  while (lines.Next(line)) {
    const std::string bytes = code_page.FromUtf8(line);
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size() ||
        std::fwrite("\r\n", 1, 2, file.get()) != 2) {
      ThrowFileError(path, errno != 0 ? errno : EIO);
    }
  }
  // The last buffered bytes reach the disk only here; a full disk shows up now.
  errno = 0;
  if (std::fclose(file.release()) != 0) ThrowFileError(path, errno != 0 ? errno : EIO);
  return {code_page.Name(), code_page.Replaced()};
}

TraceFileReport WriteTraceFile(const std::vector<std::string>& lines,
                               const std::filesystem::path& path) {
  db::ScriptLinesInMemory in_memory(lines);
  return WriteTraceFile(in_memory, path);
}

}  // namespace devir::script
