#include "sandbox/engine/host_path.h"

#include <cstdlib>
#include <string>
#include <system_error>

namespace sandbox {
namespace {

bool IsDriveLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

std::optional<std::filesystem::path> ProcessWinePrefix() {
  if (const char* prefix = std::getenv("WINEPREFIX"); prefix && *prefix) return prefix;
  if (const char* home = std::getenv("HOME"); home && *home) {
    std::filesystem::path prefix = std::filesystem::path(home) / ".wine";
    std::error_code ec;
    if (std::filesystem::is_directory(prefix / "dosdevices", ec)) return prefix;
  }
  return std::nullopt;
}

}  // namespace

std::filesystem::path HostPath(std::string_view client_path,
                               const std::optional<std::filesystem::path>& wine_prefix) {
  if (client_path.size() < 3 || !IsDriveLetter(client_path[0]) || client_path[1] != ':' ||
      !IsSeparator(client_path[2])) {
    return std::filesystem::path(client_path);
  }
  const char drive = static_cast<char>(client_path[0] | 0x20);  // lower case, as Wine names it
  std::string rest(client_path.substr(3));
  for (char& c : rest) {
    if (c == '\\') c = '/';
  }
  if (wine_prefix) {
    std::filesystem::path link = *wine_prefix / "dosdevices" / (std::string(1, drive) + ":");
    std::error_code ec;
    if (std::filesystem::exists(link, ec)) return link / rest;
  }
  if (drive == 'z') return std::filesystem::path("/") / rest;
  return std::filesystem::path(client_path);
}

std::filesystem::path HostPath(std::string_view client_path) {
  return HostPath(client_path, ProcessWinePrefix());
}

}  // namespace sandbox
