#pragma once

namespace devir::db {

class Connection;

/// A transaction on a connection that rolls back unless committed.
class Transaction {
 public:
  /// Begins the transaction. Throws DatabaseError.
  explicit Transaction(Connection& connection);
  /// Rolls back when Commit was not reached.
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  /// Commits. Throws DatabaseError (the transaction is then rolled back by the destructor).
  void Commit();

 private:
  Connection& connection_;
  bool done_ = false;
};

}  // namespace devir::db
