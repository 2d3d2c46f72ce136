#include "tests/support/fault_proxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

namespace devir::testing {
namespace {

std::string Utf16Le(const std::string& ascii) {
  std::string out;
  for (char c : ascii) {
    out += c;
    out += '\0';
  }
  return out;
}

int ConnectTo(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

bool SendAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t sent = send(fd, data, size, MSG_NOSIGNAL);
    if (sent <= 0) return false;
    data += sent;
    size -= static_cast<std::size_t>(sent);
  }
  return true;
}

}  // namespace

FaultProxy::FaultProxy(int server_port, Fault fault)
    : server_port_(server_port), fault_(std::move(fault)) {
  listener_ = socket(AF_INET, SOCK_STREAM, 0);
  const int yes = 1;
  setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener_, 16) != 0) {
    close(listener_);
    throw std::runtime_error("the fault proxy cannot listen");
  }
  socklen_t length = sizeof address;
  getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] { Accept(); });
}

FaultProxy::~FaultProxy() {
  stop_ = true;
  acceptor_.join();
  close(listener_);
  std::lock_guard<std::mutex> lock(threads_mutex_);
  for (std::thread& thread : threads_) thread.join();
}

std::string FaultProxy::DataSource() const {
  return "127.0.0.1," + std::to_string(port_);
}

void FaultProxy::Accept() {
  while (!stop_) {
    pollfd ready{listener_, POLLIN, 0};
    if (poll(&ready, 1, 50) <= 0) continue;
    const int client = accept(listener_, nullptr, nullptr);
    if (client < 0) continue;
    const int number = ++connections_;
    std::lock_guard<std::mutex> lock(threads_mutex_);
    threads_.emplace_back([this, client, number] { Forward(client, number); });
  }
}

void FaultProxy::Forward(int client, int number) {
  const int server = ConnectTo(server_port_);
  if (server < 0) {
    close(client);
    return;
  }
  const bool watched =
      (fault_.connection == 0 || number == fault_.connection) && !fault_.client_text.empty();
  const std::string needle = Utf16Le(fault_.client_text);
  std::string recent;  // the client's last bytes, so that the text may span two reads
  bool cut = false;
  while (!stop_ && !cut) {
    pollfd ready[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
    if (poll(ready, 2, 50) <= 0) continue;
    char buffer[16384];
    if (ready[0].revents != 0) {
      const ssize_t length = recv(client, buffer, sizeof buffer, 0);
      if (length <= 0) break;
      if (watched && !happened_) {
        recent.append(buffer, static_cast<std::size_t>(length));
        const bool seen = recent.find(needle) != std::string::npos;
        // What was seen is dropped, so that one sending counts once.
        recent.erase(0,
                     seen ? recent.size() : recent.size() - std::min(recent.size(), needle.size()));
        if (seen && ++sightings_ == fault_.occurrence && !happened_.exchange(true)) {
          if (!fault_.instead_of_cut) {
            cut = true;
            break;
          }
          fault_.instead_of_cut();
        }
      }
      if (!SendAll(server, buffer, static_cast<std::size_t>(length))) break;
    }
    if (ready[1].revents != 0) {
      const ssize_t length = recv(server, buffer, sizeof buffer, 0);
      if (length <= 0) break;
      if (!SendAll(client, buffer, static_cast<std::size_t>(length))) break;
    }
  }
  // A reset rather than an orderly end: the way a broken network looks to both sides.
  if (cut) {
    linger reset{1, 0};
    setsockopt(client, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    setsockopt(server, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
  }
  close(client);
  close(server);
}

}  // namespace devir::testing
