#pragma once

// ASCII-only case folding for names the drivers and the server treat case-insensitively
// (ODBC driver names, column names, connection string keywords, type names).

#include <string>
#include <string_view>

namespace devir::db {

/// text with A-Z lowered; every other byte as it is.
std::string AsciiLower(std::string_view text);

/// True when a and b are equal once A-Z are lowered in both.
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

}  // namespace devir::db
