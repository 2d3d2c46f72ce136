#pragma once

// The transfer script's line text form, for tests that compare whole scripts: built on the
// splitter the script itself uses.

#include <string>
#include <string_view>
#include <vector>

#include "script/line_text.h"

namespace devir::testing {

/// The lines of a text: a break is CR LF, a lone CR or a lone LF; a break at the very end
/// makes no further line; the empty text has none.
inline std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  script::ForEachEntryLine(text, [&lines](std::string_view line) { lines.emplace_back(line); });
  // As an entry, the text is followed by a break of its own: the piece after a final break
  // (or the whole empty text) is that break's, not a line of the text.
  if (text.empty() || text.back() == '\r' || text.back() == '\n') lines.pop_back();
  return lines;
}

/// Each line followed by CR LF, the last one too; "" for none.
inline std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

}  // namespace devir::testing
