#pragma once

#include <string>

#include "sandbox/engine/engine.h"

namespace sandbox::sample {

/// Runs sql as one batch in session and throws std::runtime_error with the first error the
/// batch reported ("Msg N, Level L, State S, Line X: text", then the start of the batch).
/// Result sets and messages are dropped.
void RunBatch(Session& session, const std::string& sql);

}  // namespace sandbox::sample
