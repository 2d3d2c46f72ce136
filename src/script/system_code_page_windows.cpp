#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <stdexcept>
#include <string>

#include "script/system_code_page.h"

namespace devir::script {

struct SystemCodePage::Converter {
  UINT code_page = CP_ACP;
};

SystemCodePage::SystemCodePage()
    : name_(std::to_string(GetACP())), converter_(std::make_unique<Converter>()) {}

SystemCodePage::SystemCodePage(int windows_code_page)
    : name_(std::to_string(windows_code_page)), converter_(std::make_unique<Converter>()) {
  CPINFO info{};
  if (!GetCPInfo(static_cast<UINT>(windows_code_page), &info)) {
    throw std::runtime_error("Code page " + name_ + " is not installed");
  }
  converter_->code_page = static_cast<UINT>(windows_code_page);
}

SystemCodePage::~SystemCodePage() = default;

namespace {

// Characters of wide that the code page lacks: each UTF-16 character (a surrogate pair is
// one) converted on its own, counted where the default character stands in for it.
std::size_t CountReplaced(UINT code_page, const std::wstring& wide) {
  std::size_t count = 0;
  char out[8];
  for (std::size_t i = 0; i < wide.size();) {
    const int length =
        (IS_HIGH_SURROGATE(wide[i]) && i + 1 < wide.size() && IS_LOW_SURROGATE(wide[i + 1])) ? 2
                                                                                             : 1;
    BOOL used_default = FALSE;
    WideCharToMultiByte(code_page, 0, wide.data() + i, length, out, sizeof out, nullptr,
                        &used_default);
    if (used_default) ++count;
    i += static_cast<std::size_t>(length);
  }
  return count;
}

}  // namespace

std::string SystemCodePage::FromUtf8(std::string_view utf8) {
  if (utf8.empty()) return {};
  const UINT code_page = converter_->code_page;
  const int utf8_length = static_cast<int>(utf8.size());
  const int wide_length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), utf8_length, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(wide_length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), utf8_length, wide.data(), wide_length);
  // Without a default character of our own the code page's default ('?') replaces what the
  // code page lacks.
  BOOL used_default = FALSE;
  const int length = WideCharToMultiByte(code_page, 0, wide.data(), wide_length, nullptr, 0,
                                         nullptr, &used_default);
  std::string out(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(code_page, 0, wide.data(), wide_length, out.data(), length, nullptr, nullptr);
  if (used_default) replaced_ += CountReplaced(code_page, wide);
  return out;
}

}  // namespace devir::script
