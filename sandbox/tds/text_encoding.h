#pragma once

#include <span>
#include <string>

#include "sandbox/tds/wire.h"

namespace sandbox::tds {

/// UTF-8 to UTF-16LE; invalid UTF-8 sequences become U+FFFD.
Bytes Utf8ToUtf16Le(const std::string& utf8);
/// UTF-16LE to UTF-8; unpaired surrogates become U+FFFD. An odd trailing byte is dropped.
std::string Utf16LeToUtf8(std::span<const std::uint8_t> utf16);
/// UTF-8 to Windows code page 1254 (Turkish); characters outside it become '?'.
std::string Utf8ToCp1254(const std::string& utf8);
/// Windows code page 1254 to UTF-8.
std::string Cp1254ToUtf8(const std::string& cp1254);

}  // namespace sandbox::tds
