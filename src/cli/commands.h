#pragma once

#include <iosfwd>
#include <string>

#include "cli/options.h"

namespace devir::cli {

/// Where a command writes: the summary to out, stages, progress and failures to err.
struct Streams {
  std::ostream& out;
  std::ostream& err;
  bool err_is_terminal = false;  ///< rewrite the progress line in place
};

/// Exit codes.
inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

/// The transfer: connects to the source, runs the transfer (or, with --dry-run, builds the
/// script and the trace file only) and prints the summary. A failure is printed as the
/// window shows it (the stage label or the failing line, a line break and the message) and
/// gives kExitFailed.
int RunTransferCommand(const Options& options, const std::string& password, Streams streams);

/// "DB Sil": connects to the source as the window does, then detaches the target database.
int RunDetachCommand(const Options& options, const std::string& password, Streams streams);

/// Prints every carried table's row count in the source and the target side by side.
int RunRowCountsCommand(const Options& options, const std::string& password, Streams streams);

}  // namespace devir::cli
