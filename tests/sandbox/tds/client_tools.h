#pragma once

// Clients for the TDS tests that are not ODBC: FreeTDS's tsql and a raw TCP socket.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "sandbox/tds/wire.h"

namespace sandbox::tds::testing {

inline std::string ShellQuote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

/// Runs tsql against 127.0.0.1:port with script on its standard input; returns what it
/// printed (stdout and stderr).
inline std::string RunTsql(int port, const std::string& script, const std::string& user = "sa",
                           const std::string& password = "qolvanet",
                           const std::string& database = "") {
  char path[] = "/tmp/devir-tsql-XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) throw std::runtime_error("mkstemp failed");
  close(fd);
  std::ofstream(path) << script << "\nquit\n";
  std::string command = "LC_ALL=C.UTF-8 timeout 60 tsql -H 127.0.0.1 -p " + std::to_string(port) +
                        " -U " + ShellQuote(user) + " -P " + ShellQuote(password);
  if (!database.empty()) command += " -D " + ShellQuote(database);
  command += std::string(" < ") + path + " 2>&1";
  std::string output;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    std::array<char, 4096> buffer;
    std::size_t n = 0;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) output.append(buffer.data(), n);
    pclose(pipe);
  }
  unlink(path);
  return output;
}

/// A plain TCP connection to 127.0.0.1:port.
class RawConnection {
 public:
  explicit RawConnection(int port) : fd_(socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
      close(fd_);
      throw std::runtime_error("cannot connect to port " + std::to_string(port));
    }
  }
  ~RawConnection() { close(fd_); }
  RawConnection(const RawConnection&) = delete;
  RawConnection& operator=(const RawConnection&) = delete;

  void Send(const Bytes& bytes) {
    [[maybe_unused]] const ssize_t n = send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
  }

  /// Reads until the server closes the connection (true) or timeout_ms passes with no
  /// close (false). Whatever arrived is appended to received.
  bool WaitForClose(int timeout_ms, Bytes* received = nullptr) {
    while (true) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, timeout_ms) <= 0) return false;
      std::uint8_t buffer[4096];
      const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
      if (n <= 0) return true;
      if (received) received->insert(received->end(), buffer, buffer + n);
    }
  }

  /// Reads one complete server message (packets until the EOM bit); payload only.
  Bytes ReadMessage(int timeout_ms) {
    Bytes payload;
    while (true) {
      std::uint8_t header[8];
      if (!ReadExactly(header, 8, timeout_ms)) throw std::runtime_error("no reply");
      const std::size_t length = static_cast<std::size_t>((header[2] << 8) | header[3]);
      std::vector<std::uint8_t> body(length - 8);
      if (!ReadExactly(body.data(), body.size(), timeout_ms))
        throw std::runtime_error("short reply");
      payload.insert(payload.end(), body.begin(), body.end());
      if (header[1] & 0x01) return payload;
    }
  }

 private:
  bool ReadExactly(std::uint8_t* out, std::size_t n, int timeout_ms) {
    std::size_t got = 0;
    while (got < n) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, timeout_ms) <= 0) return false;
      const ssize_t r = recv(fd_, out + got, n - got, 0);
      if (r <= 0) return false;
      got += static_cast<std::size_t>(r);
    }
    return true;
  }

  int fd_;
};

/// A client packet around payload.
inline Bytes ClientPacket(std::uint8_t type, const Bytes& payload, std::uint8_t status = 0x01) {
  Bytes out = {type,
               status,
               static_cast<std::uint8_t>((payload.size() + 8) >> 8),
               static_cast<std::uint8_t>(payload.size() + 8),
               0,
               0,
               1,
               0};
  out.insert(out.end(), payload.begin(), payload.end());
  return out;
}

}  // namespace sandbox::tds::testing
