#pragma once

#include <stdexcept>
#include <string>

namespace devir::db {

/// The one exception the database client throws. what() is the text the user sees: every
/// diagnostic record of the driver, joined by line breaks, the server's message intact
/// (for example "[FreeTDS][SQL Server]Login failed for user 'sa'.").
class DatabaseError : public std::runtime_error {
 public:
  DatabaseError(std::string message, std::string sqlstate = {}, long native_error = 0);

  /// SQLSTATE of the first diagnostic record ("42S02"), empty when none was given.
  const std::string& SqlState() const noexcept { return sqlstate_; }
  /// Native error number of the first record (the server's message number, such as 208).
  long NativeError() const noexcept { return native_error_; }

 private:
  std::string sqlstate_;
  long native_error_;
};

}  // namespace devir::db
