#pragma once

#include <cstddef>
#include <istream>
#include <stdexcept>
#include <string>
#include <string_view>

#include "sandbox/engine/engine.h"

namespace sandbox::sample {

/// How the script is cut into batches: as devir's runner does, a batch ends at whichever
/// limit comes first.
struct ScriptBatchLimits {
  std::size_t max_lines = 500;
  std::size_t max_bytes = 1u << 20;
};

/// What a script run did.
struct ScriptRunSummary {
  std::size_t statements = 0;  ///< non-empty lines run
  std::size_t batches = 0;
  double seconds = 0;  ///< from the session setup to the commit
};

/// A line of the script failed; nothing of the script is kept. what() holds the server's
/// message as "Msg N, Level L, State S: text".
struct ScriptLineFailure : std::runtime_error {
  ScriptLineFailure(std::size_t line_number, const std::string& message)
      : std::runtime_error(message), line(line_number) {}
  std::size_t line;  ///< 1-based line of the script file
};

/// True when the line leaves no string, quoted name or block comment open, so it can share
/// a batch with other lines; a line that does not is sent on its own.
bool LineStandsAlone(std::string_view line);

/// Runs a script (UTF-8, one statement per line, CR LF or LF, empty lines skipped) in
/// session the way devir runs its transfer script: SET DATEFORMAT DMY and XACT_ABORT ON,
/// one transaction, lines joined into batches, COMMIT at the end. Reads the script as it
/// goes. Throws ScriptLineFailure for the first failing line (the transaction rolled back),
/// std::runtime_error when the script cannot be read.
ScriptRunSummary RunScript(Session& session, std::istream& script,
                           const ScriptBatchLimits& limits = {});

}  // namespace sandbox::sample
