#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "db/script_lines.h"

namespace devir::script {

/// Where the trace file goes: "C:\X.TXT" on Windows; elsewhere X.TXT in the user's home
/// directory ($HOME, else the account's home, else the current directory).
std::filesystem::path DefaultTracePath();

/// How the trace file was written.
struct TraceFileReport {
  std::string charset;       ///< SystemCodePage's name: "CP1254", "UTF-8", "1254"
  std::size_t replaced = 0;  ///< characters the charset lacks, written as '?'
};

/// Writes each line followed by CR LF to `path`, replacing an earlier file, in the system's
/// 8-bit code page (SystemCodePage: UTF-8 under a locale of plain ASCII) without a byte-order
/// mark. The lines are read one at a time from the first. Throws std::runtime_error "<path>:
/// <the system's message>" when the file cannot be written, and what reading the lines throws.
TraceFileReport WriteTraceFile(db::ScriptLines& lines, const std::filesystem::path& path);

/// The same for lines held in memory.
TraceFileReport WriteTraceFile(const std::vector<std::string>& lines,
                               const std::filesystem::path& path);

}  // namespace devir::script
