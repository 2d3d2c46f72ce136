#include "target/detach.h"

#include "db/connection.h"
#include "db/statement_runner.h"
#include "target/sql_text.h"

namespace devir::target {

std::string DetachStatement(std::string_view database) {
  return "sp_detach_db " + QuoteSqlString(database);
}

void DetachDatabase(db::Connection& connection, const db::ServerLogin& login,
                    std::string_view database) {
  connection.Disconnect();
  db::RunOnDatabase(connection, login, "master", DetachStatement(database));
}

}  // namespace devir::target
