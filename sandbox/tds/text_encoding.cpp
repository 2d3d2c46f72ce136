#include "sandbox/tds/text_encoding.h"

#include "sandbox/engine/codepage1254.h"
#include "sandbox/engine/utf8.h"

namespace sandbox::tds {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

}  // namespace

Bytes Utf8ToUtf16Le(const std::string& utf8) {
  Bytes out;
  out.reserve(utf8.size() * 2);
  auto put = [&out](char32_t unit) {
    out.push_back(static_cast<std::uint8_t>(unit));
    out.push_back(static_cast<std::uint8_t>(unit >> 8));
  };
  for (char32_t cp : DecodeUtf8(utf8)) {
    if (cp >= 0x10000) {
      cp -= 0x10000;
      put(0xD800 + (cp >> 10));
      put(0xDC00 + (cp & 0x3FF));
    } else {
      put(cp);
    }
  }
  return out;
}

std::string Utf16LeToUtf8(std::span<const std::uint8_t> utf16) {
  std::string out;
  out.reserve(utf16.size());
  const std::size_t units = utf16.size() / 2;
  auto unit = [&utf16](std::size_t i) -> char32_t {
    return static_cast<char32_t>(utf16[2 * i] | (utf16[2 * i + 1] << 8));
  };
  for (std::size_t i = 0; i < units; ++i) {
    char32_t u = unit(i);
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units && unit(i + 1) >= 0xDC00 &&
        unit(i + 1) <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (unit(i + 1) - 0xDC00));
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      AppendUtf8(out, kReplacement);
    } else {
      AppendUtf8(out, u);
    }
  }
  return out;
}

std::string Utf8ToCp1254(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (char32_t cp : DecodeUtf8(utf8)) {
    out += static_cast<char>(UnicodeToCp1254(cp).value_or('?'));
  }
  return out;
}

std::string Cp1254ToUtf8(const std::string& cp1254) {
  std::string out;
  out.reserve(cp1254.size() * 2);
  for (char c : cp1254) AppendUtf8(out, Cp1254ToUnicode(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace sandbox::tds
