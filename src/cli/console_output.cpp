#include "cli/console_output.h"

#include <iostream>
#include <streambuf>
#include <string>
#include <utility>

#include "cli/utf8_stream_buffer.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace devir::cli {

// One stream sent to the console: its own buffer is put back at the end.
struct ConsoleOutput::Redirect {
  Redirect(std::ostream& redirected, Utf8StreamBuffer::Writer writer)
      : stream(redirected), buffer(std::move(writer)), original(redirected.rdbuf(&buffer)) {}
  ~Redirect() {
    stream.flush();
    stream.rdbuf(original);
  }
  std::ostream& stream;
  Utf8StreamBuffer buffer;
  std::streambuf* original;
};

#ifdef _WIN32

bool IsConsole(void* handle) noexcept {
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

bool WriteToConsole(void* handle, std::string_view utf8) {
  if (utf8.empty()) return true;
  const int utf8_length = static_cast<int>(utf8.size());
  const int wide_length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), utf8_length, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(wide_length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), utf8_length, wide.data(), wide_length);
  // A console may take a long text in parts.
  const wchar_t* next = wide.data();
  DWORD left = static_cast<DWORD>(wide.size());
  while (left > 0) {
    DWORD written = 0;
    if (!WriteConsoleW(handle, next, left, &written, nullptr) || written == 0) return false;
    next += written;
    left -= written;
  }
  return true;
}

ConsoleOutput::ConsoleOutput() {
  const std::pair<std::ostream*, DWORD> streams[] = {{&std::cout, STD_OUTPUT_HANDLE},
                                                     {&std::cerr, STD_ERROR_HANDLE}};
  for (const auto& [stream, which] : streams) {
    HANDLE handle = GetStdHandle(which);
    if (!IsConsole(handle)) continue;
    stream->flush();
    redirects_.push_back(std::make_unique<Redirect>(
        *stream, [handle](std::string_view text) { return WriteToConsole(handle, text); }));
  }
}

#else

ConsoleOutput::ConsoleOutput() = default;

#endif

ConsoleOutput::~ConsoleOutput() = default;

}  // namespace devir::cli
