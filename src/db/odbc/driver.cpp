#include "db/odbc/driver.h"

#include <algorithm>
#include <system_error>

#include "db/ascii_case.h"
#include "db/database_error.h"
#include "db/odbc/call.h"
#include "db/platform.h"
#include "db/utf.h"

namespace devir::db::odbc {

const std::vector<std::string>& PreferredDriverNames() {
#ifdef _WIN32
  static const std::vector<std::string> names = {"ODBC Driver 18 for SQL Server",
                                                 "ODBC Driver 17 for SQL Server", "SQL Server"};
#else
  static const std::vector<std::string> names = {"FreeTDS"};
#endif
  return names;
}

const std::vector<std::filesystem::path>& KnownFreeTdsLibraryPaths() {
#ifdef _WIN32
  static const std::vector<std::filesystem::path> paths;
#else
  static const std::vector<std::filesystem::path> paths = {
      "/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so",
      "/usr/lib/aarch64-linux-gnu/odbc/libtdsodbc.so",
      "/usr/lib64/libtdsodbc.so.0",
      "/usr/lib/libtdsodbc.so",
      "/usr/local/lib/libtdsodbc.so",
      "/opt/homebrew/lib/libtdsodbc.so",
  };
#endif
  return paths;
}

std::string PickDriver(const std::optional<std::string>& override,
                       const std::vector<std::string>& installed,
                       const std::function<bool(const std::filesystem::path&)>& exists) {
  if (override && !override->empty()) return *override;
  for (const std::string& preferred : PreferredDriverNames()) {
    for (const std::string& name : installed) {
      if (EqualsIgnoringAsciiCase(name, preferred)) return name;
    }
  }
  for (const std::filesystem::path& path : KnownFreeTdsLibraryPaths()) {
    if (exists(path)) return path.string();
  }
  std::string tried;
  for (const std::string& name : PreferredDriverNames())
    tried += (tried.empty() ? "" : ", ") + name;
  for (const auto& path : KnownFreeTdsLibraryPaths()) tried += ", " + path.string();
  throw DatabaseError("No ODBC driver for SQL Server was found (tried " + tried +
                      "). Install one or set DEVIR_ODBC_DRIVER to a driver name or library path.");
}

std::vector<std::string> InstalledDrivers(SQLHENV environment) {
  std::vector<std::string> names;
  SQLWCHAR description[512];
  SQLWCHAR attributes[4096];
  SQLUSMALLINT direction = SQL_FETCH_FIRST;
  while (true) {
    SQLSMALLINT description_length = 0;
    SQLSMALLINT attributes_length = 0;
    const SQLRETURN rc =
        Traced(SQLDriversW(environment, direction, description, 512, &description_length,
                           attributes, 4096, &attributes_length),
               "SQLDriversW");
    // A missing or unreadable driver list just means no registered drivers.
    if (!SQL_SUCCEEDED(rc)) break;
    const auto length = std::min<std::size_t>(static_cast<std::size_t>(description_length), 511);
    names.push_back(
        Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(description), length)));
    direction = SQL_FETCH_NEXT;
  }
  return names;
}

std::string ChooseDriver(SQLHENV environment) {
  return PickDriver(EnvironmentVariable("DEVIR_ODBC_DRIVER"), InstalledDrivers(environment),
                    [](const std::filesystem::path& path) {
                      std::error_code error;
                      return std::filesystem::is_regular_file(path, error);
                    });
}

}  // namespace devir::db::odbc
