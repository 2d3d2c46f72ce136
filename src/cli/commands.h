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
inline constexpr int kExitProofFailed = 3;

/// The transfer: connects to the source, runs the checks (stopping with kExitFailed before
/// anything changes when they find an error; their findings on err), runs the transfer (or,
/// with --dry-run, builds the script and the trace file only), proves it unless told not to
/// and prints the summary and the proof. A failure is printed as the window shows it (the
/// stage label or the failing line, a line break and the message) and gives kExitFailed; a
/// proof that fails gives kExitProofFailed.
int RunTransferCommand(const Options& options, const std::string& password, Streams streams);

/// "DB Sil": connects to the source as the window does, then detaches the target database.
int RunDetachCommand(const Options& options, const std::string& password, Streams streams);

/// Prints every carried table's row count in the source and the target side by side.
int RunRowCountsCommand(const Options& options, const std::string& password, Streams streams);

/// --check: the checks before a transfer, reading only; their report on out. kExitDone
/// without errors, kExitFailed with one (or when the source cannot be read).
int RunCheckCommand(const Options& options, const std::string& password, Streams streams);

/// --verify: the proof that the target holds what the source had, reading only; its report
/// on out. kExitDone when it holds, kExitProofFailed when not, kExitFailed when a database
/// cannot be read.
int RunVerifyCommand(const Options& options, const std::string& password, Streams streams);

}  // namespace devir::cli
