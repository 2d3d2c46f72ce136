#include "script/line_text.h"

namespace devir::script {

namespace {

// Calls `line` for every piece that ends in a break and returns where the rest begins.
std::size_t EachBrokenLine(std::string_view text,
                           const std::function<void(std::string_view)>& line) {
  std::size_t start = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const char c = text[pos];
    if (c != '\r' && c != '\n') {
      ++pos;
      continue;
    }
    line(text.substr(start, pos - start));
    pos += (c == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n') ? 2 : 1;
    start = pos;
  }
  return start;
}

}  // namespace

void ForEachLine(std::string_view text, const std::function<void(std::string_view)>& line) {
  const std::size_t rest = EachBrokenLine(text, line);
  if (rest < text.size()) line(text.substr(rest));
}

void ForEachEntryLine(std::string_view entry, const std::function<void(std::string_view)>& line) {
  // The break that follows the entry in the line text ends its last piece, even an empty one.
  const std::size_t rest = EachBrokenLine(entry, line);
  line(entry.substr(rest));
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  ForEachLine(text, [&lines](std::string_view piece) { lines.emplace_back(piece); });
  return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::size_t size = 0;
  for (const std::string& line : lines) size += line.size() + 2;
  std::string text;
  text.reserve(size);
  for (const std::string& line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

}  // namespace devir::script
