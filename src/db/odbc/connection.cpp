#include "db/odbc/connection.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "db/connection_string.h"
#include "db/instance_lookup.h"
#include "db/odbc/driver.h"
#include "db/odbc/statement.h"
#include "db/utf.h"

namespace devir::db {

namespace {

// Long enough for a server across a slow network, short enough that a wrong address or a
// silent SQL Server Browser ends in an error instead of a frozen window.
constexpr SQLULEN kLoginTimeoutSeconds = 15;

// FreeTDS asks the SQL Server Browser 16 times a second apart before it gives up; a named
// instance is looked up here instead, so that a silent Browser is named within seconds.
constexpr std::chrono::seconds kInstanceLookupWait{4};

// The settings with a named instance replaced by its port where this client looks it up.
ConnectionSettings WithInstancePort(ConnectionSettings settings, std::string_view driver) {
#ifndef _WIN32
  if (!IsFreeTdsDriver(driver)) return settings;
  const ServerAddress address = ParseDataSource(settings.data_source);
  if (address.instance.empty() || address.port != 0) return settings;
  const int port = LookUpInstancePort(address.host, address.instance, kInstanceLookupWait);
  settings.data_source = address.host + "," + std::to_string(port);
#else
  (void)driver;
#endif
  return settings;
}

}  // namespace

OdbcConnection::OdbcConnection(const ConnectionSettings& settings)
    : env_(SQL_HANDLE_ENV, SQL_NULL_HANDLE) {
  odbc::Check(SQLSetEnvAttr(env_.Get(), SQL_ATTR_ODBC_VERSION,
                            reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(SQL_OV_ODBC3)), 0),
              "SQLSetEnvAttr", SQL_HANDLE_ENV, env_.Get());
  dbc_ = odbc::ConnectionHandle(SQL_HANDLE_ENV, env_.Get());
  odbc::Check(SQLSetConnectAttrW(dbc_.Get(), SQL_ATTR_LOGIN_TIMEOUT,
                                 reinterpret_cast<SQLPOINTER>(kLoginTimeoutSeconds), 0),
              "SQLSetConnectAttrW", SQL_HANDLE_DBC, dbc_.Get());

  driver_ = odbc::ChooseDriver(env_.Get());
  std::string narrow = BuildOdbcConnectionString(WithInstancePort(settings, driver_), driver_);
  if (odbc::TraceEnabled()) {
    std::fprintf(stderr, "odbc: connection string %s\n", RedactPassword(narrow).c_str());
  }
  std::u16string text = Utf8ToUtf16(narrow);
  std::fill(narrow.begin(), narrow.end(), '\0');
  SQLSMALLINT out_length = 0;
  const SQLRETURN rc =
      odbc::Traced(SQLDriverConnectW(dbc_.Get(), nullptr, reinterpret_cast<SQLWCHAR*>(text.data()),
                                     static_cast<SQLSMALLINT>(text.size()), nullptr, 0, &out_length,
                                     SQL_DRIVER_NOPROMPT),
                   "SQLDriverConnectW");
  // The string holds the password: wipe it before anything else can happen.
  std::fill(text.begin(), text.end(), u'\0');
  if (!SQL_SUCCEEDED(rc))
    throw odbc::DiagnosticsError(SQL_HANDLE_DBC, dbc_.Get(), "SQLDriverConnectW");
  connected_ = true;
}

OdbcConnection::~OdbcConnection() {
  for (OdbcStatement* statement : statements_) statement->Release();
  statements_.clear();
  if (connected_) {
    if (in_transaction_) Rollback();
    odbc::Traced(SQLDisconnect(dbc_.Get()), "SQLDisconnect");
  }
}

bool OdbcConnection::Dead() const noexcept {
  SQLUINTEGER dead = SQL_CD_FALSE;
  const SQLRETURN rc =
      odbc::Traced(SQLGetConnectAttrW(dbc_.Get(), SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr),
                   "SQLGetConnectAttrW");
  return SQL_SUCCEEDED(rc) && dead == SQL_CD_TRUE;
}

DatabaseError OdbcConnection::Explained(const DatabaseError& error) const {
  if (!connected_ || !Dead()) return error;
  return DatabaseError(std::string(error.what()) + "\nThe connection to the server was lost.",
                       "08S01", error.NativeError());
}

SQLRETURN OdbcConnection::Check(SQLRETURN rc, const char* function) const {
  try {
    return odbc::Check(rc, function, SQL_HANDLE_DBC, dbc_.Get());
  } catch (const DatabaseError& error) {
    throw Explained(error);
  }
}

odbc::StatementHandle OdbcConnection::AllocateStatement() {
  odbc::StatementHandle statement(SQL_HANDLE_DBC, dbc_.Get());
  odbc::Check(SQLSetStmtAttrW(statement.Get(), SQL_ATTR_QUERY_TIMEOUT,
                              reinterpret_cast<SQLPOINTER>(
                                  static_cast<SQLULEN>(std::max(command_timeout_seconds_, 0))),
                              0),
              "SQLSetStmtAttrW", SQL_HANDLE_STMT, statement.Get());
  return statement;
}

void OdbcConnection::Execute(const std::string& sql) {
  OdbcStatement statement(*this);
  statement.ExecuteAll(sql);
}

void OdbcConnection::SetAutocommit(bool on) {
  const SQLULEN value = on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF;
  odbc::Check(
      SQLSetConnectAttrW(dbc_.Get(), SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(value), 0),
      "SQLSetConnectAttrW", SQL_HANDLE_DBC, dbc_.Get());
}

void OdbcConnection::BeginTransaction() {
  if (in_transaction_) throw DatabaseError("A transaction is already open on this connection.");
  SetAutocommit(false);
  in_transaction_ = true;
}

void OdbcConnection::Commit() {
  if (!in_transaction_) throw DatabaseError("No transaction is open on this connection.");
  Check(SQLEndTran(SQL_HANDLE_DBC, dbc_.Get(), SQL_COMMIT), "SQLEndTran");
  in_transaction_ = false;
  SetAutocommit(true);
}

void OdbcConnection::Rollback() noexcept {
  if (!in_transaction_) return;
  in_transaction_ = false;
  odbc::Traced(SQLEndTran(SQL_HANDLE_DBC, dbc_.Get(), SQL_ROLLBACK), "SQLEndTran");
  odbc::Traced(
      SQLSetConnectAttrW(dbc_.Get(), SQL_ATTR_AUTOCOMMIT,
                         reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(SQL_AUTOCOMMIT_ON)), 0),
      "SQLSetConnectAttrW");
}

void OdbcConnection::Register(OdbcStatement* statement) {
  statements_.push_back(statement);
}

void OdbcConnection::Unregister(OdbcStatement* statement) noexcept {
  statements_.erase(std::remove(statements_.begin(), statements_.end(), statement),
                    statements_.end());
}

}  // namespace devir::db
