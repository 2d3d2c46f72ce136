#include "sandbox/engine/write_locks.h"

#include <chrono>

namespace sandbox {
namespace {

constexpr auto kCancelCheck = std::chrono::milliseconds(50);

}  // namespace

WriteLocks::Outcome WriteLocks::Acquire(const std::string& database, int session, int timeout_ms,
                                        const std::function<bool()>& cancelled) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  std::unique_lock lock(mutex_);
  while (true) {
    const auto it = holders_.find(database);
    if (it == holders_.end() || it->second == session) {
      holders_[database] = session;
      waiting_.erase(session);
      return Outcome::kAcquired;
    }
    if (WouldDeadlock(session, it->second)) {
      waiting_.erase(session);
      return Outcome::kDeadlock;
    }
    const auto now = std::chrono::steady_clock::now();
    if (timeout_ms >= 0 && now >= deadline) {
      waiting_.erase(session);
      return Outcome::kTimedOut;
    }
    waiting_[session] = database;
    auto until = now + kCancelCheck;
    if (timeout_ms >= 0 && deadline < until) until = deadline;
    released_.wait_until(lock, until);
    if (cancelled) {
      lock.unlock();
      const bool stop = cancelled();
      lock.lock();
      if (stop) {
        waiting_.erase(session);
        return Outcome::kCancelled;
      }
    }
  }
}

bool WriteLocks::WouldDeadlock(int session, int holder) const {
  // Follow who waits for whom from the holder; reaching session closes a cycle.
  for (std::size_t hops = 0; hops <= waiting_.size(); ++hops) {
    const auto waits = waiting_.find(holder);
    if (waits == waiting_.end()) return false;
    const auto next = holders_.find(waits->second);
    if (next == holders_.end()) return false;
    if (next->second == session) return true;
    holder = next->second;
  }
  return false;
}

bool WriteLocks::Holds(const std::string& database, int session) const {
  std::lock_guard lock(mutex_);
  const auto it = holders_.find(database);
  return it != holders_.end() && it->second == session;
}

void WriteLocks::Release(const std::string& database, int session) {
  std::lock_guard lock(mutex_);
  const auto it = holders_.find(database);
  if (it == holders_.end() || it->second != session) return;
  holders_.erase(it);
  released_.notify_all();
}

void WriteLocks::ReleaseAll(int session) {
  std::lock_guard lock(mutex_);
  bool any = false;
  for (auto it = holders_.begin(); it != holders_.end();) {
    if (it->second == session) {
      it = holders_.erase(it);
      any = true;
    } else {
      ++it;
    }
  }
  waiting_.erase(session);
  if (any) released_.notify_all();
}

}  // namespace sandbox
