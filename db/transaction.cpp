#include "db/transaction.h"

#include "db/connection.h"

namespace devir::db {

Transaction::Transaction(Connection& connection) : connection_(connection) {
  connection_.BeginTransaction();
}

Transaction::~Transaction() {
  if (!done_) connection_.Rollback();
}

void Transaction::Commit() {
  connection_.Commit();
  done_ = true;
}

}  // namespace devir::db
