#include "sandbox/tds/text_encoding.h"

#include <array>
#include <vector>

namespace sandbox::tds {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

std::vector<char32_t> DecodeUtf8(const std::string& s) {
  std::vector<char32_t> out;
  out.reserve(s.size());
  std::size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<unsigned char>(s[i]);
    int extra = 0;
    char32_t cp = 0;
    if (b < 0x80) {
      cp = b;
    } else if ((b & 0xE0) == 0xC0) {
      extra = 1;
      cp = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2;
      cp = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0) {
      extra = 3;
      cp = b & 0x07;
    } else {
      out.push_back(kReplacement);
      ++i;
      continue;
    }
    bool ok = i + static_cast<std::size_t>(extra) < s.size();
    for (int k = 1; ok && k <= extra; ++k) {
      const auto c = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
      if ((c & 0xC0) != 0x80) {
        ok = false;
      } else {
        cp = (cp << 6) | (c & 0x3F);
      }
    }
    // Overlong forms, surrogates and values past U+10FFFF are not characters.
    static constexpr std::array<char32_t, 4> kMinimum = {0, 0x80, 0x800, 0x10000};
    if (!ok || cp < kMinimum[static_cast<std::size_t>(extra)] || cp > 0x10FFFF ||
        (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.push_back(kReplacement);
      ++i;
      continue;
    }
    out.push_back(cp);
    i += static_cast<std::size_t>(extra) + 1;
  }
  return out;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Code page 1254 bytes 0x80..0x9F; the five holes map to the C1 controls, as Windows does.
constexpr std::array<char32_t, 32> kCp1254High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x008E, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x009E, 0x0178};

char32_t Cp1254ToCodePoint(unsigned char b) {
  if (b < 0x80) return b;
  if (b < 0xA0) return kCp1254High[b - 0x80];
  switch (b) {
    case 0xD0:
      return 0x011E;  // Ğ
    case 0xDD:
      return 0x0130;  // İ
    case 0xDE:
      return 0x015E;  // Ş
    case 0xF0:
      return 0x011F;  // ğ
    case 0xFD:
      return 0x0131;  // ı
    case 0xFE:
      return 0x015F;  // ş
    default:
      return b;
  }
}

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
    char byte = '?';
    if (cp < 0x80) {
      byte = static_cast<char>(cp);
    } else {
      for (int b = 0x80; b <= 0xFF; ++b) {
        if (Cp1254ToCodePoint(static_cast<unsigned char>(b)) == cp) {
          byte = static_cast<char>(b);
          break;
        }
      }
    }
    out += byte;
  }
  return out;
}

std::string Cp1254ToUtf8(const std::string& cp1254) {
  std::string out;
  out.reserve(cp1254.size() * 2);
  for (char c : cp1254) AppendUtf8(out, Cp1254ToCodePoint(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace sandbox::tds
