#include "db/instance_lookup.h"

#include <charconv>
#include <vector>

#include "db/ascii_case.h"
#include "db/database_error.h"

#ifndef _WIN32
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace devir::db {
namespace {

constexpr char kUnicastInstance = 0x04;
constexpr char kResponse = 0x05;

// The ';'-separated fields of an answer's text.
std::vector<std::string_view> Fields(std::string_view text) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = std::min(text.find(';', start), text.size());
    fields.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return fields;
}

[[noreturn]] void ThrowNoAnswer(const std::string& host, const std::string& instance,
                                std::chrono::milliseconds wait, int browser_port,
                                const std::string& cause) {
  const long long seconds = std::chrono::ceil<std::chrono::seconds>(wait).count();
  throw DatabaseError("The SQL Server Browser on " + host + " (UDP port " +
                      std::to_string(browser_port) + ") gave no port for the instance '" +
                      instance + "' within " + std::to_string(seconds) + " s" + cause +
                      ". Check that the SQL Server Browser service runs and the instance name "
                      "is right, or give the instance's port as " +
                      host + ",PORT.");
}

#ifndef _WIN32
// A UDP socket closed however the lookup ends.
class UdpSocket {
 public:
  explicit UdpSocket(int fd) : fd_(fd) {}
  ~UdpSocket() {
    if (fd_ >= 0) close(fd_);
  }
  UdpSocket(const UdpSocket&) = delete;
  UdpSocket& operator=(const UdpSocket&) = delete;
  int Get() const noexcept { return fd_; }

 private:
  int fd_;
};

struct AddressList {
  addrinfo* first = nullptr;
  ~AddressList() {
    if (first != nullptr) freeaddrinfo(first);
  }
};
#endif

}  // namespace

std::optional<int> InstancePortFromBrowserAnswer(std::string_view answer,
                                                 std::string_view instance) {
  if (answer.size() < 3 || answer[0] != kResponse) return std::nullopt;
  const std::vector<std::string_view> fields = Fields(answer.substr(3));
  // Name;value pairs; an instance's list ends with ";;". Only the asked instance counts.
  bool ours = false;
  for (std::size_t i = 0; i + 1 < fields.size(); i += 2) {
    const std::string_view name = fields[i];
    const std::string_view value = fields[i + 1];
    if (EqualsIgnoringAsciiCase(name, "InstanceName")) {
      ours = EqualsIgnoringAsciiCase(value, instance);
    } else if (ours && EqualsIgnoringAsciiCase(name, "tcp")) {
      int port = 0;
      const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), port);
      if (error != std::errc() || end != value.data() + value.size() || port < 1 || port > 65535) {
        return std::nullopt;
      }
      return port;
    } else if (name.empty()) {
      // ";;" ends one instance's list; the next starts with ServerName.
      --i;
    }
  }
  return std::nullopt;
}

#ifdef _WIN32

int LookUpInstancePort(const std::string& host, const std::string& instance,
                       std::chrono::milliseconds wait, int browser_port) {
  // Microsoft's drivers ask the Browser themselves; nothing here calls this on Windows.
  ThrowNoAnswer(host, instance, wait, browser_port, " (no lookup of its own on Windows)");
}

#else

int LookUpInstancePort(const std::string& host, const std::string& instance,
                       std::chrono::milliseconds wait, int browser_port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_DGRAM;
  AddressList addresses;
  const std::string service = std::to_string(browser_port);
  if (const int rc = getaddrinfo(host.c_str(), service.c_str(), &hints, &addresses.first);
      rc != 0) {
    throw DatabaseError("The server " + host + " cannot be found: " + gai_strerror(rc) + ".");
  }
  const addrinfo& address = *addresses.first;
  UdpSocket socket_fd(socket(address.ai_family, address.ai_socktype, address.ai_protocol));
  if (socket_fd.Get() < 0) {
    throw DatabaseError(std::string("No socket for the SQL Server Browser lookup: ") +
                        std::strerror(errno) + ".");
  }
  std::string request(1, kUnicastInstance);
  request += instance;
  request += '\0';

  using Clock = std::chrono::steady_clock;
  const Clock::time_point end = Clock::now() + wait;
  std::string cause;
  while (Clock::now() < end) {
    // A lost datagram is asked for again, once a second.
    if (sendto(socket_fd.Get(), request.data(), request.size(), 0, address.ai_addr,
               address.ai_addrlen) < 0) {
      cause = std::string(" (") + std::strerror(errno) + ")";
      break;
    }
    const Clock::time_point round_end = std::min(end, Clock::now() + std::chrono::seconds(1));
    while (true) {
      // Rounded up: a remainder under a millisecond would poll for 0 ms and, at the end of
      // the wait, send the request again and again until the clock passes `end`.
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(round_end - Clock::now());
      if (left.count() <= 0) break;
      pollfd ready{socket_fd.Get(), POLLIN, 0};
      const int rc = poll(&ready, 1, static_cast<int>(left.count()));
      if (rc < 0 && errno == EINTR) continue;
      if (rc <= 0) break;
      char buffer[4096];
      const ssize_t length = recv(socket_fd.Get(), buffer, sizeof buffer, 0);
      // ICMP port unreachable (nothing listens) arrives as an error on the next receive.
      if (length < 0) {
        if (errno == ECONNREFUSED) cause = " (nothing listens on that port)";
        break;
      }
      if (const auto port = InstancePortFromBrowserAnswer(
              std::string_view(buffer, static_cast<std::size_t>(length)), instance)) {
        return *port;
      }
    }
  }
  ThrowNoAnswer(host, instance, wait, browser_port, cause);
}

#endif

}  // namespace devir::db
