#include "sandbox/tds/socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace sandbox::tds {
namespace {

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error(what + ": " + std::strerror(errno));
}

sockaddr_in Loopback(int port) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return addr;
}

int BoundPort(int fd) {
  sockaddr_in addr{};
  socklen_t len = sizeof addr;
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) Fail("getsockname");
  return ntohs(addr.sin_port);
}

// Waits until fd or wake_fd is readable; false when woken (or on a poll failure).
bool WaitReadable(int fd, int wake_fd) {
  pollfd fds[2] = {{fd, POLLIN, 0}, {wake_fd, POLLIN, 0}};
  while (true) {
    const int n = poll(fds, 2, -1);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (fds[1].revents != 0) return false;
    if (fds[0].revents != 0) return true;
  }
}

}  // namespace

FileDescriptor::~FileDescriptor() {
  if (fd_ >= 0) ::close(fd_);
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.Release();
  }
  return *this;
}

int FileDescriptor::Release() noexcept {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

bool StreamSocket::SendAll(std::span<const std::uint8_t> bytes) noexcept {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(fd_.Get(), bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

long StreamSocket::Receive(std::span<std::uint8_t> buffer) noexcept {
  while (true) {
    const ssize_t n = ::recv(fd_.Get(), buffer.data(), buffer.size(), 0);
    if (n < 0 && errno == EINTR) continue;
    return n < 0 ? -1 : static_cast<long>(n);
  }
}

long StreamSocket::ReceiveAvailable(std::span<std::uint8_t> buffer) noexcept {
  while (true) {
    const ssize_t n = ::recv(fd_.Get(), buffer.data(), buffer.size(), MSG_DONTWAIT);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return (errno == EAGAIN || errno == EWOULDBLOCK) ? -1 : -2;
    return static_cast<long>(n);
  }
}

void StreamSocket::Shutdown() noexcept {
  ::shutdown(fd_.Get(), SHUT_RDWR);
}

std::string StreamSocket::PeerName() const {
  sockaddr_in addr{};
  socklen_t len = sizeof addr;
  if (getpeername(fd_.Get(), reinterpret_cast<sockaddr*>(&addr), &len) != 0) return "?";
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &addr.sin_addr, text, sizeof text);
  return std::string(text) + ":" + std::to_string(ntohs(addr.sin_port));
}

Listener::Listener(int port) {
  fd_ = FileDescriptor(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd_.Valid()) Fail("socket");
  const int one = 1;
  setsockopt(fd_.Get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  const sockaddr_in addr = Loopback(port);
  if (::bind(fd_.Get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
    Fail("cannot listen on 127.0.0.1:" + std::to_string(port));
  }
  if (::listen(fd_.Get(), 64) != 0) Fail("listen");
  port_ = BoundPort(fd_.Get());
}

FileDescriptor Listener::Accept(int wake_fd) {
  while (WaitReadable(fd_.Get(), wake_fd)) {
    const int fd = ::accept4(fd_.Get(), nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) {
      const int one = 1;
      setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      return FileDescriptor(fd);
    }
    // A connection reset before accept, or a short resource shortage: keep serving.
  }
  return FileDescriptor();
}

DatagramSocket::DatagramSocket(int port) {
  fd_ = FileDescriptor(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (!fd_.Valid()) Fail("socket");
  const int one = 1;
  setsockopt(fd_.Get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  const sockaddr_in addr = Loopback(port);
  if (::bind(fd_.Get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
    Fail("cannot bind UDP 127.0.0.1:" + std::to_string(port));
  }
  port_ = BoundPort(fd_.Get());
}

bool DatagramSocket::Receive(std::string& datagram, int wake_fd) {
  while (WaitReadable(fd_.Get(), wake_fd)) {
    char buffer[2048];
    sockaddr_in from{};
    socklen_t len = sizeof from;
    const ssize_t n =
        ::recvfrom(fd_.Get(), buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &len);
    if (n < 0) continue;
    datagram.assign(buffer, static_cast<std::size_t>(n));
    last_sender_.assign(reinterpret_cast<const char*>(&from), sizeof from);
    return true;
  }
  return false;
}

void DatagramSocket::Reply(const std::string& datagram) noexcept {
  if (last_sender_.size() != sizeof(sockaddr_in)) return;
  ::sendto(fd_.Get(), datagram.data(), datagram.size(), 0,
           reinterpret_cast<const sockaddr*>(last_sender_.data()), sizeof(sockaddr_in));
}

WakePipe::WakePipe() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) Fail("pipe");
  read_ = FileDescriptor(fds[0]);
  write_ = FileDescriptor(fds[1]);
}

void WakePipe::Wake() noexcept {
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(write_.Get(), &byte, 1);
}

}  // namespace sandbox::tds
