#include "db/statement_runner.h"

#include "db/connection.h"
#include "db/connection_string.h"
#include "db/query.h"

namespace devir::db {

std::string RunnerConnectionString(const ServerLogin& login, std::string_view database) {
  return BuildAdoConnectionString({.provider = "SQLOLEDB",
                                   .initial_catalog = std::string(database),
                                   .data_source = login.server,
                                   .user_id = login.user,
                                   .password = login.password});
}

RunnerSession::RunnerSession(Connection& connection, const ServerLogin& login,
                             std::string_view database)
    : connection_(connection) {
  connection_.Disconnect();
  try {
    connection_.SetConnectionString(RunnerConnectionString(login, database));
    connection_.Connect();
  } catch (...) {
    connection_.Disconnect();
    throw;
  }
}

RunnerSession::~RunnerSession() {
  connection_.Disconnect();
}

void RunOnDatabase(Connection& connection, const ServerLogin& login, std::string_view database,
                   std::string_view sql) {
  RunnerSession session(connection, login, database);
  // The query lives only while the connection is open, so no statement outlives it.
  Query query(connection);
  query.SetSql("SET DATEFORMAT DMY");
  query.Execute();
  query.SetSql(std::string(sql));
  query.Execute();
}

}  // namespace devir::db
