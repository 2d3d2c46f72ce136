#include "db/server_connection.h"

#include "db/connection.h"
#include "db/connection_string.h"

namespace devir::db {

std::string SourceConnectionString(const ServerLogin& login, std::string_view database) {
  return BuildAdoConnectionString({.provider = "SQLOLEDB.1",
                                   .initial_catalog = std::string(database),
                                   .data_source = login.server,
                                   .user_id = login.user,
                                   .password = login.password});
}

void ConnectSource(Connection& connection, const ServerLogin& login, std::string_view database) {
  connection.SetConnectionString(SourceConnectionString(login, database));
  connection.Connect();
}

}  // namespace devir::db
