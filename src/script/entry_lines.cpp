#include "script/entry_lines.h"

#include <string_view>
#include <utility>

#include "script/line_text.h"

namespace devir::script {

void EntryLines::Add(std::string entry) {
  if (!HasLineBreak(entry)) {
    lines_.Add(std::move(entry));
    return;
  }
  ForEachEntryLine(entry, [this](std::string_view line) { lines_.Add(std::string(line)); });
}

}  // namespace devir::script
