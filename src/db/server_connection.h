#pragma once

#include <string>
#include <string_view>

#include "db/server_login.h"

namespace devir::db {

class Connection;

/// "Provider=SQLOLEDB.1;Persist security info=TRUE;Initial Catalog=database;Data Source=...;
/// User ID=...;Password=...", each value quoted so that none (a password with ';') can
/// change the string's meaning.
std::string SourceConnectionString(const ServerLogin& login, std::string_view database);

/// Points connection at the source database with SourceConnectionString and connects.
/// Throws DatabaseError with the driver's message (one attempt).
void ConnectSource(Connection& connection, const ServerLogin& login, std::string_view database);

}  // namespace devir::db
