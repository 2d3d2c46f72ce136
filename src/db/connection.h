#pragma once

#include <memory>
#include <string>

namespace devir::db {

class OdbcConnection;  // hides <sql.h> from everything above db/

/// A connection to SQL Server, set up from an ADO-style connection string (the window's `C`).
/// Never shows a login dialog. Not thread-safe: one thread uses it at a time.
class Connection {
 public:
  /// ADO's default: a server that stops answering becomes an error, not a frozen window.
  static constexpr int kDefaultCommandTimeoutSeconds = 30;

  Connection();
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  /// Replaces the whole string. Throws DatabaseError while connected.
  void SetConnectionString(std::string ado_connection_string);
  const std::string& ConnectionString() const noexcept { return connection_string_; }

  /// Opens the connection with the string's settings; while connected it disconnects first,
  /// so each call starts a fresh session. The driver is DEVIR_ODBC_DRIVER (a name or a
  /// library path) when set, else the best installed SQL Server driver. Throws DatabaseError
  /// carrying the driver's diagnostics (or a message naming a setting the driver cannot
  /// carry); a dropped connection later surfaces as DatabaseError with SQLSTATE 08S01.
  void Connect();
  /// Closes the connection; harmless when already closed. Rolls back an open transaction.
  void Disconnect() noexcept;
  bool Connected() const noexcept;

  /// How long one statement may wait for the server before it fails with the driver's
  /// timeout error (ADO's CommandTimeout); 0 waits without limit. Kept across connects.
  void SetCommandTimeout(int seconds);
  int CommandTimeout() const noexcept { return command_timeout_seconds_; }

  /// Runs one SQL text and discards any result. Throws DatabaseError.
  void Execute(const std::string& sql);

  /// Transactions on the connection (autocommit off until commit or rollback).
  void BeginTransaction();
  void Commit();
  void Rollback() noexcept;

  /// The underlying ODBC connection, for Query. Throws DatabaseError when not connected.
  OdbcConnection& Native();

 private:
  std::string connection_string_;
  int command_timeout_seconds_ = kDefaultCommandTimeoutSeconds;
  std::unique_ptr<OdbcConnection> native_;
};

}  // namespace devir::db
