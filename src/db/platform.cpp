#include "db/platform.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "db/utf.h"
#else
#include <cstdlib>
#endif

namespace devir::db {

#ifdef _WIN32

std::optional<std::string> EnvironmentVariable(const char* name) {
  const std::u16string wide_name = Utf8ToUtf16(name);
  const auto* w = reinterpret_cast<const wchar_t*>(wide_name.c_str());
  const DWORD needed = GetEnvironmentVariableW(w, nullptr, 0);
  if (needed == 0) return std::nullopt;
  std::u16string value(needed, u'\0');
  const DWORD length = GetEnvironmentVariableW(w, reinterpret_cast<wchar_t*>(value.data()), needed);
  value.resize(length);
  return Utf16ToUtf8(value);
}

#else

std::optional<std::string> EnvironmentVariable(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

#endif

}  // namespace devir::db
