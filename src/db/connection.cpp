#include "db/connection.h"

#include <utility>

#include "db/connection_string.h"
#include "db/database_error.h"
#include "db/odbc/connection.h"

namespace devir::db {

Connection::Connection() = default;

Connection::~Connection() {
  Disconnect();
}

void Connection::SetConnectionString(std::string ado_connection_string) {
  if (Connected()) {
    throw DatabaseError("The connection string cannot be changed while the connection is open.");
  }
  connection_string_ = std::move(ado_connection_string);
}

void Connection::Connect() {
  // A second Connect starts a fresh session: the string cannot have changed meanwhile, and
  // whatever the old session had set (a transaction, SET options) is dropped as after a
  // Disconnect.
  Disconnect();
  const ConnectionSettings settings = ParseAdoConnectionString(connection_string_);
  native_ = std::make_unique<OdbcConnection>(settings);
  native_->SetCommandTimeout(command_timeout_seconds_);
}

void Connection::SetCommandTimeout(int seconds) {
  command_timeout_seconds_ = seconds < 0 ? 0 : seconds;
  if (native_) native_->SetCommandTimeout(command_timeout_seconds_);
}

void Connection::Disconnect() noexcept {
  native_.reset();
}

bool Connection::Connected() const noexcept {
  return native_ != nullptr;
}

void Connection::Execute(const std::string& sql) {
  Native().Execute(sql);
}

void Connection::BeginTransaction() {
  Native().BeginTransaction();
}

void Connection::Commit() {
  Native().Commit();
}

void Connection::Rollback() noexcept {
  if (native_) native_->Rollback();
}

OdbcConnection& Connection::Native() {
  if (!native_) throw DatabaseError("The connection to the server is not open.");
  return *native_;
}

}  // namespace devir::db
