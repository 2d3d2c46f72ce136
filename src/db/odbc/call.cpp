#include "db/odbc/call.h"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <vector>

#include "db/platform.h"
#include "db/utf.h"

namespace devir::db::odbc {

namespace {

const char* ReturnCodeName(SQLRETURN rc) noexcept {
  switch (rc) {
    case SQL_SUCCESS:
      return "SQL_SUCCESS";
    case SQL_SUCCESS_WITH_INFO:
      return "SQL_SUCCESS_WITH_INFO";
    case SQL_NO_DATA:
      return "SQL_NO_DATA";
    case SQL_ERROR:
      return "SQL_ERROR";
    case SQL_INVALID_HANDLE:
      return "SQL_INVALID_HANDLE";
    case SQL_STILL_EXECUTING:
      return "SQL_STILL_EXECUTING";
    case SQL_NEED_DATA:
      return "SQL_NEED_DATA";
    default:
      return "unknown";
  }
}

std::string FromWide(const SQLWCHAR* text, std::size_t length) {
  return Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(text), length));
}

}  // namespace

bool TraceEnabled() noexcept {
  static const bool enabled = [] {
    try {
      return EnvironmentVariable("DEVIR_ODBC_TRACE").value_or("") == "1";
    } catch (...) {
      return false;
    }
  }();
  return enabled;
}

SQLRETURN Traced(SQLRETURN rc, const char* function) noexcept {
  // Names and codes only: arguments may hold the connection string and its password.
  if (TraceEnabled()) {
    std::fprintf(stderr, "odbc: %s -> %s (%d)\n", function, ReturnCodeName(rc),
                 static_cast<int>(rc));
  }
  return rc;
}

SQLRETURN Check(SQLRETURN rc, const char* function, SQLSMALLINT handle_type, SQLHANDLE handle) {
  Traced(rc, function);
  if (rc == SQL_SUCCESS || rc == SQL_NO_DATA) return rc;
  if (rc == SQL_SUCCESS_WITH_INFO) {
    if (!CarriesError(handle_type, handle)) return rc;
    throw DiagnosticsError(handle_type, handle, function);
  }
  if (rc == SQL_INVALID_HANDLE) {
    throw DatabaseError(std::string(function) + " was given an invalid ODBC handle.");
  }
  if (rc != SQL_ERROR) {
    throw DatabaseError(std::string(function) + " returned the unexpected code " +
                        ReturnCodeName(rc) + ".");
  }
  throw DiagnosticsError(handle_type, handle, function);
}

SQLSMALLINT FirstErrorRecord(SQLSMALLINT handle_type, SQLHANDLE handle) noexcept {
  if (handle == SQL_NULL_HANDLE) return 0;
  for (SQLSMALLINT record = 1;; ++record) {
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLWCHAR message[1];
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(
            SQLGetDiagRecW(handle_type, handle, record, state, &native, message, 1, &length))) {
      return 0;
    }
    // Class 01 holds warnings and the server's informational messages (severity <= 10).
    if (state[0] != u'0' || state[1] != u'1') return record;
  }
}

DatabaseError DiagnosticsError(SQLSMALLINT handle_type, SQLHANDLE handle, const char* function) {
  std::string message;
  std::string first_state;
  long first_native = 0;
  std::vector<SQLWCHAR> text(1024);
  for (SQLSMALLINT record = 1; handle != SQL_NULL_HANDLE; ++record) {
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    SQLRETURN rc = SQLGetDiagRecW(handle_type, handle, record, state, &native, text.data(),
                                  static_cast<SQLSMALLINT>(text.size()), &length);
    if (SQL_SUCCEEDED(rc) && static_cast<std::size_t>(length) >= text.size()) {
      text.resize(static_cast<std::size_t>(length) + 1);
      rc = SQLGetDiagRecW(handle_type, handle, record, state, &native, text.data(),
                          static_cast<SQLSMALLINT>(text.size()), &length);
    }
    if (!SQL_SUCCEEDED(rc)) break;
    const std::size_t used =
        std::min<std::size_t>(static_cast<std::size_t>(length), text.size() - 1);
    if (!message.empty()) message += '\n';
    message += FromWide(text.data(), used);
    if (record == 1) {
      first_state = FromWide(state, 5);
      first_native = static_cast<long>(native);
    }
  }
  if (message.empty()) message = std::string(function) + " failed without a diagnostic message.";
  return DatabaseError(std::move(message), std::move(first_state), first_native);
}

}  // namespace devir::db::odbc
