#pragma once

#include <string>
#include <string_view>

namespace devir::db {

class Connection;

/// "Provider=SQLOLEDB;Persist security info=TRUE;Initial Catalog=database;Data Source=server;
/// User ID=user;Password=password", each value quoted as BuildAdoConnectionString quotes it.
std::string RunnerConnectionString(std::string_view server, std::string_view database,
                                   std::string_view user, std::string_view password);

/// Runs one SQL text in database: disconnects connection, points it at database on server,
/// connects, runs "SET DATEFORMAT DMY" and then sql over that connection, and disconnects.
/// Any result set is discarded. connection is disconnected on return, also when a step fails,
/// and its string names database. Throws the client's DatabaseError unchanged.
void RunOnDatabase(Connection& connection, std::string_view server, std::string_view database,
                   std::string_view sql, std::string_view user, std::string_view password);

}  // namespace devir::db
