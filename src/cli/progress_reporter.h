#pragma once

#include <chrono>
#include <cstddef>
#include <iosfwd>
#include <string>

namespace devir::cli {

/// Shows a run on stderr: each stage on a line of its own, and while the script runs a
/// progress line (statements run of total, and the rate). On a terminal the progress line is
/// rewritten in place; elsewhere (a log file) it is written at every tenth of the script.
class ProgressReporter {
 public:
  ProgressReporter(std::ostream& out, bool terminal);

  /// A new stage label.
  void Stage(const std::string& stage);
  /// Statements run of total.
  void Progress(std::size_t run, std::size_t total);
  /// Ends an open progress line.
  void Finish();

 private:
  using Clock = std::chrono::steady_clock;

  std::ostream& out_;
  bool terminal_;
  bool line_open_ = false;
  std::size_t last_tenth_ = 0;
  Clock::time_point started_;
};

}  // namespace devir::cli
