#include "sandbox/engine/text_fold.h"

#include <algorithm>
#include <cstdint>

#include "sandbox/engine/utf8.h"

namespace sandbox {
namespace {

constexpr char32_t ToUpper(char32_t cp) {
  if (cp >= 'a' && cp <= 'z') return cp == 'i' ? 0x130 : cp - 32;
  if (cp == 0x131) return 'I';  // dotless i
  if (cp >= 0xE0 && cp <= 0xFE && cp != 0xF7) return cp - 32;
  if (cp == 0xFF) return 0x178;
  if (cp >= 0x100 && cp <= 0x17F) {
    if (cp == 0x130 || cp == 0x138 || cp == 0x149 || cp == 0x17F) return cp;
    bool shifted = (cp >= 0x139 && cp <= 0x148) || (cp >= 0x179 && cp <= 0x17E);
    bool lower = shifted ? (cp % 2 == 0) : (cp % 2 == 1);
    return lower ? cp - 1 : cp;
  }
  if (cp >= 0x3B1 && cp <= 0x3C9 && cp != 0x3C2) return cp - 32;  // Greek
  if (cp >= 0x430 && cp <= 0x44F) return cp - 32;                 // Cyrillic
  if (cp >= 0x450 && cp <= 0x45F) return cp - 80;
  return cp;
}

char32_t ToLower(char32_t cp) {
  if (cp >= 'A' && cp <= 'Z') return cp == 'I' ? 0x131 : cp + 32;
  if (cp == 0x130) return 'i';
  if (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7) return cp + 32;
  if (cp == 0x178) return 0xFF;
  if (cp >= 0x100 && cp <= 0x17F) {
    if (cp == 0x131 || cp == 0x138 || cp == 0x149 || cp == 0x17F) return cp;
    bool shifted = (cp >= 0x139 && cp <= 0x148) || (cp >= 0x179 && cp <= 0x17E);
    bool upper = shifted ? (cp % 2 == 1) : (cp % 2 == 0);
    return upper ? cp + 1 : cp;
  }
  if (cp >= 0x391 && cp <= 0x3A9) return cp + 32;
  if (cp >= 0x410 && cp <= 0x42F) return cp + 32;
  if (cp >= 0x400 && cp <= 0x40F) return cp + 80;
  return cp;
}

// Sort weight of an upper-cased code point: the Turkish alphabet order (C < Ç < D,
// G < Ğ < H, I < İ, O < Ö < P, S < Ş < T, U < Ü < V), other letters near their base.
constexpr std::uint32_t Weight(char32_t cp) {
  if (cp < 'A') return cp;
  if (cp <= 'Z') return 0x1000 + (cp - 'A') * 16;
  if (cp < 0x80) return cp;
  switch (cp) {
    case 0xC7:
      return 0x1000 + ('C' - 'A') * 16 + 8;
    case 0x11E:
      return 0x1000 + ('G' - 'A') * 16 + 8;
    case 0x130:
      return 0x1000 + ('I' - 'A') * 16 + 8;
    case 0xD6:
      return 0x1000 + ('O' - 'A') * 16 + 8;
    case 0x15E:
      return 0x1000 + ('S' - 'A') * 16 + 8;
    case 0xDC:
      return 0x1000 + ('U' - 'A') * 16 + 8;
    case 0xC2:
      return 0x1000 + ('A' - 'A') * 16 + 1;
    case 0xCE:
      return 0x1000 + ('I' - 'A') * 16 + 9;
    case 0xDB:
      return 0x1000 + ('U' - 'A') * 16 + 9;
    default:
      return 0x10000 + cp;
  }
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

// Weight(ToUpper(c)) of every ASCII character.
struct AsciiWeights {
  std::uint32_t of[0x80];
  constexpr AsciiWeights() : of() {
    for (char32_t c = 0; c < 0x80; ++c) of[c] = Weight(ToUpper(c));
  }
};
constexpr AsciiWeights kAsciiWeights;

bool IsContinuationAt(std::string_view s, size_t i) {
  return i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80;
}

}  // namespace

int CompareTurkishCi(std::string_view a, std::string_view b) {
  if (a == b) return 0;  // the common case when sorting and grouping
  a = TrimRight(a);
  b = TrimRight(b);
  // Equal bytes weigh the same: skip them, then step back to a byte where both texts start
  // a character. Every byte that is not a continuation byte starts one (a sequence only ever
  // takes continuation bytes after its lead), so what comes before decodes alike in both.
  const size_t common = std::min(a.size(), b.size());
  size_t i = static_cast<size_t>(
      std::mismatch(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(common), b.begin()).first -
      a.begin());
  if (i == a.size() && i == b.size()) return 0;
  while (i > 0 && (IsContinuationAt(a, i) || IsContinuationAt(b, i))) --i;
  size_t j = i;
  while (i < a.size() && j < b.size()) {
    const auto ca = static_cast<unsigned char>(a[i]);
    const auto cb = static_cast<unsigned char>(b[j]);
    if (ca < 0x80 && cb < 0x80) {
      const std::uint32_t x = kAsciiWeights.of[ca];
      const std::uint32_t y = kAsciiWeights.of[cb];
      if (x != y) return x < y ? -1 : 1;
      ++i;
      ++j;
      continue;
    }
    const std::uint32_t x = Weight(ToUpper(NextUtf8OrLatin1(a, i)));
    const std::uint32_t y = Weight(ToUpper(NextUtf8OrLatin1(b, j)));
    if (x != y) return x < y ? -1 : 1;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

std::string TurkishSortKey(std::string_view text) {
  text = TrimRight(text);
  std::string key;
  key.reserve(text.size() * 3);
  // Each weight as three bytes, most significant first: weights stay below 2^24.
  auto append = [&key](std::uint32_t weight) {
    key += static_cast<char>((weight >> 16) & 0xFF);
    key += static_cast<char>((weight >> 8) & 0xFF);
    key += static_cast<char>(weight & 0xFF);
  };
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      append(kAsciiWeights.of[c]);
      ++i;
    } else {
      append(Weight(ToUpper(NextUtf8OrLatin1(text, i))));
    }
  }
  return key;
}

std::string TurkishUpper(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) AppendUtf8(out, ToUpper(NextUtf8OrLatin1(utf8, i)));
  return out;
}

std::string TurkishLower(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) AppendUtf8(out, ToLower(NextUtf8OrLatin1(utf8, i)));
  return out;
}

size_t Utf8Length(std::string_view utf8) {
  size_t count = 0;
  for (size_t i = 0; i < utf8.size();) {
    NextUtf8OrLatin1(utf8, i);
    ++count;
  }
  return count;
}

}  // namespace sandbox
