#include "check/target_empty.h"

#include "db/connection.h"
#include "db/query.h"
#include "db/statement_runner.h"
#include "script/carried_tables.h"
#include "target/data_folder.h"
#include "target/target_year.h"

namespace devir::check {
namespace {

std::string Message(const std::string& database,
                    const std::vector<std::pair<std::string, long long>>& rows,
                    const std::string& data_file, const std::string& log_file) {
  std::string tables;
  for (const auto& [table, count] : rows) {
    tables += tables.empty() ? "" : ", ";
    tables += table + " " + std::to_string(count) + (count == 1 ? " row" : " rows");
  }
  return database + " is not empty: " + tables +
         ". The attached files are those of an earlier transfer (a file in the data folder is "
         "never replaced by the template). Nothing was written to " +
         database + ". To start again, detach " + database +
         " (\"DB Sil\") and remove these two files from the data folder: " + data_file + " and " +
         log_file + ".";
}

}  // namespace

TargetNotEmpty::TargetNotEmpty(const std::string& database,
                               const std::vector<std::pair<std::string, long long>>& rows,
                               const std::string& data_file, const std::string& log_file)
    : std::runtime_error(Message(database, rows, data_file, log_file)) {}

void EnsureTargetEmpty(db::Connection& connection, const db::ServerLogin& login, int year,
                       std::string_view data_folder) {
  const std::string database = target::TargetDatabaseName(year);
  std::vector<std::pair<std::string, long long>> filled;
  {
    db::RunnerSession session(connection, login, database);
    db::Query query(connection);
    for (const std::string_view table : script::kCarriedTables) {
      // The names come from a fixed list, never from input.
      query.SetSql("SELECT COUNT(*) FROM " + std::string(table));
      query.Open();
      const auto count = static_cast<long long>(query.FieldAt(0).AsFloat());
      query.Close();
      if (count > 0) filled.emplace_back(std::string(table), count);
    }
  }
  if (filled.empty()) return;
  const target::TargetFiles files = target::TargetFilesIn(data_folder, year);
  throw TargetNotEmpty(database, filled, files.data_file, files.log_file);
}

}  // namespace devir::check
