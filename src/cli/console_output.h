#pragma once

#include <memory>
#include <string_view>
#include <vector>

namespace devir::cli {

/// While it lives, std::cout and std::cerr show their UTF-8 text on a Windows console in the
/// console's own UTF-16: written as bytes, the console would read them in its code page and
/// garble every Turkish letter. A stream that goes to a file or a pipe, and every stream
/// outside Windows, keeps writing its UTF-8 bytes.
class ConsoleOutput {
 public:
  ConsoleOutput();
  /// Flushes both streams and gives them their own buffers back.
  ~ConsoleOutput();
  ConsoleOutput(const ConsoleOutput&) = delete;
  ConsoleOutput& operator=(const ConsoleOutput&) = delete;

 private:
  struct Redirect;
  std::vector<std::unique_ptr<Redirect>> redirects_;
};

#ifdef _WIN32
/// True when handle (a Windows HANDLE) is a console.
bool IsConsole(void* handle) noexcept;

/// Writes UTF-8 text to the console handle as UTF-16 (broken UTF-8 shows as U+FFFD). False
/// when the console takes less than all of it.
bool WriteToConsole(void* handle, std::string_view utf8);
#endif

}  // namespace devir::cli
