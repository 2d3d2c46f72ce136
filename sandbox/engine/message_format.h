#pragma once

#include <string>
#include <vector>

#include "sandbox/engine/convert.h"

namespace sandbox {

/// RAISERROR's message text: format with its printf-like placeholders
/// %[flags][width][.precision][h|l]type (types d, i, o, s, u, x, X; flags - + 0 blank #;
/// width and precision numbers or *) filled from args in order, %% as %; past 2,047
/// characters the first 2,044 and "...". A placeholder without an argument prints "(null)". Throws
/// SqlError 2786 when an argument's kind does not fit its placeholder.
std::string FormatRaiseErrorMessage(const std::string& format, const std::vector<Scalar>& args);

}  // namespace sandbox
