#include <windows.h>

#include <stdexcept>
#include <string>

#include "script/system_code_page.h"

namespace devir::script {

struct SystemCodePage::Converter {
  UINT code_page = CP_ACP;
};

SystemCodePage::SystemCodePage() : converter_(std::make_unique<Converter>()) {
  converter_->code_page = GetACP();
  name_ = std::to_string(converter_->code_page);
}

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

// Characters of wide that the code page lacks: each converted on its own, counted where the
// default character stands in for it. (Characters beyond U+FFFF are one U+FFFD by now.)
std::size_t CountReplaced(UINT code_page, const std::wstring& wide) {
  std::size_t count = 0;
  char out[8];
  for (const wchar_t c : wide) {
    BOOL used_default = FALSE;
    WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, &c, 1, out, sizeof out, nullptr,
                        &used_default);
    if (used_default) ++count;
  }
  return count;
}

}  // namespace

std::string SystemCodePage::FromUtf8(std::string_view utf8) {
  // Windows set to UTF-8 as its ANSI code page: the text is already in it.
  if (utf8.empty() || converter_->code_page == CP_UTF8) return std::string(utf8);
  const UINT code_page = converter_->code_page;
  // Broken UTF-8 becomes U+FFFD here and so the default character below.
  const int utf8_length = static_cast<int>(utf8.size());
  const int wide_length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), utf8_length, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(wide_length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), utf8_length, wide.data(), wide_length);
  // No ANSI code page holds a character beyond U+FFFF; as its two UTF-16 halves it would
  // become two default characters, so it goes in as one character the code page lacks.
  std::size_t kept = 0;
  for (std::size_t i = 0; i < wide.size(); ++i, ++kept) {
    const bool pair =
        IS_HIGH_SURROGATE(wide[i]) && i + 1 < wide.size() && IS_LOW_SURROGATE(wide[i + 1]);
    wide[kept] = pair ? L'\xFFFD' : wide[i];
    if (pair) ++i;
  }
  wide.resize(kept);
  // Without WC_NO_BEST_FIT_CHARS Windows writes look-alikes (ş as s, ı as i) where the code
  // page has no letter; with it, and no default character given, what the code page cannot
  // hold becomes the code page's own default character ('?').
  const int wide_kept = static_cast<int>(kept);
  BOOL used_default = FALSE;
  const int length = WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, wide.data(), wide_kept,
                                         nullptr, 0, nullptr, &used_default);
  std::string out(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, wide.data(), wide_kept, out.data(), length,
                      nullptr, nullptr);
  if (used_default) replaced_ += CountReplaced(code_page, wide);
  return out;
}

}  // namespace devir::script
