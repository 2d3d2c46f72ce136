#pragma once

#include <string>
#include <utility>
#include <vector>

namespace devir::script {

/// Receives statements (or script lines) in order, one at a time, so that a builder does not
/// need to hold a whole table in memory.
class StatementSink {
 public:
  virtual ~StatementSink() = default;
  /// Takes the next statement or line.
  virtual void Add(std::string text) = 0;
};

/// Keeps everything it receives, in order.
class StatementList final : public StatementSink {
 public:
  void Add(std::string text) override { items_.push_back(std::move(text)); }
  const std::vector<std::string>& Items() const noexcept { return items_; }
  /// Hands the items over, leaving the list empty.
  std::vector<std::string> Take() noexcept { return std::exchange(items_, {}); }

 private:
  std::vector<std::string> items_;
};

}  // namespace devir::script
