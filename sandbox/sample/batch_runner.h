#pragma once

#include <optional>
#include <string>

#include "sandbox/engine/engine.h"

namespace sandbox::sample {

/// Runs sql as one batch in session and returns the first error it reported, if any. The
/// batch goes on after an error as the server's would; result sets and messages are dropped.
std::optional<SqlError> FirstErrorOf(Session& session, const std::string& sql);

/// Runs sql as one batch in session and throws std::runtime_error with the first error the
/// batch reported ("Msg N, Level L, State S, Line X: text", then the start of the batch).
/// Result sets and messages are dropped.
void RunBatch(Session& session, const std::string& sql);

}  // namespace sandbox::sample
