#pragma once

#include <memory>
#include <string>

#include "db/server_login.h"

namespace devir::db {
class Connection;
}  // namespace devir::db

namespace devir::target {

/// The database that holds the company registry.
inline constexpr char kRegistryDatabase[] = "sirketambar";

/// "DELETE FROM sirketler WHERE SirketAdi=N'E2018'" for year 2018.
std::string RegistryDeleteStatement(int year);

/// "INSERT INTO sirketler(SirketAdi,CalismaYili,DBAdi) Values(N'E2018',N'2018',N'E2018')" for
/// year 2018.
std::string RegistryInsertStatement(int year);

/// The registry row of the year replaced (the DELETE, then the INSERT) in a transaction on a
/// connection of its own to "sirketambar", held open until Commit: a failure before it (an
/// attach that fails) leaves the registry exactly as it was, whatever else the old row held.
class PendingRegistration {
 public:
  /// Connects with the login (the timeout in seconds, 0 for none) and runs both statements
  /// in a transaction. Throws db::DatabaseError with the server's message.
  PendingRegistration(const db::ServerLogin& login, int year, int timeout_seconds);
  /// Rolls back unless committed.
  ~PendingRegistration();
  PendingRegistration(const PendingRegistration&) = delete;
  PendingRegistration& operator=(const PendingRegistration&) = delete;

  /// Makes the new row stand. Throws db::DatabaseError (nothing changed then).
  void Commit();

 private:
  std::unique_ptr<db::Connection> connection_;
};

}  // namespace devir::target
