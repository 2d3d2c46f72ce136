#pragma once

// Code page 1254 (Windows Turkish), the code page of the year databases' varchar columns.

#include <optional>

namespace sandbox {

/// The character of a code page 1254 byte (undefined bytes give the C1 control of the same
/// number, as Windows does).
char32_t Cp1254ToUnicode(unsigned char byte);
/// The code page 1254 byte of a character, nullopt when it has none.
std::optional<unsigned char> UnicodeToCp1254(char32_t code_point);

}  // namespace sandbox
