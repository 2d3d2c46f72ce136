#include "script/text_literal.h"

#include <cstddef>
#include <cstring>

#include "script/line_text.h"

namespace devir::script {

namespace {

// Longest non-max strings: longer results of "+" are cut by SQL Server unless an operand is a
// max type.
constexpr std::size_t kLongestVarchar = 8000;
constexpr std::size_t kLongestNvarchar = 4000;

// CR, LF and NUL are written as CHAR()/NCHAR() rather than inside the quotes: CR and LF
// would break the statement's line, and a NUL would end the statement's text in the driver.
const char* CharCode(char c) {
  switch (c) {
    case '\r':
      return "13)";
    case '\n':
      return "10)";
    default:
      return "0)";
  }
}

// Characters as the server counts them: one byte each in an 8-bit code page, UTF-16 units
// for unicode (two for a letter outside the basic plane).
std::size_t ServerLength(std::string_view utf8, bool unicode) {
  std::size_t length = 0;
  for (unsigned char c : utf8) {
    if ((c & 0xC0) != 0x80) ++length;             // a lead byte starts a character
    if (unicode && (c & 0xF8) == 0xF0) ++length;  // four bytes: a surrogate pair
  }
  return length;
}

void AppendQuoted(std::string& out, std::string_view run, bool unicode) {
  if (unicode) out += 'N';
  out += '\'';
  // Runs between quotes are copied whole; each quote is doubled.
  while (const void* quote = run.empty() ? nullptr : std::memchr(run.data(), '\'', run.size())) {
    const std::size_t through =
        static_cast<std::size_t>(static_cast<const char*>(quote) - run.data()) + 1;
    out.append(run.data(), through);
    out += '\'';
    run.remove_prefix(through);
  }
  out.append(run);
  out += '\'';
}

bool HasSpecial(std::string_view text) {
  return HasLineBreak(text) || std::memchr(text.data(), '\0', text.size()) != nullptr;
}

std::size_t FindSpecial(std::string_view text, std::size_t start) {
  for (std::size_t i = start; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n' || text[i] == '\0') return i;
  }
  return std::string_view::npos;
}

}  // namespace

std::string TextLiteral(std::string_view utf8, bool unicode) {
  std::string out;
  AppendTextLiteral(out, utf8, unicode);
  return out;
}

void AppendTextLiteral(std::string& out, std::string_view utf8, bool unicode) {
  if (!HasSpecial(utf8)) {
    AppendQuoted(out, utf8, unicode);
    return;
  }
  // Pieces join with "+" from the first piece of this literal on, whatever out holds before.
  const std::size_t literal_start = out.size();
  if (ServerLength(utf8, unicode) > (unicode ? kLongestNvarchar : kLongestVarchar)) {
    out += unicode ? "CAST(N'' AS nvarchar(max))" : "CAST('' AS varchar(max))";
  }
  std::size_t start = 0;
  while (start <= utf8.size()) {
    const std::size_t stop = FindSpecial(utf8, start);
    const std::size_t end = stop == std::string_view::npos ? utf8.size() : stop;
    if (end > start) {
      if (out.size() > literal_start) out += '+';
      AppendQuoted(out, utf8.substr(start, end - start), unicode);
    }
    if (stop == std::string_view::npos) break;
    if (out.size() > literal_start) out += '+';
    out += unicode ? "NCHAR(" : "CHAR(";
    out += CharCode(utf8[stop]);
    start = stop + 1;
  }
}

}  // namespace devir::script
