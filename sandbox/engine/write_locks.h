#pragma once

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>

namespace sandbox {

/// Which session may write to which database. SQLite lets one connection write to a file at
/// a time; a session takes a database's lock before its first write and keeps it until its
/// transaction ends. A writer that finds the lock taken waits, as SQL Server's lock waits do,
/// up to the session's LOCK_TIMEOUT, watching for a cancel and for a deadlock. Thread-safe.
class WriteLocks {
 public:
  enum class Outcome { kAcquired, kTimedOut, kCancelled, kDeadlock };

  /// Takes the lock of database (upper-case name) for session, or waits for it: timeout_ms
  /// < 0 waits as long as it takes, 0 not at all. cancelled is asked every 50 ms while
  /// waiting. kDeadlock when the holder waits, directly or through others, for session.
  Outcome Acquire(const std::string& database, int session, int timeout_ms,
                  const std::function<bool()>& cancelled);
  /// True when session holds the lock of database.
  bool Holds(const std::string& database, int session) const;
  /// Gives back one lock, or all of a session's locks.
  void Release(const std::string& database, int session);
  void ReleaseAll(int session);

 private:
  bool WouldDeadlock(int session, int holder) const;

  mutable std::mutex mutex_;
  std::condition_variable released_;
  std::map<std::string, int> holders_;  ///< database -> session
  std::map<int, std::string> waiting_;  ///< session -> database it waits for
};

}  // namespace sandbox
