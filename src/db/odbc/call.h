#pragma once

// Every ODBC call of the client goes through Check() (or Traced() where a failure is only
// worth a trace line), so that DEVIR_ODBC_TRACE=1 shows them all. Inside db/ only.

#include <string>

#include "db/database_error.h"
#include "db/odbc/api.h"

namespace devir::db::odbc {

/// True when DEVIR_ODBC_TRACE=1: each call's name and return code go to stderr.
bool TraceEnabled() noexcept;

/// Writes "odbc: FUNCTION -> CODE" to stderr when tracing; returns rc.
SQLRETURN Traced(SQLRETURN rc, const char* function) noexcept;

/// Traces the call and returns rc when it is SQL_SUCCESS, SQL_NO_DATA or
/// SQL_SUCCESS_WITH_INFO with only informational records. Otherwise throws DatabaseError built from
/// every diagnostic record of `handle` (of `handle_type`).
SQLRETURN Check(SQLRETURN rc, const char* function, SQLSMALLINT handle_type, SQLHANDLE handle);

/// The number (from 1) of the handle's first diagnostic record that is an error rather than
/// information (a class other than 01); 0 when there is none.
SQLSMALLINT FirstErrorRecord(SQLSMALLINT handle_type, SQLHANDLE handle) noexcept;

/// True when a diagnostic record of the handle is an error: some drivers report a failed
/// statement of a batch as SQL_SUCCESS_WITH_INFO.
inline bool CarriesError(SQLSMALLINT handle_type, SQLHANDLE handle) noexcept {
  return FirstErrorRecord(handle_type, handle) != 0;
}

/// The diagnostic records of a handle as one DatabaseError: messages joined by line breaks,
/// SQLSTATE and native error of the first record. `function` names the call when the driver
/// left no record.
DatabaseError DiagnosticsError(SQLSMALLINT handle_type, SQLHANDLE handle, const char* function);

/// An owned ODBC handle of one type, freed (SQLFreeHandle) when destroyed.
template <SQLSMALLINT kType>
class Handle {
 public:
  Handle() = default;
  /// Allocates a handle under `parent` (SQL_NULL_HANDLE for an environment). Throws
  /// DatabaseError with the parent's diagnostics.
  Handle(SQLSMALLINT parent_type, SQLHANDLE parent) {
    SQLHANDLE handle = SQL_NULL_HANDLE;
    const SQLRETURN rc = Traced(SQLAllocHandle(kType, parent, &handle), "SQLAllocHandle");
    if (!SQL_SUCCEEDED(rc) || handle == SQL_NULL_HANDLE) {
      if (parent == SQL_NULL_HANDLE) throw DatabaseError("ODBC could not allocate an environment.");
      throw DiagnosticsError(parent_type, parent, "SQLAllocHandle");
    }
    handle_ = handle;
  }
  ~Handle() { Reset(); }
  Handle(Handle&& other) noexcept : handle_(other.handle_) { other.handle_ = SQL_NULL_HANDLE; }
  Handle& operator=(Handle&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = other.handle_;
      other.handle_ = SQL_NULL_HANDLE;
    }
    return *this;
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  SQLHANDLE Get() const noexcept { return handle_; }
  explicit operator bool() const noexcept { return handle_ != SQL_NULL_HANDLE; }

  /// Frees the handle now.
  void Reset() noexcept {
    if (handle_ != SQL_NULL_HANDLE) {
      Traced(SQLFreeHandle(kType, handle_), "SQLFreeHandle");
      handle_ = SQL_NULL_HANDLE;
    }
  }

 private:
  SQLHANDLE handle_ = SQL_NULL_HANDLE;
};

using EnvironmentHandle = Handle<SQL_HANDLE_ENV>;
using ConnectionHandle = Handle<SQL_HANDLE_DBC>;
using StatementHandle = Handle<SQL_HANDLE_STMT>;

}  // namespace devir::db::odbc
