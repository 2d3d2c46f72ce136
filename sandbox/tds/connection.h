#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "sandbox/engine/engine.h"
#include "sandbox/tds/socket.h"

namespace sandbox::tds {

/// Checks a login and opens its session; throws SqlError 18456 or 4060 as Engine::Login does.
using LoginFunction = std::function<std::unique_ptr<Session>(
    const std::string& user, const std::string& password, const std::string& database)>;

/// One client connection: PRELOGIN, LOGIN7, then requests until the client leaves. Owns the
/// socket and the session; destroying the session rolls back an open transaction.
class Connection {
 public:
  /// rowversion_as_binary: timestamp columns are described as binary(8), as some servers
  /// and drivers report them.
  Connection(StreamSocket socket, LoginFunction login, std::string server_name, std::uint16_t spid,
             bool rowversion_as_binary = false);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  /// Serves the client until it closes, misbehaves (one line on stderr) or Close() is
  /// called. Never throws.
  void Run() noexcept;
  /// Wakes Run from another thread and makes it end.
  void Close() noexcept;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace sandbox::tds
