#include "sandbox/tds/browser.h"

#include <algorithm>
#include <cctype>

namespace sandbox::tds {
namespace {

constexpr char kBroadcast = 0x02;
constexpr char kUnicastAll = 0x03;
constexpr char kUnicastInstance = 0x04;
constexpr char kResponse = 0x05;

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) ==
                  std::toupper(static_cast<unsigned char>(y));
         });
}

}  // namespace

std::optional<std::string> BrowserReply(const std::string& request, const std::string& instance,
                                        const std::string& host, int tcp_port) {
  if (request.empty()) return std::nullopt;
  if (request[0] == kUnicastInstance) {
    std::string asked = request.substr(1);
    asked = asked.substr(0, asked.find('\0'));
    if (!SameName(asked, instance)) return std::nullopt;
  } else if (request[0] != kBroadcast && request[0] != kUnicastAll) {
    return std::nullopt;
  }
  const std::string data = "ServerName;" + host + ";InstanceName;" + instance +
                           ";IsClustered;No;Version;16.0.1000.6;tcp;" + std::to_string(tcp_port) +
                           ";;";
  std::string out;
  out += kResponse;
  out += static_cast<char>(data.size() & 0xFF);
  out += static_cast<char>((data.size() >> 8) & 0xFF);
  return out + data;
}

}  // namespace sandbox::tds
