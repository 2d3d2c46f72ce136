#include "sandbox/engine/sqlite_db.h"

#include <sqlite3.h>

#include <cerrno>

namespace sandbox {
namespace {

constexpr int kBusyTimeoutMs = 30000;
// Statements kept per connection; beyond this the idle ones are dropped (each INSERT into
// another table has its own text).
constexpr size_t kMaxCachedStatements = 256;

[[noreturn]] void Throw(sqlite3* db, int code) {
  throw SqliteError(code & 0xFF, db ? sqlite3_errmsg(db) : sqlite3_errstr(code),
                    db ? sqlite3_system_errno(db) : 0);
}

}  // namespace

bool SqliteError::IsBusy() const {
  return code == SQLITE_BUSY || code == SQLITE_LOCKED;
}

int SqliteError::OsError() const {
  switch (code) {
    case SQLITE_FULL:
      return ENOSPC;
    case SQLITE_READONLY:
      return system_errno != 0 ? system_errno : EROFS;
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
      return system_errno != 0 ? system_errno : EACCES;
    case SQLITE_IOERR:
      return system_errno != 0 ? system_errno : EIO;
    default:
      return 0;
  }
}

SqliteStmt::~SqliteStmt() {
  if (stmt_) sqlite3_finalize(stmt_);
}

SqliteStmt& SqliteStmt::operator=(SqliteStmt&& other) noexcept {
  if (this != &other) {
    if (stmt_) sqlite3_finalize(stmt_);
    stmt_ = other.stmt_;
    other.stmt_ = nullptr;
  }
  return *this;
}

void SqliteStmt::BindNull(int index) {
  int rc = sqlite3_bind_null(stmt_, index);
  if (rc != SQLITE_OK) Throw(sqlite3_db_handle(stmt_), rc);
}

void SqliteStmt::BindInt(int index, std::int64_t value) {
  int rc = sqlite3_bind_int64(stmt_, index, value);
  if (rc != SQLITE_OK) Throw(sqlite3_db_handle(stmt_), rc);
}

void SqliteStmt::BindDouble(int index, double value) {
  int rc = sqlite3_bind_double(stmt_, index, value);
  if (rc != SQLITE_OK) Throw(sqlite3_db_handle(stmt_), rc);
}

void SqliteStmt::BindText(int index, std::string_view text) {
  int rc =
      sqlite3_bind_text64(stmt_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
  if (rc != SQLITE_OK) Throw(sqlite3_db_handle(stmt_), rc);
}

void SqliteStmt::BindBlob(int index, std::string_view bytes) {
  int rc = sqlite3_bind_blob64(stmt_, index, bytes.data(), bytes.size(), SQLITE_TRANSIENT);
  if (rc != SQLITE_OK) Throw(sqlite3_db_handle(stmt_), rc);
}

bool SqliteStmt::Step() {
  int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  sqlite3* db = sqlite3_db_handle(stmt_);
  std::string message = sqlite3_errmsg(db);
  const int os_error = sqlite3_system_errno(db);
  sqlite3_reset(stmt_);
  throw SqliteError(rc & 0xFF, message, os_error);
}

void SqliteStmt::Reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

int SqliteStmt::ColumnCount() const {
  return sqlite3_column_count(stmt_);
}
bool SqliteStmt::IsNull(int column) const {
  return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}
std::int64_t SqliteStmt::Int(int column) const {
  return sqlite3_column_int64(stmt_, column);
}
double SqliteStmt::Double(int column) const {
  return sqlite3_column_double(stmt_, column);
}
std::string SqliteStmt::Text(int column) const {
  const unsigned char* text = sqlite3_column_text(stmt_, column);
  if (!text) return {};
  return std::string(reinterpret_cast<const char*>(text),
                     static_cast<size_t>(sqlite3_column_bytes(stmt_, column)));
}

SqliteDb::SqliteDb(const std::filesystem::path& file, bool create) {
  int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
  if (create) flags |= SQLITE_OPEN_CREATE;
  int rc = sqlite3_open_v2(file.string().c_str(), &db_, flags, nullptr);
  if (rc != SQLITE_OK) {
    std::string message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    const int os_error = db_ ? sqlite3_system_errno(db_) : 0;
    sqlite3_close(db_);
    db_ = nullptr;
    throw SqliteError(rc & 0xFF, message, os_error);
  }
  sqlite3_extended_result_codes(db_, 0);
  // "x" is always a name, never a string, as in T-SQL with QUOTED_IDENTIFIER ON.
  sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
  sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
  sqlite3_busy_timeout(db_, kBusyTimeoutMs);
  try {
    // A file made here has nothing to keep yet: it is written without waiting for the disk
    // (SQLite's fsyncs are most of a fresh data folder's start).
    Exec(create ? "PRAGMA synchronous=OFF; PRAGMA journal_mode=WAL; PRAGMA foreign_keys=OFF;"
                : "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=OFF;");
  } catch (...) {
    sqlite3_close(db_);
    db_ = nullptr;
    throw;
  }
}

CachedStmt::~CachedStmt() {
  if (!stmt_ || stmt_ == &own_) return;
  stmt_->Reset();
  if (in_use_) *in_use_ = false;
}

CachedStmt::CachedStmt(CachedStmt&& other) noexcept
    : own_(std::move(other.own_)), in_use_(other.in_use_) {
  stmt_ = other.stmt_ == &other.own_ ? &own_ : other.stmt_;
  other.stmt_ = nullptr;
  other.in_use_ = nullptr;
}

SqliteDb::~SqliteDb() {
  cache_.clear();
  if (db_) sqlite3_close_v2(db_);
}

CachedStmt SqliteDb::Cached(const std::string& sql) {
  auto it = cache_.find(sql);
  if (it == cache_.end()) {
    if (cache_.size() >= kMaxCachedStatements) {
      std::erase_if(cache_, [](const auto& entry) { return !entry.second.in_use; });
    }
    SqliteStmt stmt = Prepare(sql);
    it = cache_.emplace(sql, CacheEntry{std::move(stmt), false}).first;
  } else if (it->second.in_use) {
    return CachedStmt(Prepare(sql));
  }
  it->second.stmt.Reset();
  it->second.in_use = true;
  return CachedStmt(&it->second.stmt, &it->second.in_use);
}

void SqliteDb::Exec(const std::string& sql) {
  char* error = nullptr;
  int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error);
  if (rc != SQLITE_OK) {
    std::string message = error ? error : sqlite3_errstr(rc);
    sqlite3_free(error);
    throw SqliteError(rc & 0xFF, message, sqlite3_system_errno(db_));
  }
}

void SqliteDb::ExecCached(const std::string& sql) {
  CachedStmt stmt = Cached(sql);
  while (stmt->Step()) {
  }
}

SqliteStmt SqliteDb::Prepare(const std::string& sql) {
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr);
  if (rc != SQLITE_OK) Throw(db_, rc);
  return SqliteStmt(stmt);
}

SqliteStmt SqliteDb::PrepareFirst(const std::string& sql, std::string* tail) {
  sqlite3_stmt* stmt = nullptr;
  const char* rest = nullptr;
  int rc = sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &stmt, &rest);
  if (rc != SQLITE_OK) Throw(db_, rc);
  if (tail) *tail = rest ? std::string(rest) : std::string();
  return SqliteStmt(stmt);
}

void SqliteDb::SetBusyTimeout(int milliseconds) {
  sqlite3_busy_timeout(db_, milliseconds < 0 ? 0x7FFFFFFF : milliseconds);
}

std::int64_t SqliteDb::Changes() const {
  return sqlite3_changes64(db_);
}
bool SqliteDb::InTransaction() const {
  return sqlite3_get_autocommit(db_) == 0;
}
std::string SqliteDb::LastError() const {
  return sqlite3_errmsg(db_);
}

std::string QuoteIdent(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

std::string QuoteText(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') out += '\'';
    out += c;
  }
  out += '\'';
  return out;
}

}  // namespace sandbox
