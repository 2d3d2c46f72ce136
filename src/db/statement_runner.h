#pragma once

#include <string>
#include <string_view>

#include "db/server_login.h"

namespace devir::db {

class Connection;

/// "Provider=SQLOLEDB;Persist security info=TRUE;Initial Catalog=database;Data Source=server;
/// User ID=user;Password=password", each value quoted as BuildAdoConnectionString quotes it.
std::string RunnerConnectionString(const ServerLogin& login, std::string_view database);

/// The connection of one run. The constructor disconnects connection, points it at database
/// (RunnerConnectionString) and connects; the destructor disconnects, so the connection is
/// closed however the run ends and the next user can set its string. Throws the client's
/// DatabaseError unchanged, leaving the connection closed.
class RunnerSession {
 public:
  RunnerSession(Connection& connection, const ServerLogin& login, std::string_view database);
  ~RunnerSession();
  RunnerSession(const RunnerSession&) = delete;
  RunnerSession& operator=(const RunnerSession&) = delete;

 private:
  Connection& connection_;
};

/// Runs one SQL text in database: disconnects connection, points it at database on the
/// login's server, connects, runs "SET DATEFORMAT DMY" and then sql over that connection, and
/// disconnects. Any result set is discarded. connection is disconnected on return, also when
/// a step fails, and its string names database. Throws the client's DatabaseError unchanged.
void RunOnDatabase(Connection& connection, const ServerLogin& login, std::string_view database,
                   std::string_view sql);

}  // namespace devir::db
