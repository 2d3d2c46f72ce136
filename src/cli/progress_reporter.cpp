#include "cli/progress_reporter.h"

#include <cstdio>
#include <ostream>

namespace devir::cli {

ProgressReporter::ProgressReporter(std::ostream& out, bool terminal)
    : out_(out), terminal_(terminal), started_(Clock::now()) {}

void ProgressReporter::Stage(const std::string& stage) {
  Finish();
  out_ << "devir-cli: " << stage << std::endl;
  started_ = Clock::now();
  last_tenth_ = 0;
}

void ProgressReporter::Progress(std::size_t run, std::size_t total) {
  const std::size_t tenth = total == 0 ? 10 : run * 10 / total;
  if (!terminal_) {
    // A log gets the start, each tenth and the end, not a line per batch.
    if (run != 0 && run != total && tenth == last_tenth_) return;
  }
  last_tenth_ = tenth;
  const double seconds = std::chrono::duration<double>(Clock::now() - started_).count();
  char rate[32] = "";
  if (seconds > 0 && run > 0) {
    std::snprintf(rate, sizeof rate, ", %.0f/s", static_cast<double>(run) / seconds);
  }
  if (terminal_) out_ << '\r';
  out_ << "  " << run << " of " << total << " statements" << rate;
  if (terminal_) {
    out_ << "   " << std::flush;
    line_open_ = true;
  } else {
    out_ << std::endl;
  }
}

void ProgressReporter::Finish() {
  if (!line_open_) return;
  out_ << std::endl;
  line_open_ = false;
}

}  // namespace devir::cli
