#include "db/script_lines.h"

#include <stdexcept>

namespace devir::db {

ScriptLinesInMemory::ScriptLinesInMemory(const std::vector<std::string>& lines) : lines_(lines) {
  for (const std::string& line : lines_) {
    if (!line.empty()) ++statements_;
  }
}

bool ScriptLinesInMemory::Next(std::string_view& line) {
  if (next_ >= lines_.size()) return false;
  line = lines_[next_++];
  return true;
}

std::string LineAt(ScriptLines& lines, std::size_t index) {
  lines.Seek(index);
  std::string_view line;
  if (!lines.Next(line)) {
    throw std::out_of_range("The script has no line " + std::to_string(index + 1) + ".");
  }
  return std::string(line);
}

}  // namespace devir::db
