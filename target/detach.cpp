#include "target/detach.h"

#include "db/connection.h"
#include "db/statement_runner.h"
#include "target/sql_text.h"

namespace devir::target {

std::string DetachStatement(std::string_view database) {
  return "sp_detach_db " + QuoteSqlString(database);
}

void DetachDatabase(db::Connection& connection, std::string_view server, std::string_view database,
                    std::string_view user, std::string_view password) {
  connection.Disconnect();
  db::RunOnDatabase(connection, server, "master", DetachStatement(database), user, password);
}

}  // namespace devir::target
