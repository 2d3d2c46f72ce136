#pragma once

#include <functional>
#include <string>

namespace devir::target {

/// The server and the login that every statement of this folder is run with (UTF-8).
struct ServerLogin {
  std::string server;    ///< the address typed at the prompt (or given to devir-cli)
  std::string user;      ///< `lkullan`
  std::string password;  ///< `lveriyolu`
};

/// Shows the step under way ("şirket", "attach") so that a failure can be placed.
using StageCallback = std::function<void(const std::string& stage)>;

}  // namespace devir::target
