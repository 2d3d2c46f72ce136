#pragma once

#include <string>

namespace devir::db {

/// The server and the login that every connection of a run is made with (UTF-8): passed
/// whole, so that no two of them can be swapped by mistake.
struct ServerLogin {
  std::string server;    ///< the address typed at the prompt (or given to devir-cli)
  std::string user;      ///< `lkullan`
  std::string password;  ///< `lveriyolu`
};

}  // namespace devir::db
