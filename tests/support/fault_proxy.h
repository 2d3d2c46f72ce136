#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace devir::testing {

/// A TCP proxy on a free loopback port in front of a server, for the faults a real network
/// and a real server have: the Nth time the client sends a given text (found in the UTF-16LE
/// of a SQL batch) on the chosen connection, or on any, it runs a fault before passing that
/// text on. The default
/// fault cuts the connection on both sides; a test may freeze or kill the server instead, in
/// which case the text is passed on and left to the server's fate.
class FaultProxy {
 public:
  struct Fault {
    int connection = 0;       ///< the Nth connection made through the proxy, from 1; 0: any
    std::string client_text;  ///< UTF-8; searched for as UTF-16LE in what the client sends
    int occurrence = 1;       ///< strike at the Nth time the text is sent (on any connection)
    /// Run instead of cutting when set (Pause() or Kill() of the stand-in).
    std::function<void()> instead_of_cut;
  };

  FaultProxy(int server_port, Fault fault);
  ~FaultProxy();
  FaultProxy(const FaultProxy&) = delete;
  FaultProxy& operator=(const FaultProxy&) = delete;

  int Port() const noexcept { return port_; }
  /// "127.0.0.1,PORT".
  std::string DataSource() const;
  /// True once the fault has happened.
  bool Happened() const noexcept { return happened_; }

 private:
  void Accept();
  void Forward(int client, int number);

  int server_port_;
  Fault fault_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<bool> happened_{false};
  std::atomic<int> connections_{0};
  std::atomic<int> sightings_{0};
  std::thread acceptor_;
  std::mutex threads_mutex_;
  std::vector<std::thread> threads_;
};

}  // namespace devir::testing
