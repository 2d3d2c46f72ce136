#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "db/script_lines.h"

namespace devir::script {

/// Where the trace file goes: "C:\X.TXT" on Windows; elsewhere X.TXT in the user's home
/// directory ($HOME, else the account's home, else the current directory).
std::filesystem::path DefaultTracePath();

/// Writes each line followed by CR LF to `path`, replacing an earlier file, in the system's
/// 8-bit code page (SystemCodePage) without a byte-order mark. The lines are read one at a
/// time from the first. Throws std::runtime_error "<path>: <the system's message>" when the
/// file cannot be written, and what reading the lines throws.
void WriteTraceFile(db::ScriptLines& lines, const std::filesystem::path& path);

/// The same for lines held in memory.
void WriteTraceFile(const std::vector<std::string>& lines, const std::filesystem::path& path);

}  // namespace devir::script
