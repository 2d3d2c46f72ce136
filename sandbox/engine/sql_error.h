#pragma once

#include <stdexcept>
#include <string>

namespace sandbox {

/// An error as SQL Server reports it in an ERROR token: message number, state, severity
/// (class) and text. line is the 1-based line within the batch, 0 when not set yet.
struct SqlError : std::runtime_error {
  SqlError(int number, int severity, int state, std::string message, int line = 0)
      : std::runtime_error(message),
        number(number), severity(severity), state(state), line(line) {}
  int number;
  int severity;
  int state;
  int line;
};

}  // namespace sandbox
