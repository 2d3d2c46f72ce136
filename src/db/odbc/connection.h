#pragma once

// The ODBC side of Connection: environment and connection handles, login, transactions.
// Inside db/ only.

#include <string>
#include <vector>

#include "db/connection_string.h"
#include "db/odbc/api.h"
#include "db/odbc/call.h"

namespace devir::db {

class OdbcStatement;

/// One ODBC connection. Constructed connected; the destructor rolls back an open transaction,
/// disconnects and frees the handles, never throwing.
class OdbcConnection {
 public:
  /// Chooses the driver and logs in without ever prompting. A failure frees whatever was
  /// allocated and throws DatabaseError with the driver's diagnostics (never the password).
  explicit OdbcConnection(const ConnectionSettings& settings);
  ~OdbcConnection();
  OdbcConnection(const OdbcConnection&) = delete;
  OdbcConnection& operator=(const OdbcConnection&) = delete;

  /// The driver in use (a name or a library path).
  const std::string& Driver() const noexcept { return driver_; }
  SQLHDBC Handle() const noexcept { return dbc_.Get(); }

  /// Runs one SQL text and reads every result to the end, so that an error of any statement
  /// of the batch throws DatabaseError.
  void Execute(const std::string& sql);

  /// Autocommit off until Commit or Rollback. Throws DatabaseError (also when one is open).
  void BeginTransaction();
  /// Commits and turns autocommit back on. Throws DatabaseError (also when none is open).
  void Commit();
  /// Rolls back and turns autocommit back on; harmless without a transaction. A failure
  /// (a dropped connection) only shows in the trace.
  void Rollback() noexcept;
  bool InTransaction() const noexcept { return in_transaction_; }

  /// True when the driver knows the server connection is gone (SQL_ATTR_CONNECTION_DEAD).
  bool Dead() const noexcept;
  /// The error as the user should read it: when the connection is gone, SQLSTATE 08S01 and a
  /// line saying so after the driver's own text (which can be as bare as "Unknown error").
  DatabaseError Explained(const DatabaseError& error) const;

  /// How long a statement may wait for the server before the driver cancels it and fails;
  /// 0 waits without limit. Applies to statements allocated afterwards.
  void SetCommandTimeout(int seconds) noexcept { command_timeout_seconds_ = seconds; }
  /// A statement handle on this connection with the command timeout set. Throws
  /// DatabaseError.
  odbc::StatementHandle AllocateStatement();

  /// Statements living on this connection; released before the connection closes.
  void Register(OdbcStatement* statement);
  void Unregister(OdbcStatement* statement) noexcept;

 private:
  void SetAutocommit(bool on);
  SQLRETURN Check(SQLRETURN rc, const char* function) const;

  odbc::EnvironmentHandle env_;
  odbc::ConnectionHandle dbc_;
  std::string driver_;
  bool connected_ = false;
  bool in_transaction_ = false;
  int command_timeout_seconds_ = 0;
  std::vector<OdbcStatement*> statements_;
};

}  // namespace devir::db
