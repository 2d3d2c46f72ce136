#include "db/statement_runner.h"

#include "db/connection.h"
#include "db/connection_string.h"
#include "db/query.h"

namespace devir::db {

std::string RunnerConnectionString(std::string_view server, std::string_view database,
                                   std::string_view user, std::string_view password) {
  return BuildAdoConnectionString({.provider = "SQLOLEDB",
                                   .initial_catalog = std::string(database),
                                   .data_source = std::string(server),
                                   .user_id = std::string(user),
                                   .password = std::string(password)});
}

RunnerSession::RunnerSession(Connection& connection, std::string_view server,
                             std::string_view database, std::string_view user,
                             std::string_view password)
    : connection_(connection) {
  connection_.Disconnect();
  try {
    connection_.SetConnectionString(RunnerConnectionString(server, database, user, password));
    connection_.Connect();
  } catch (...) {
    connection_.Disconnect();
    throw;
  }
}

RunnerSession::~RunnerSession() {
  connection_.Disconnect();
}

void RunOnDatabase(Connection& connection, std::string_view server, std::string_view database,
                   std::string_view sql, std::string_view user, std::string_view password) {
  RunnerSession session(connection, server, database, user, password);
  // The query lives only while the connection is open, so no statement outlives it.
  Query query(connection);
  query.SetSql("SET DATEFORMAT DMY");
  query.Execute();
  query.SetSql(std::string(sql));
  query.Execute();
}

}  // namespace devir::db
