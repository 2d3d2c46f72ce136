#pragma once

#include <string>

#include "db/server_login.h"

namespace devir::db {
class Connection;
}

namespace devir::target {

/// The database that holds the company registry.
inline constexpr char kRegistryDatabase[] = "sirketambar";

/// "DELETE FROM sirketler WHERE SirketAdi='E2018'" for year 2018.
std::string RegistryDeleteStatement(int year);

/// "INSERT INTO sirketler(SirketAdi,CalismaYili,DBAdi) Values('E2018','2018','E2018')" for
/// year 2018.
std::string RegistryInsertStatement(int year);

/// Replaces the registry row of the year: runs the DELETE and then the INSERT in
/// "sirketambar" through db::RunOnDatabase, each on a connection of its own. Throws
/// db::DatabaseError with the server's message.
void RegisterYear(db::Connection& connection, const db::ServerLogin& login, int year);

}  // namespace devir::target
