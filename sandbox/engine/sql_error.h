#pragma once

#include <stdexcept>
#include <string>

namespace sandbox {

/// An error as SQL Server reports it in an ERROR token: message number, state, severity
/// (class) and text. line is the 1-based line within the batch, 0 when not set yet.
struct SqlError : std::runtime_error {
  SqlError(int number_in, int severity_in, int state_in, const std::string& message,
           int line_in = 0)
      : std::runtime_error(message),
        number(number_in),
        severity(severity_in),
        state(state_in),
        line(line_in) {}
  int number;
  int severity;
  int state;
  int line;
};

}  // namespace sandbox
