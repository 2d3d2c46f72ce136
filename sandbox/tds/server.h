#pragma once

#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "sandbox/tds/connection.h"
#include "sandbox/tds/socket.h"

namespace sandbox::tds {

struct ServerOptions {
  int port = 1433;          ///< 0: any free port
  int browser_port = 1434;  ///< UDP port of the SQL Server Browser; 0: none; < 0: any free port
  std::string instance = "SQLEXPRESS";
  std::string server_name = "DEVIR-SANDBOX";  ///< in INFO and ERROR tokens
  std::string host_name = "localhost";        ///< in the Browser's answer
  bool rowversion_as_binary = false;          ///< timestamp columns described as binary(8)
};

/// The TDS listener on 127.0.0.1 (one thread per connection) and the optional SQL Server
/// Browser on UDP.
class Server {
 public:
  /// Binds the sockets. Throws std::runtime_error when a port cannot be bound.
  Server(ServerOptions options, LoginFunction login);
  /// Stops.
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  /// The TCP port actually bound.
  int Port() const noexcept { return listener_.Port(); }
  /// The UDP port of the Browser actually bound (0 when off).
  int BrowserPort() const noexcept { return browser_ ? browser_->Port() : 0; }

  /// Starts accepting connections and Browser requests.
  void Start();
  /// Stops accepting, closes every connection (their sessions roll back) and waits for them.
  void Stop() noexcept;

 private:
  struct Slot {
    std::unique_ptr<Connection> connection;
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };

  void AcceptLoop();
  void BrowserLoop();
  void ReapFinished();

  ServerOptions options_;
  LoginFunction login_;
  Listener listener_;
  std::unique_ptr<DatagramSocket> browser_;
  WakePipe wake_;
  std::thread accept_thread_;
  std::thread browser_thread_;
  std::mutex mutex_;
  std::list<Slot> connections_;
  bool stopped_ = false;
  std::uint16_t next_spid_ = 51;
};

}  // namespace sandbox::tds
