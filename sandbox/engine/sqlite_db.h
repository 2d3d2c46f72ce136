#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>

struct sqlite3;
struct sqlite3_stmt;

namespace sandbox {

/// A failed SQLite call: its primary result code and SQLite's message.
struct SqliteError : std::runtime_error {
  SqliteError(int result_code, const std::string& message, int os_error = 0)
      : std::runtime_error(message), code(result_code), system_errno(os_error) {}
  /// True when another connection held a lock longer than the busy timeout.
  bool IsBusy() const;
  /// The operating system's error behind a failed file operation (errno), 0 when the
  /// failure was not the file system's: ENOSPC for a full disk, EROFS, EACCES, EIO...
  int OsError() const;
  int code;
  int system_errno;  ///< sqlite3_system_errno at the failure
};

/// One prepared statement; finalised on destruction.
class SqliteStmt {
 public:
  SqliteStmt() = default;
  explicit SqliteStmt(sqlite3_stmt* stmt) : stmt_(stmt) {}
  ~SqliteStmt();
  SqliteStmt(SqliteStmt&& other) noexcept : stmt_(other.stmt_) { other.stmt_ = nullptr; }
  SqliteStmt& operator=(SqliteStmt&& other) noexcept;
  SqliteStmt(const SqliteStmt&) = delete;
  SqliteStmt& operator=(const SqliteStmt&) = delete;

  sqlite3_stmt* Get() const { return stmt_; }
  explicit operator bool() const { return stmt_ != nullptr; }

  /// Binds by 1-based index. Throw SqliteError.
  void BindNull(int index);
  void BindInt(int index, std::int64_t value);
  void BindDouble(int index, double value);
  void BindText(int index, std::string_view text);
  void BindBlob(int index, std::string_view bytes);

  /// Steps once: true while a row is available. Throws SqliteError on failure.
  bool Step();
  /// Resets the statement and clears its bindings.
  void Reset();

  int ColumnCount() const;
  bool IsNull(int column) const;
  std::int64_t Int(int column) const;
  double Double(int column) const;
  std::string Text(int column) const;

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

class SqliteDb;

/// A statement borrowed from a connection's cache; reset, its bindings cleared and handed
/// back when the scope ends, so a finished read never keeps a snapshot open.
class CachedStmt {
 public:
  ~CachedStmt();
  CachedStmt(CachedStmt&& other) noexcept;
  CachedStmt(const CachedStmt&) = delete;
  CachedStmt& operator=(const CachedStmt&) = delete;
  CachedStmt& operator=(CachedStmt&&) = delete;

  SqliteStmt& operator*() { return *stmt_; }
  SqliteStmt* operator->() { return stmt_; }

 private:
  friend class SqliteDb;
  CachedStmt(SqliteStmt* stmt, bool* in_use) : stmt_(stmt), in_use_(in_use) {}
  /// Used when the cached one is already borrowed (nested use of the same text).
  explicit CachedStmt(SqliteStmt own) : own_(std::move(own)), stmt_(&own_) {}

  SqliteStmt own_;
  SqliteStmt* stmt_ = nullptr;
  bool* in_use_ = nullptr;
};

/// One SQLite connection; closed on destruction.
class SqliteDb {
 public:
  /// Opens (create: or creates) the file, with a busy timeout so writers wait for each
  /// other, and WAL journaling. Throws SqliteError.
  SqliteDb(const std::filesystem::path& file, bool create);
  ~SqliteDb();
  SqliteDb(const SqliteDb&) = delete;
  SqliteDb& operator=(const SqliteDb&) = delete;

  sqlite3* Get() const { return db_; }

  /// Runs statements without results. Throws SqliteError.
  void Exec(const std::string& sql);
  /// Runs one statement without results, kept prepared in the cache (for the statements
  /// every write repeats: SAVEPOINT, RELEASE, COMMIT). Throws SqliteError.
  void ExecCached(const std::string& sql);
  /// Prepares one statement. Throws SqliteError.
  SqliteStmt Prepare(const std::string& sql);
  /// The prepared statement for sql from this connection's cache (prepared on first use),
  /// with no bindings. SQLite prepares it again by itself after a schema change. Throws
  /// SqliteError.
  CachedStmt Cached(const std::string& sql);
  /// Prepares the first statement of sql; tail receives the unused rest (may be empty).
  SqliteStmt PrepareFirst(const std::string& sql, std::string* tail);
  std::int64_t Changes() const;
  /// How long a statement waits for another writer's lock; negative: a very long time.
  void SetBusyTimeout(int milliseconds);
  bool InTransaction() const;
  /// SQLite's last error text for this connection.
  std::string LastError() const;

 private:
  struct CacheEntry {
    SqliteStmt stmt;
    bool in_use = false;
  };

  sqlite3* db_ = nullptr;
  std::unordered_map<std::string, CacheEntry> cache_;  ///< by SQL text
};

/// Quotes an identifier for SQLite ("a""b").
std::string QuoteIdent(std::string_view name);
/// Quotes a text literal for SQLite ('a''b').
std::string QuoteText(std::string_view text);

}  // namespace sandbox
