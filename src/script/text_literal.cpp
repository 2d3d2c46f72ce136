#include "script/text_literal.h"

#include <cstddef>

namespace devir::script {

namespace {

// Longest non-max strings: longer results of "+" are cut by SQL Server unless an operand is a
// max type.
constexpr std::size_t kLongestVarchar = 8000;
constexpr std::size_t kLongestNvarchar = 4000;

// Written as CHAR()/NCHAR() rather than inside the quotes: CR and LF would break the
// statement's line, and a NUL would end the statement's text in the driver.
constexpr std::string_view kSpecial("\r\n\0", 3);

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
  for (char c : run) {
    if (c == '\'') out += '\'';
    out += c;
  }
  out += '\'';
}

}  // namespace

std::string TextLiteral(std::string_view utf8, bool unicode) {
  std::string out;
  if (utf8.find_first_of(kSpecial) == std::string_view::npos) {
    out.reserve(utf8.size() + 3);
    AppendQuoted(out, utf8, unicode);
    return out;
  }
  if (ServerLength(utf8, unicode) > (unicode ? kLongestNvarchar : kLongestVarchar)) {
    out += unicode ? "CAST(N'' AS nvarchar(max))" : "CAST('' AS varchar(max))";
  }
  std::size_t start = 0;
  while (start <= utf8.size()) {
    const std::size_t stop = utf8.find_first_of(kSpecial, start);
    const std::size_t end = stop == std::string_view::npos ? utf8.size() : stop;
    if (end > start) {
      if (!out.empty()) out += '+';
      AppendQuoted(out, utf8.substr(start, end - start), unicode);
    }
    if (stop == std::string_view::npos) break;
    if (!out.empty()) out += '+';
    out += unicode ? "NCHAR(" : "CHAR(";
    out += CharCode(utf8[stop]);
    start = stop + 1;
  }
  return out;
}

}  // namespace devir::script
