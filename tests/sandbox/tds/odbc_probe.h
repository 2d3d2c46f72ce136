#pragma once

// A minimal ODBC client for the tests: the FreeTDS driver through unixODBC's wide API, so
// what a test sees is what the application's client will see.

#include <sql.h>
#include <sqlext.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "sandbox/tds/text_encoding.h"

namespace sandbox::tds::testing {

inline constexpr const char* kFreeTdsDriver = "/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so";

inline std::u16string Wide(const std::string& utf8) {
  const Bytes bytes = Utf8ToUtf16Le(utf8);
  std::u16string out(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < out.size(); ++i) {
    out[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  }
  return out;
}

inline std::string Narrow(const SQLWCHAR* text, std::size_t units) {
  Bytes bytes;
  for (std::size_t i = 0; i < units; ++i) {
    bytes.push_back(static_cast<std::uint8_t>(text[i]));
    bytes.push_back(static_cast<std::uint8_t>(text[i] >> 8));
  }
  return Utf16LeToUtf8(bytes);
}

/// "SQLSTATE native message" of every diagnostic record of a handle, joined by "\n".
inline std::string Diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
  std::string out;
  for (SQLSMALLINT i = 1;; ++i) {
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLWCHAR message[1024] = {};
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetDiagRecW(type, handle, i, state, &native, message, 1024, &length))) {
      break;
    }
    if (!out.empty()) out += "\n";
    out += Narrow(state, 5) + " " + std::to_string(native) + " " +
           Narrow(message, static_cast<std::size_t>(length));
  }
  return out;
}

/// A failed ODBC call, with the diagnostic records.
struct OdbcError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct ColumnDescription {
  std::string name;
  SQLSMALLINT type = 0;
  SQLULEN size = 0;
  SQLSMALLINT digits = 0;
  std::string type_name;
};

/// One connection with one statement handle; everything freed in the destructor.
class OdbcProbe {
 public:
  explicit OdbcProbe(const std::string& connection_string) {
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
    SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
    SQLSetConnectAttr(dbc_, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(10), 0);
    std::u16string text = Wide(connection_string);
    const SQLRETURN rc = SQLDriverConnectW(dbc_, nullptr, reinterpret_cast<SQLWCHAR*>(text.data()),
                                           static_cast<SQLSMALLINT>(text.size()), nullptr, 0,
                                           nullptr, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
      const std::string why = Diagnostics(SQL_HANDLE_DBC, dbc_);
      Free();
      throw OdbcError(why);
    }
    connected_ = true;
    SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt_);
  }
  ~OdbcProbe() { Free(); }
  OdbcProbe(const OdbcProbe&) = delete;
  OdbcProbe& operator=(const OdbcProbe&) = delete;

  SQLHSTMT Statement() const { return stmt_; }
  SQLHDBC ConnectionHandle() const { return dbc_; }

  /// Runs a batch; throws OdbcError with the diagnostics when it fails.
  void Execute(const std::string& sql) {
    SQLFreeStmt(stmt_, SQL_CLOSE);
    std::u16string text = Wide(sql);
    Check(SQLExecDirectW(stmt_, reinterpret_cast<SQLWCHAR*>(text.data()),
                         static_cast<SQLINTEGER>(text.size())));
  }

  std::vector<ColumnDescription> Describe() {
    SQLSMALLINT count = 0;
    Check(SQLNumResultCols(stmt_, &count));
    std::vector<ColumnDescription> out;
    for (SQLUSMALLINT i = 1; i <= count; ++i) {
      SQLWCHAR name[256] = {};
      SQLSMALLINT name_length = 0;
      ColumnDescription d;
      SQLSMALLINT nullable = 0;
      Check(SQLDescribeColW(stmt_, i, name, 256, &name_length, &d.type, &d.size, &d.digits,
                            &nullable));
      d.name = Narrow(name, static_cast<std::size_t>(name_length));
      SQLWCHAR type_name[128] = {};
      SQLSMALLINT type_name_bytes = 0;
      Check(SQLColAttributeW(stmt_, i, SQL_DESC_TYPE_NAME, type_name, sizeof type_name,
                             &type_name_bytes, nullptr));
      d.type_name = Narrow(type_name, static_cast<std::size_t>(type_name_bytes) / 2);
      out.push_back(d);
    }
    return out;
  }

  /// The next row as text (SQL_C_WCHAR, "NULL" for NULL); empty when the set is done.
  std::vector<std::string> FetchText() {
    const SQLRETURN rc = SQLFetch(stmt_);
    if (rc == SQL_NO_DATA) return {};
    Check(rc);
    SQLSMALLINT count = 0;
    Check(SQLNumResultCols(stmt_, &count));
    std::vector<std::string> row;
    for (SQLUSMALLINT i = 1; i <= count; ++i) {
      std::string value;
      bool null = false;
      while (true) {
        SQLWCHAR buffer[512];
        SQLLEN indicator = 0;
        const SQLRETURN got = SQLGetData(stmt_, i, SQL_C_WCHAR, buffer, sizeof buffer, &indicator);
        if (got == SQL_NO_DATA) break;
        Check(got);
        if (indicator == SQL_NULL_DATA) {
          null = true;
          break;
        }
        const std::size_t bytes = indicator == SQL_NO_TOTAL || indicator >= SQLLEN(sizeof buffer)
                                      ? sizeof buffer - sizeof(SQLWCHAR)
                                      : static_cast<std::size_t>(indicator);
        value += Narrow(buffer, bytes / sizeof(SQLWCHAR));
        if (got == SQL_SUCCESS) break;
      }
      row.push_back(null ? "NULL" : value);
    }
    return row;
  }

  /// Moves to the next result set; false when there is none.
  bool NextResult() {
    const SQLRETURN rc = SQLMoreResults(stmt_);
    if (rc == SQL_NO_DATA) return false;
    Check(rc);
    return true;
  }

  void Check(SQLRETURN rc) {
    if (!SQL_SUCCEEDED(rc)) throw OdbcError(Diagnostics(SQL_HANDLE_STMT, stmt_));
  }
  void CheckConnection(SQLRETURN rc) {
    if (!SQL_SUCCEEDED(rc)) throw OdbcError(Diagnostics(SQL_HANDLE_DBC, dbc_));
  }

 private:
  void Free() noexcept {
    if (stmt_) SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
    if (connected_) SQLDisconnect(dbc_);
    if (dbc_) SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    if (env_) SQLFreeHandle(SQL_HANDLE_ENV, env_);
    stmt_ = dbc_ = env_ = nullptr;
    connected_ = false;
  }

  SQLHENV env_ = nullptr;
  SQLHDBC dbc_ = nullptr;
  SQLHSTMT stmt_ = nullptr;
  bool connected_ = false;
};

/// A connection string for the FreeTDS driver to 127.0.0.1 on a port.
inline std::string ConnectionString(int port, const std::string& user = "sa",
                                    const std::string& password = "qolvanet",
                                    const std::string& database = "") {
  std::string s = std::string("Driver={") + kFreeTdsDriver +
                  "};Server=127.0.0.1;Port=" + std::to_string(port) + ";UID=" + user + ";PWD={" +
                  password + "};TDS_Version=7.4;ClientCharset=UTF-8;";
  if (!database.empty()) s += "Database=" + database + ";";
  return s;
}

}  // namespace sandbox::tds::testing
