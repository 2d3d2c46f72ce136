#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace devir::db {

/// The lines of a script as the runner and the trace file read them: in order, from any line,
/// as often as needed, so that a script kept in a file is never held in memory as a whole.
/// A line holds no CR or LF; empty lines count as lines (the runner skips them).
class ScriptLines {
 public:
  virtual ~ScriptLines() = default;

  /// Every line, empty ones included.
  virtual std::size_t Count() const = 0;
  /// The non-empty lines: the statements a run sends.
  virtual std::size_t StatementCount() const = 0;
  /// Reading goes on at line `index` (from 0; Count() means past the end). Throws
  /// std::runtime_error with the system's message when the lines cannot be read.
  virtual void Seek(std::size_t index) = 0;
  /// The line at the reading position, which moves on by one; false past the last line. The
  /// text stays valid until the next Seek or Next. Throws as Seek does.
  virtual bool Next(std::string_view& line) = 0;
};

/// The lines of a script held in memory; `lines` must outlive this object.
class ScriptLinesInMemory final : public ScriptLines {
 public:
  explicit ScriptLinesInMemory(const std::vector<std::string>& lines);

  std::size_t Count() const override { return lines_.size(); }
  std::size_t StatementCount() const override { return statements_; }
  void Seek(std::size_t index) override { next_ = index; }
  bool Next(std::string_view& line) override;

 private:
  const std::vector<std::string>& lines_;
  std::size_t statements_ = 0;
  std::size_t next_ = 0;
};

/// The text of line `index` (from 0), read through `lines`; the reading position ends up
/// after it. Throws std::out_of_range past the last line, and what `lines` throws.
std::string LineAt(ScriptLines& lines, std::size_t index);

}  // namespace devir::db
