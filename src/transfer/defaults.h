#pragma once

#include <string_view>

namespace devir::transfer {

/// The server address offered at the prompt and used by devir-cli unless told otherwise: a
/// named instance on this machine.
inline constexpr std::string_view kDefaultServerAddress = ".\\SQLExpress";
/// The SQL Server login offered in the window and used by devir-cli unless told otherwise.
inline constexpr std::string_view kDefaultUser = "sa";

}  // namespace devir::transfer
