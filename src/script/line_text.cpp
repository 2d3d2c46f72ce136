#include "script/line_text.h"

#include <cstring>

namespace devir::script {

void ForEachEntryLine(std::string_view entry, const std::function<void(std::string_view)>& line) {
  std::size_t start = 0;
  std::size_t pos = 0;
  while (pos < entry.size()) {
    const char c = entry[pos];
    if (c != '\r' && c != '\n') {
      ++pos;
      continue;
    }
    line(entry.substr(start, pos - start));
    pos += (c == '\r' && pos + 1 < entry.size() && entry[pos + 1] == '\n') ? 2 : 1;
    start = pos;
  }
  // The break that follows the entry in the line text ends its last piece, even an empty one.
  line(entry.substr(start));
}

bool HasLineBreak(std::string_view text) noexcept {
  // Two passes of memchr beat one loop testing both characters on every byte.
  return !text.empty() && (std::memchr(text.data(), '\n', text.size()) != nullptr ||
                           std::memchr(text.data(), '\r', text.size()) != nullptr);
}

}  // namespace devir::script
