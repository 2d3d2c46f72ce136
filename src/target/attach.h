#pragma once

#include <string>
#include <string_view>

#include "db/server_login.h"

namespace devir::db {
class Connection;
}

namespace devir::target {

/// "sp_attach_db N'E2018',N'<data file>', N'<log file>'": each name and path a unicode string
/// with its single quotes doubled.
std::string AttachStatement(std::string_view database, std::string_view data_file,
                            std::string_view log_file);

/// Attaches the files as database: runs AttachStatement in "master" through
/// db::RunOnDatabase. Throws db::DatabaseError with the server's message (the database
/// exists already, a file is missing or no database).
void AttachDatabase(db::Connection& connection, const db::ServerLogin& login,
                    std::string_view database, std::string_view data_file,
                    std::string_view log_file);

}  // namespace devir::target
