#pragma once

#include <string>
#include <string_view>

namespace devir::db {

/// Each byte as two upper-case hex digits, without prefix: "0AFF".
std::string UpperHex(std::string_view bytes);

}  // namespace devir::db
