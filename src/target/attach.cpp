#include "target/attach.h"

#include "db/statement_runner.h"
#include "target/sql_text.h"

namespace devir::target {

std::string AttachStatement(std::string_view database, std::string_view data_file,
                            std::string_view log_file) {
  return "sp_attach_db " + QuoteSqlString(database) + "," + QuoteSqlString(data_file) + ", " +
         QuoteSqlString(log_file);
}

void AttachDatabase(db::Connection& connection, const db::ServerLogin& login,
                    std::string_view database, std::string_view data_file,
                    std::string_view log_file) {
  db::RunOnDatabase(connection, login, "master", AttachStatement(database, data_file, log_file));
}

}  // namespace devir::target
