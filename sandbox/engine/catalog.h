#pragma once

#include <condition_variable>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "sandbox/engine/sql_error.h"
#include "sandbox/engine/write_locks.h"

namespace sandbox {

class SqliteDb;

/// Several errors raised together, in order (5120 followed by 1802).
struct SqlErrorList {
  std::vector<SqlError> errors;
};

/// A database the server knows.
struct DatabaseEntry {
  std::string name;
  int id = 0;
  std::filesystem::path data_file;
  std::filesystem::path log_file;
};

/// The server's list of databases, kept in the master database file of the data folder,
/// and which sessions use which database. Thread-safe.
class Catalog {
 public:
  /// Opens or creates DIR/master.mdf. Throws std::runtime_error.
  explicit Catalog(std::filesystem::path dir);
  ~Catalog();
  Catalog(const Catalog&) = delete;
  Catalog& operator=(const Catalog&) = delete;

  const std::filesystem::path& Dir() const { return dir_; }
  /// The databases' write locks, shared by every session.
  WriteLocks& Locks() { return locks_; }

  std::optional<DatabaseEntry> Find(const std::string& name) const;
  std::vector<DatabaseEntry> List() const;

  /// Marks a database as used by one more session; nullopt when it does not exist.
  std::optional<DatabaseEntry> Acquire(const std::string& name);
  /// Ends one use of a database.
  void Release(const std::string& name);

  /// CREATE DATABASE: DIR/name_Data.MDF and DIR/name_Log.LDF. Throws SqlError 1801 or
  /// SqlErrorList (5170, 1802).
  void Create(const std::string& name);
  /// DROP DATABASE: forgets it and deletes its files. Throws SqlError 3701, 3702, 3708.
  void Drop(const std::string& name);
  /// sp_attach_db. Throws SqlError 1801, 5172 or SqlErrorList (5120, 1802).
  void Attach(const std::string& name, const std::vector<std::string>& files);
  /// sp_detach_db: forgets it, the files stay. Throws SqlError 15010, 3703.
  void Detach(const std::string& name);

 private:
  std::map<std::string, DatabaseEntry>::const_iterator FindLocked(const std::string& name) const;
  void Insert(const DatabaseEntry& entry);
  void Remove(const std::string& name);
  int NextId() const;
  /// Waits a moment for the sessions using the database to end. A client that has just
  /// disconnected still counts until its connection's thread has noticed the closed socket;
  /// SQL Server has ended such a session by the time the next statement arrives.
  bool WaitUntilUnused(std::unique_lock<std::mutex>& lock, const std::string& key);

  std::filesystem::path dir_;
  mutable std::mutex mutex_;
  std::unique_ptr<SqliteDb> db_;
  std::map<std::string, DatabaseEntry> entries_;  ///< keyed by upper-case name
  std::map<std::string, int> uses_;               ///< keyed by upper-case name
  std::condition_variable released_;              ///< a database's last use ended
  WriteLocks locks_;
};

}  // namespace sandbox
