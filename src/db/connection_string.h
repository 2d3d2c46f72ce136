#pragma once

#include <string>
#include <string_view>

namespace devir::db {

/// The settings an ADO-style connection string carries.
struct ConnectionSettings {
  std::string provider;         ///< "SQLOLEDB" or "SQLOLEDB.1"
  std::string initial_catalog;  ///< database name
  std::string data_source;      ///< server address as the user typed it
  std::string user_id;
  std::string password;
};

/// Builds "Provider=...;Persist security info=TRUE;Initial Catalog=...;Data Source=...;
/// User ID=...;Password=..." with each value quoted as OLE DB quotes values, so that no value
/// (a password "x;Database=master", say) can change the string's meaning. Values without
/// ';', quotes or surrounding blanks stand as they are.
std::string BuildAdoConnectionString(const ConnectionSettings& settings);

/// Reads an ADO-style string (keywords case-insensitive, OLE DB quoting). Throws DatabaseError
/// on a malformed string.
ConnectionSettings ParseAdoConnectionString(std::string_view text);

/// Where the data source points: host plus either a port or an instance name.
struct ServerAddress {
  std::string host;      ///< "127.0.0.1" for ".", "(local)" and "localhost"
  std::string instance;  ///< empty for the default instance
  int port = 0;          ///< 0 when not given
};

/// Reads the data source forms users type: "host", "host\INSTANCE", "host,port",
/// "tcp:host,port", and ".", "(local)" or "localhost" for this machine.
ServerAddress ParseDataSource(std::string_view data_source);

/// True for FreeTDS's ODBC driver, by name or library path.
bool IsFreeTdsDriver(std::string_view driver);

/// The ODBC connection string for the given driver ("FreeTDS", a driver library path, or
/// "ODBC Driver 18 for SQL Server"...). Values are braced; a value the driver cannot carry
/// (a '}' for FreeTDS) throws DatabaseError with a message that names the setting.
std::string BuildOdbcConnectionString(const ConnectionSettings& settings, std::string_view driver);

/// The same string with the password replaced by "***", for the ODBC trace.
std::string RedactPassword(std::string_view odbc_connection_string);

}  // namespace devir::db
