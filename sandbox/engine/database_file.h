#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "sandbox/engine/schema.h"
#include "sandbox/engine/sqlite_db.h"

namespace sandbox {

/// One connection to a stand-in database file and the T-SQL metadata kept inside it
/// (hidden tables whose names start with kHiddenPrefix).
class DatabaseFile {
 public:
  static constexpr const char* kHiddenPrefix = "__devir_";

  /// Opens an existing stand-in database. Throws SqliteError.
  DatabaseFile(const std::filesystem::path& file, std::string name);

  /// Makes a new, empty stand-in database file. Throws SqliteError.
  static void Create(const std::filesystem::path& file, const std::string& name);
  /// True when the file is a stand-in database (its marker table is present).
  static bool IsStandIn(const std::filesystem::path& file);
  /// What opening the file for attach finds: a stand-in database (os_error 0, stand_in),
  /// something else (os_error 0), or a failure of the file system: full disk, read-only
  /// or unreachable file (its errno).
  struct Probe {
    bool stand_in = false;
    int os_error = 0;
  };
  static Probe ProbeFile(const std::filesystem::path& file);
  /// Folds the write-ahead log into the file and leaves it self-contained (detach).
  static void Checkpoint(const std::filesystem::path& file);
  /// True for a name the T-SQL user never sees.
  static bool IsHiddenName(const std::string& name);

  SqliteDb& Db() { return db_; }
  const std::string& Name() const { return name_; }

  /// The table (case-insensitive), or nullptr. Re-reads the metadata after schema changes.
  const TableDef* FindTable(const std::string& name);
  /// As FindTable; the definition stays valid after later schema changes.
  std::shared_ptr<const TableDef> FindTableShared(const std::string& name);
  /// INSERT INTO table (every column) VALUES (?, ...), for SQLite.
  const std::string& InsertSql(const TableDef& table);
  /// Every user table, in creation order.
  std::vector<std::string> TableNames();

  /// Creates the SQLite table, its keys and its metadata. Throws SqliteError.
  void CreateTable(const TableDef& table);
  void DropTable(const std::string& name);
  /// Adds an index (or unique index) to a table. Throws SqliteError (duplicates exist).
  void CreateIndex(const std::string& table, const KeyDef& key);
  void DropIndex(const std::string& table, const std::string& index);

  /// Reserves count identity values of the table's identity column; returns the first.
  /// Caller holds the write lock.
  std::int64_t ReserveIdentity(const TableDef& table, std::int64_t count);
  /// The value ReserveIdentity would give first, without reserving it.
  std::int64_t PeekIdentity(const TableDef& table);
  /// Sets the table's current identity value if value is beyond it (explicit inserts).
  void NoteIdentity(const TableDef& table, std::int64_t value);
  /// The table's current identity value (nullopt before the first row).
  std::optional<std::int64_t> CurrentIdentity(const std::string& table);
  /// Reserves count row versions (timestamp values); returns the first.
  std::uint64_t ReserveRowVersions(std::int64_t count);
  /// The row version ReserveRowVersions would give first, without reserving it.
  std::uint64_t PeekRowVersion();
  /// Forgets the counters read while holding the write lock (a statement was rolled back).
  void ForgetCounters() { counters_ = {}; }

  /// Sets the next value that the SQL function __devir_rowversion() hands out.
  void SetNextRowVersion(std::uint64_t value) { next_rowversion_ = value; }
  std::uint64_t TakeRowVersion() { return next_rowversion_++; }

  /// Forgets the values remembered for correlated subqueries (at each statement's start).
  void ClearMemo() { memo_.clear(); }
  /// The remembered value for key, or nullptr.
  const Value* FindMemo(const std::string& key) const {
    auto it = memo_.find(key);
    return it == memo_.end() ? nullptr : &it->second;
  }
  /// Remembers a value, unless kMaxMemoEntries are kept already: the memory stays bounded,
  /// later keys are computed each time.
  void PutMemo(const std::string& key, Value value) {
    if (memo_.size() < kMaxMemoEntries) memo_[key] = std::move(value);
  }
  static constexpr std::size_t kMaxMemoEntries = 4096;

  /// SQLite's name for an index or unique constraint of a table.
  static std::string IndexStorageName(const std::string& table, const std::string& index);

 private:
  /// Counters of the hidden tables as this connection last wrote them. While it holds the
  /// write lock no other connection can change them, so they are read once per transaction.
  struct Counters {
    std::map<std::string, std::optional<std::int64_t>> identities;  ///< by upper-case table
    std::optional<std::int64_t> dbts;
  };

  void LoadIfChanged();
  /// The database's last row version (dbts); nullopt when it has none.
  std::optional<std::int64_t> CurrentRowVersion();
  /// The counters, or nullptr when they cannot be kept (no write lock held).
  Counters* WriteLockCounters();
  static int OnCommit(void* file);
  static void OnRollback(void* file);

  SqliteDb db_;
  std::string name_;
  long long schema_version_ = -1;
  std::map<std::string, std::shared_ptr<const TableDef>> tables_;  ///< keyed by upper-case name
  std::map<std::string, std::string> insert_sql_;                  ///< keyed by upper-case name
  std::vector<std::string> order_;
  Counters counters_;
  std::uint64_t next_rowversion_ = 1;
  /// Values of correlated subqueries by subquery and outer values (see SelectTranslator).
  std::unordered_map<std::string, Value> memo_;
};

/// A row version (timestamp) as the 8 big-endian bytes SQL Server stores.
std::string RowVersionBytes(std::uint64_t value);

}  // namespace sandbox
