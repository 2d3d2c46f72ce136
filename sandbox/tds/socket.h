#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>

namespace sandbox::tds {

/// An owned file descriptor (socket or pipe end), closed on destruction.
class FileDescriptor {
 public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) noexcept : fd_(fd) {}
  ~FileDescriptor();
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.Release()) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept;
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int Get() const noexcept { return fd_; }
  bool Valid() const noexcept { return fd_ >= 0; }
  int Release() noexcept;

 private:
  int fd_ = -1;
};

/// One connected TCP stream. Send and receive belong to one thread; Shutdown may be called
/// from another to wake it.
class StreamSocket {
 public:
  explicit StreamSocket(FileDescriptor fd) noexcept : fd_(std::move(fd)) {}

  /// Sends everything; false when the peer is gone.
  bool SendAll(std::span<const std::uint8_t> bytes) noexcept;
  /// Blocks until bytes arrive: the count, 0 at end of stream, -1 on error.
  long Receive(std::span<std::uint8_t> buffer) noexcept;
  /// What has arrived without blocking: the count, 0 at end of stream, -1 when nothing is
  /// waiting, -2 on error.
  long ReceiveAvailable(std::span<std::uint8_t> buffer) noexcept;
  /// Ends both directions, waking a blocked Receive.
  void Shutdown() noexcept;
  /// "address:port" of the peer, for log lines.
  std::string PeerName() const;

 private:
  FileDescriptor fd_;
};

/// A TCP listener on 127.0.0.1.
class Listener {
 public:
  /// Binds 127.0.0.1:port (0: any free port) and listens. Throws std::runtime_error.
  explicit Listener(int port);
  int Port() const noexcept { return port_; }
  /// Waits for a connection or for wake_fd to become readable (then returns an invalid
  /// descriptor).
  FileDescriptor Accept(int wake_fd);

 private:
  FileDescriptor fd_;
  int port_ = 0;
};

/// A UDP socket on 127.0.0.1 for the SQL Server Browser.
class DatagramSocket {
 public:
  /// Binds 127.0.0.1:port (0: any free port). Throws std::runtime_error.
  explicit DatagramSocket(int port);
  int Port() const noexcept { return port_; }
  /// Waits for a datagram or for wake_fd to become readable (then returns false). The
  /// sender's address is kept for Reply.
  bool Receive(std::string& datagram, int wake_fd);
  /// Answers the sender of the last datagram.
  void Reply(const std::string& datagram) noexcept;

 private:
  FileDescriptor fd_;
  int port_ = 0;
  std::string last_sender_;  // a sockaddr_in, opaque here
};

/// A pipe whose read end wakes poll() loops when the server stops.
class WakePipe {
 public:
  WakePipe();  ///< Throws std::runtime_error.
  int ReadFd() const noexcept { return read_.Get(); }
  void Wake() noexcept;

 private:
  FileDescriptor read_;
  FileDescriptor write_;
};

}  // namespace sandbox::tds
