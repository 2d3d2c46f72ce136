// Connection strings: any text either parses as an ADO string or throws DatabaseError; the
// ADO string built from any settings parses back to them; the ODBC string built from any
// settings holds each value in its own setting, read by a small reader of ODBC's rules
// written apart from the builder, and RedactPassword hides the password and nothing else.
//
// Input: a mode byte. Even: the rest is an ADO string. Odd: a driver choice byte, then the
// provider, catalogue, data source, user and password, each a length byte and its bytes.

#include <algorithm>
#include <array>
#include <map>
#include <optional>

#include "db/ascii_case.h"
#include "db/connection_string.h"
#include "db/database_error.h"
#include "fuzz/fuzz_support.h"

namespace {

using devir::db::ConnectionSettings;
using devir::fuzz::Escaped;
using devir::fuzz::FuzzInput;

std::string Describe(const ConnectionSettings& s) {
  return "provider " + Escaped(s.provider) + "\ncatalog " + Escaped(s.initial_catalog) +
         "\ndata source " + Escaped(s.data_source) + "\nuser " + Escaped(s.user_id) +
         "\npassword " + Escaped(s.password);
}

bool operator==(const ConnectionSettings& a, const ConnectionSettings& b) {
  return a.provider == b.provider && a.initial_catalog == b.initial_catalog &&
         a.data_source == b.data_source && a.user_id == b.user_id && a.password == b.password;
}

// The ADO string built from settings, read back: the same settings (an empty provider is
// written as the default one).
void CheckAdoRoundTrip(const ConnectionSettings& settings) {
  const std::string built = devir::db::BuildAdoConnectionString(settings);
  ConnectionSettings expected = settings;
  if (expected.provider.empty()) expected.provider = "SQLOLEDB";
  ConnectionSettings back;
  try {
    back = devir::db::ParseAdoConnectionString(built);
  } catch (const devir::db::DatabaseError& error) {
    devir::fuzz::Fail("the built ADO string parses",
                      std::string(error.what()) + "\n" + Escaped(built));
  }
  FUZZ_CHECK(back == expected, "built " + Escaped(built) + "\nread back\n" + Describe(back) +
                                   "\nfrom\n" + Describe(expected));
}

// ODBC's rules as the driver manager and driver read a string: "key=value;" pairs; a value in
// braces runs to its closing brace, which the Microsoft drivers let a doubled "}}" escape and
// FreeTDS does not. nullopt for a string that does not read so.
std::optional<std::map<std::string, std::string>> ReadOdbc(std::string_view text,
                                                           bool doubled_braces) {
  std::map<std::string, std::string> out;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t equals = text.find('=', pos);
    if (equals == std::string_view::npos) return std::nullopt;
    const std::string key = devir::db::AsciiLower(text.substr(pos, equals - pos));
    if (key.find(';') != std::string::npos || key.find('{') != std::string::npos) {
      return std::nullopt;
    }
    pos = equals + 1;
    std::string value;
    if (pos < text.size() && text[pos] == '{') {
      ++pos;
      while (true) {
        if (pos >= text.size()) return std::nullopt;
        if (text[pos] == '}') {
          if (doubled_braces && pos + 1 < text.size() && text[pos + 1] == '}') {
            value += '}';
            pos += 2;
            continue;
          }
          ++pos;
          break;
        }
        value += text[pos++];
      }
      if (pos < text.size() && text[pos] != ';') return std::nullopt;
    } else {
      const std::size_t end = std::min(text.find(';', pos), text.size());
      value = std::string(text.substr(pos, end - pos));
      pos = end;
    }
    if (pos < text.size()) ++pos;                                         // the ';'
    if (!out.emplace(key, std::move(value)).second) return std::nullopt;  // a key twice
  }
  return out;
}

std::string DescribeMap(const std::map<std::string, std::string>& settings) {
  std::string out;
  for (const auto& [key, value] : settings) out += key + " = " + Escaped(value) + "\n";
  return out;
}

void CheckOdbc(const ConnectionSettings& settings, const std::string& driver) {
  std::string built;
  try {
    built = devir::db::BuildOdbcConnectionString(settings, driver);
  } catch (const devir::db::DatabaseError&) {
    return;  // a NUL, a '}' for FreeTDS or a bad port: refused with a message
  }
  const std::string lower = devir::db::AsciiLower(driver);
  const bool free_tds =
      lower.find("freetds") != std::string::npos || lower.find("tdsodbc") != std::string::npos;
  const auto read = ReadOdbc(built, !free_tds);
  FUZZ_CHECK(read.has_value(), "unreadable: " + Escaped(built));
  const std::map<std::string, std::string>& got = *read;
  const auto value = [&](const char* key) -> std::optional<std::string> {
    const auto it = got.find(key);
    if (it == got.end()) return std::nullopt;
    return it->second;
  };
  const std::string context = Escaped(built) + "\nread as\n" + DescribeMap(got) + "from\n" +
                              Describe(settings) + "\ndriver " + Escaped(driver);
  FUZZ_CHECK(value("driver") == driver, context);
  FUZZ_CHECK(value("uid") == settings.user_id, context);
  FUZZ_CHECK(value("pwd") == settings.password, context);
  FUZZ_CHECK(settings.initial_catalog.empty() ? !value("database")
                                              : value("database") == settings.initial_catalog,
             context);
  const devir::db::ServerAddress address = devir::db::ParseDataSource(settings.data_source);
  if (free_tds) {
    const std::string server =
        address.host + (address.instance.empty() ? "" : "\\" + address.instance);
    FUZZ_CHECK(value("server") == server, context);
    FUZZ_CHECK(address.port == 0 ? !value("port") : value("port") == std::to_string(address.port),
               context);
  } else {
    // Microsoft's drivers read the address as typed, except that a port goes with "tcp:".
    std::string_view typed = settings.data_source;
    while (!typed.empty() &&
           std::string_view(" \t\r\n").find(typed.front()) != std::string_view::npos) {
      typed.remove_prefix(1);
    }
    while (!typed.empty() &&
           std::string_view(" \t\r\n").find(typed.back()) != std::string_view::npos) {
      typed.remove_suffix(1);
    }
    const std::string server = address.port == 0
                                   ? std::string(typed)
                                   : "tcp:" + address.host + "," + std::to_string(address.port);
    FUZZ_CHECK(value("server") == server && !value("port"), context);
  }
  static constexpr std::array kKnownKeys = {
      "driver", "server",      "port",          "database", "uid",
      "pwd",    "tds_version", "clientcharset", "encrypt",  "trustservercertificate"};
  for (const auto& [key, unused] : got) {
    FUZZ_CHECK(std::find(kKnownKeys.begin(), kKnownKeys.end(), key) != kKnownKeys.end(),
               "unexpected key " + Escaped(key) + " in\n" + context);
  }

  // The trace's copy: the same settings, the password replaced.
  const std::string redacted = devir::db::RedactPassword(built);
  const auto hidden = ReadOdbc(redacted, !free_tds);
  FUZZ_CHECK(hidden.has_value(), "unreadable after redaction: " + Escaped(redacted));
  std::map<std::string, std::string> expected = got;
  expected["pwd"] = "***";
  FUZZ_CHECK(*hidden == expected, "redacted " + Escaped(redacted) + "\nread as\n" +
                                      DescribeMap(*hidden) + "from\n" + context);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput in(data, size);
  if (!in.Bit()) {
    // Any text: read, or refused with a message; what was read survives a round trip.
    const std::string text = in.Rest();
    try {
      CheckAdoRoundTrip(devir::db::ParseAdoConnectionString(text));
    } catch (const devir::db::DatabaseError&) {
    }
    return 0;
  }
  static const std::array<std::string, 5> kDrivers = {
      "FreeTDS", "/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so", "ODBC Driver 18 for SQL Server",
      "ODBC Driver 17 for SQL Server", "SQL Server"};
  const std::uint8_t choice = in.Byte();
  ConnectionSettings settings;
  settings.provider = in.ShortText();
  settings.initial_catalog = in.ShortText();
  settings.data_source = in.ShortText();
  settings.user_id = in.ShortText();
  settings.password = in.ShortText();
  // One choice more than the known names: the driver's name from the input
  // (DEVIR_ODBC_DRIVER names any).
  const std::size_t pick = choice % (kDrivers.size() + 1);
  const std::string driver = pick < kDrivers.size() ? kDrivers[pick] : in.ShortText();
  CheckAdoRoundTrip(settings);
  CheckOdbc(settings, driver);
  return 0;
}
