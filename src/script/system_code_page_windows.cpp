#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <string>

#include "script/system_code_page.h"

namespace devir::script {

struct SystemCodePage::Converter {};

SystemCodePage::SystemCodePage()
    : name_(std::to_string(GetACP())), converter_(std::make_unique<Converter>()) {}

SystemCodePage::~SystemCodePage() = default;

std::string SystemCodePage::FromUtf8(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int utf8_length = static_cast<int>(utf8.size());
  const int wide_length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), utf8_length, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(wide_length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), utf8_length, wide.data(), wide_length);
  // Without a default character of our own the code page's default ('?') replaces what the
  // ANSI code page lacks.
  const int length =
      WideCharToMultiByte(CP_ACP, 0, wide.data(), wide_length, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), wide_length, out.data(), length, nullptr, nullptr);
  return out;
}

}  // namespace devir::script
