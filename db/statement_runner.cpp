#include "db/statement_runner.h"

#include "db/connection.h"
#include "db/connection_string.h"
#include "db/query.h"

namespace devir::db {
namespace {

// Leaves the connection closed however the run ends, so the next user can set its string.
class DisconnectOnExit {
 public:
  explicit DisconnectOnExit(Connection& connection) : connection_(connection) {}
  ~DisconnectOnExit() { connection_.Disconnect(); }
  DisconnectOnExit(const DisconnectOnExit&) = delete;
  DisconnectOnExit& operator=(const DisconnectOnExit&) = delete;

 private:
  Connection& connection_;
};

}  // namespace

std::string RunnerConnectionString(std::string_view server, std::string_view database,
                                   std::string_view user, std::string_view password) {
  return BuildAdoConnectionString({.provider = "SQLOLEDB",
                                   .initial_catalog = std::string(database),
                                   .data_source = std::string(server),
                                   .user_id = std::string(user),
                                   .password = std::string(password)});
}

void RunOnDatabase(Connection& connection, std::string_view server, std::string_view database,
                   std::string_view sql, std::string_view user, std::string_view password) {
  connection.Disconnect();
  DisconnectOnExit disconnect(connection);
  connection.SetConnectionString(RunnerConnectionString(server, database, user, password));
  connection.Connect();
  // The query lives only while the connection is open, so no statement outlives it.
  Query query(connection);
  query.SetSql("SET DATEFORMAT DMY");
  query.Execute();
  query.SetSql(std::string(sql));
  query.Execute();
}

}  // namespace devir::db
