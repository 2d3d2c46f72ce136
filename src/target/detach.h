#pragma once

#include <string>
#include <string_view>

#include "db/server_login.h"

namespace devir::db {
class Connection;
}

namespace devir::target {

/// "sp_detach_db N'NAME'" with single quotes inside the name doubled.
std::string DetachStatement(std::string_view database);

/// Takes database off the server, leaving its files in place: disconnects connection and runs
/// DetachStatement(database) in "master" through db::RunOnDatabase. Throws db::DatabaseError
/// with the server's message (15010 when no database of that name is attached).
void DetachDatabase(db::Connection& connection, const db::ServerLogin& login,
                    std::string_view database);

}  // namespace devir::target
