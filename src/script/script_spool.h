#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/script_lines.h"
#include "script/statement_sink.h"

namespace devir::script {

/// The transfer script kept in a temporary file while it is built, traced and run, so that
/// memory stays the same whatever the year's size: each line is appended as it comes (UTF-8,
/// LF after each) and read back in order from any line (db::ScriptLines). The file is made at
/// the first write, in `folder` (the system's temporary folder when empty), and removed when
/// the spool goes, however the transfer ends.
class ScriptSpool final : public StatementSink, public db::ScriptLines {
 public:
  explicit ScriptSpool(std::filesystem::path folder = {});
  ~ScriptSpool() override;
  ScriptSpool(const ScriptSpool&) = delete;
  ScriptSpool& operator=(const ScriptSpool&) = delete;

  /// Appends one line (no CR or LF in it: the builder has split its entries). Throws
  /// std::invalid_argument for a line break, std::logic_error after Finish, and
  /// std::runtime_error "the script's temporary file <path>: <the system's message>" when the
  /// file cannot be made or written (a full disk, a folder that is not there).
  void Add(std::string line) override;
  /// Writes out what is still buffered; then the lines can be read and no more added. Throws
  /// std::runtime_error as Add.
  void Finish();

  /// The lines added so far, and the non-empty ones among them.
  std::size_t Count() const override { return count_; }
  std::size_t StatementCount() const override { return statements_; }
  /// Reading, once Finish has been called (std::logic_error before). Throws
  /// std::runtime_error naming the file and the system's message when it cannot be read.
  void Seek(std::size_t index) override;
  bool Next(std::string_view& line) override;

  /// The bytes written: every line and its LF.
  std::uint64_t Bytes() const noexcept { return bytes_; }
  /// The temporary file; empty until the first write.
  const std::filesystem::path& Path() const noexcept { return path_; }

 private:
  struct FileCloser {
    void operator()(std::FILE* file) const noexcept;
  };

  void Open();
  void WriteOut();
  void Fill();
  [[noreturn]] void Fail(int error);

  std::filesystem::path folder_;
  std::filesystem::path path_;
  std::unique_ptr<std::FILE, FileCloser> file_;
  bool finished_ = false;
  std::string broken_;  // why writing failed, once it has

  std::string pending_;  // lines not yet written
  std::size_t count_ = 0;
  std::size_t statements_ = 0;
  std::uint64_t bytes_ = 0;
  // Where every kLinesPerMark-th line starts: a line is found by seeking to the mark before
  // it and reading on, so the index stays a few kilobytes for millions of lines.
  std::vector<std::uint64_t> marks_;

  std::vector<char> buffer_;  // what was read and not yet given out
  std::size_t begin_ = 0;     // the next line's first byte in buffer_
  std::size_t end_ = 0;       // the end of what was read into buffer_
  std::size_t next_ = 0;      // the next line's index
  bool positioned_ = false;   // the buffer follows the file at next_
};

}  // namespace devir::script
