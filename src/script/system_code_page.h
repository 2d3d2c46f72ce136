#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace devir::script {

/// Turns UTF-8 text into the system's 8-bit code page: the ANSI code page on Windows, the
/// character set of the user's locale (LC_ALL, LC_CTYPE, LANG) elsewhere, where a locale of
/// plain ASCII (C, POSIX: cron jobs, containers) gives UTF-8, so that nothing is lost. A
/// character the code page lacks becomes '?' and is counted; a UTF-8 code page keeps the bytes
/// as they are.
class SystemCodePage {
 public:
  /// The system's code page. Throws std::runtime_error when it cannot be used.
  SystemCodePage();
  /// A Windows code page by its number (1254, 1252), as SQL Server's collations name them.
  /// Throws std::runtime_error naming it when the system cannot convert into it.
  explicit SystemCodePage(int windows_code_page);
#ifndef _WIN32
  /// A named character set ("ISO-8859-9", "CP1254", "UTF-8", "ANSI_X3.4-1968"), as iconv
  /// names them, taken as it is. Throws std::runtime_error naming the set when iconv does
  /// not know it.
  explicit SystemCodePage(const std::string& charset);
#endif
  ~SystemCodePage();
  SystemCodePage(const SystemCodePage&) = delete;
  SystemCodePage& operator=(const SystemCodePage&) = delete;

  /// The code page's name ("ISO-8859-9", "1254").
  const std::string& Name() const noexcept {
    return name_;
  }
  /// The text in the code page. Throws std::bad_alloc only.
  std::string FromUtf8(std::string_view utf8);
  /// Characters (and broken UTF-8 sequences) that FromUtf8 has replaced by '?' so far.
  std::size_t Replaced() const noexcept {
    return replaced_;
  }

 private:
  struct Converter;
  std::string name_;
  std::unique_ptr<Converter> converter_;
  std::size_t replaced_ = 0;
};

}  // namespace devir::script
