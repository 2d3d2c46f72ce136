#include "db/connection_string.h"

#include <algorithm>
#include <charconv>
#include <string>

#include "db/ascii_case.h"
#include "db/database_error.h"

namespace devir::db {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// OLE DB rules: a value holding ';', a quote, or blanks at either end must be quoted; '=' is
// quoted too because a value starting with "=" would read as a doubled '=' of the keyword.
std::string AdoValue(std::string_view value) {
  const bool needs_quotes = value.find_first_of(";'\"=") != std::string_view::npos ||
                            (!value.empty() && (IsBlank(value.front()) || IsBlank(value.back())));
  if (!needs_quotes) return std::string(value);
  const char quote = value.find('"') == std::string_view::npos    ? '"'
                     : value.find('\'') == std::string_view::npos ? '\''
                                                                  : '"';
  std::string out(1, quote);
  for (char c : value) {
    out += c;
    if (c == quote) out += c;
  }
  out += quote;
  return out;
}

[[noreturn]] void ThrowMalformed(int part, const char* what) {
  // Never quotes the text itself: a misplaced ';' may have cut a password in two.
  throw DatabaseError("The connection string is malformed: part " + std::to_string(part) + " " +
                      what + ".");
}

// "ODBC Driver 18 for SQL Server" and later encrypt by default and check the certificate.
int MicrosoftDriverVersion(std::string_view driver) {
  const std::string name = AsciiLower(driver);
  constexpr std::string_view kPrefix = "odbc driver ";
  const std::size_t at = name.find(kPrefix);
  if (at == std::string::npos) return 0;
  int version = 0;
  const char* begin = name.data() + at + kPrefix.size();
  std::from_chars(begin, name.data() + name.size(), version);
  return version;
}

struct Setting {
  const char* label;  // how a message names the setting
  std::string_view value;
};

void CheckCarriable(const Setting& setting, bool free_tds) {
  if (setting.value.find('\0') != std::string_view::npos) {
    throw DatabaseError(std::string("The ") + setting.label +
                        " contains a NUL character, which no ODBC driver can carry.");
  }
  // FreeTDS 1.3.17 ends a braced value at the first "};" and does not read "}}" as an
  // escaped brace, so there is no way to hand it a '}'.
  if (free_tds && setting.value.find('}') != std::string_view::npos) {
    throw DatabaseError(std::string("The ") + setting.label +
                        " contains '}', which the FreeTDS ODBC driver cannot carry.");
  }
}

// Always followed by ';': FreeTDS keeps the closing brace of a braced value that ends the
// string.
std::string Braced(std::string_view value, bool free_tds) {
  std::string out = "{";
  for (char c : value) {
    out += c;
    if (c == '}' && !free_tds) out += '}';
  }
  out += "};";
  return out;
}

}  // namespace

bool IsFreeTdsDriver(std::string_view driver) {
  const std::string name = AsciiLower(driver);
  return name.find("freetds") != std::string::npos || name.find("tdsodbc") != std::string::npos;
}

std::string BuildAdoConnectionString(const ConnectionSettings& settings) {
  const std::string provider = settings.provider.empty() ? "SQLOLEDB" : settings.provider;
  return "Provider=" + AdoValue(provider) +
         ";Persist security info=TRUE;Initial Catalog=" + AdoValue(settings.initial_catalog) +
         ";Data Source=" + AdoValue(settings.data_source) +
         ";User ID=" + AdoValue(settings.user_id) + ";Password=" + AdoValue(settings.password);
}

ConnectionSettings ParseAdoConnectionString(std::string_view text) {
  ConnectionSettings settings;
  std::size_t pos = 0;
  int part = 0;
  while (pos < text.size()) {
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    if (pos >= text.size()) break;
    if (text[pos] == ';') {
      ++pos;
      continue;
    }
    ++part;

    // Keyword up to the first single '='; "==" stands for '=' inside a keyword.
    std::string keyword;
    while (true) {
      if (pos >= text.size() || text[pos] == ';') ThrowMalformed(part, "has no '='");
      if (text[pos] == '=') {
        if (pos + 1 < text.size() && text[pos + 1] == '=') {
          keyword += '=';
          pos += 2;
          continue;
        }
        ++pos;
        break;
      }
      keyword += text[pos++];
    }

    while (pos < text.size() && IsBlank(text[pos]) && text[pos] != ';') ++pos;
    std::string value;
    if (pos < text.size() && (text[pos] == '"' || text[pos] == '\'')) {
      const char quote = text[pos++];
      while (true) {
        if (pos >= text.size()) ThrowMalformed(part, "has a quote that is never closed");
        if (text[pos] == quote) {
          if (pos + 1 < text.size() && text[pos + 1] == quote) {
            value += quote;
            pos += 2;
            continue;
          }
          ++pos;
          break;
        }
        value += text[pos++];
      }
      while (pos < text.size() && IsBlank(text[pos])) ++pos;
      if (pos < text.size() && text[pos] != ';') {
        ThrowMalformed(part, "has text after its closing quote");
      }
    } else {
      const std::size_t end = std::min(text.find(';', pos), text.size());
      value = std::string(Trimmed(text.substr(pos, end - pos)));
      pos = end;
    }
    if (pos < text.size()) ++pos;  // the ';'

    // Later keywords win, as with ADO. Keywords the client has no use for are ignored.
    const std::string key = AsciiLower(Trimmed(keyword));
    if (key == "provider") {
      settings.provider = std::move(value);
    } else if (key == "initial catalog" || key == "database") {
      settings.initial_catalog = std::move(value);
    } else if (key == "data source" || key == "server" || key == "address" || key == "addr" ||
               key == "network address") {
      settings.data_source = std::move(value);
    } else if (key == "user id" || key == "uid" || key == "user") {
      settings.user_id = std::move(value);
    } else if (key == "password" || key == "pwd") {
      settings.password = std::move(value);
    }
  }
  return settings;
}

ServerAddress ParseDataSource(std::string_view data_source) {
  std::string_view rest = Trimmed(data_source);
  if (AsciiLower(rest.substr(0, 4)) == "tcp:") rest.remove_prefix(4);

  ServerAddress address;
  const std::size_t comma = rest.rfind(',');
  if (comma != std::string_view::npos) {
    const std::string_view port_text = Trimmed(rest.substr(comma + 1));
    int port = 0;
    const auto [end, error] =
        std::from_chars(port_text.data(), port_text.data() + port_text.size(), port);
    if (port_text.empty() || error != std::errc() || end != port_text.data() + port_text.size() ||
        port < 1 || port > 65535) {
      throw DatabaseError("The server address '" + std::string(Trimmed(data_source)) +
                          "' has no valid port number after ','.");
    }
    address.port = port;
    rest = Trimmed(rest.substr(0, comma));
  }
  const std::size_t backslash = rest.find('\\');
  if (backslash != std::string_view::npos) {
    address.instance = std::string(Trimmed(rest.substr(backslash + 1)));
    rest = Trimmed(rest.substr(0, backslash));
  }
  // As with ADO, no host at all means this machine.
  const std::string host = AsciiLower(rest);
  address.host = host.empty() || host == "." || host == "(local)" || host == "localhost"
                     ? "127.0.0.1"
                     : std::string(rest);
  return address;
}

std::string BuildOdbcConnectionString(const ConnectionSettings& settings, std::string_view driver) {
  const bool free_tds = IsFreeTdsDriver(driver);
  for (const Setting& setting :
       {Setting{"driver name", driver}, Setting{"server address", settings.data_source},
        Setting{"database name", settings.initial_catalog}, Setting{"user name", settings.user_id},
        Setting{"password", settings.password}}) {
    CheckCarriable(setting, free_tds);
  }

  // An empty login is no SQL Server login: the drivers would try something else and say only
  // that they could not connect.
  if (Trimmed(settings.user_id).empty()) {
    throw DatabaseError("The SQL Server login name is empty: give the user name to log in with.");
  }
  const ServerAddress address = ParseDataSource(settings.data_source);
  std::string out = "Driver=" + Braced(driver, free_tds);
  if (free_tds) {
    // "host\instance" is resolved through the SQL Server Browser; a port skips that lookup.
    std::string server = address.host;
    if (!address.instance.empty()) server += "\\" + address.instance;
    out += "Server=" + Braced(server, true);
    if (address.port != 0) out += "Port=" + std::to_string(address.port) + ";";
  } else if (address.port != 0) {
    out += "Server=" + Braced("tcp:" + address.host + "," + std::to_string(address.port), false);
  } else {
    // Microsoft's drivers read the forms users type, and keep "." and "(local)" on shared
    // memory, which a SQL Server Express with TCP switched off still answers.
    out += "Server=" + Braced(Trimmed(settings.data_source), false);
  }
  if (!settings.initial_catalog.empty()) {
    out += "Database=" + Braced(settings.initial_catalog, free_tds);
  }
  out += "UID=" + Braced(settings.user_id, free_tds);
  out += "PWD=" + Braced(settings.password, free_tds);
  if (free_tds) {
    out += "TDS_Version=7.4;ClientCharset=UTF-8;";
  } else if (MicrosoftDriverVersion(driver) >= 18) {
    // Driver 18 encrypts by default and rejects a self-signed certificate; SQLOLEDB did neither.
    out += "Encrypt=Optional;TrustServerCertificate=yes;";
  }
  return out;
}

std::string RedactPassword(std::string_view odbc_connection_string) {
  const std::string_view text = odbc_connection_string;
  std::string out;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t equals = text.find('=', pos);
    if (equals == std::string_view::npos) {
      out += text.substr(pos);
      break;
    }
    const std::string key = AsciiLower(Trimmed(text.substr(pos, equals - pos)));
    out += text.substr(pos, equals + 1 - pos);
    std::size_t end = equals + 1;
    if (end < text.size() && text[end] == '{') {
      // Braced value: ends at a '}' that is not doubled.
      ++end;
      while (end < text.size()) {
        if (text[end] == '}') {
          if (end + 1 < text.size() && text[end + 1] == '}') {
            end += 2;
            continue;
          }
          ++end;
          break;
        }
        ++end;
      }
    }
    end = std::min(text.find(';', end), text.size());
    if (key == "pwd" || key == "password") {
      out += "***";
    } else {
      out += text.substr(equals + 1, end - equals - 1);
    }
    if (end < text.size()) out += ';';
    pos = end + 1;
  }
  return out;
}

}  // namespace devir::db
