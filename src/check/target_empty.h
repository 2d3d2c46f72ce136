#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "db/server_login.h"

namespace devir::db {
class Connection;
}

namespace devir::check {

/// The attached target already holds rows: its files are those of an earlier transfer, which
/// the template copy never replaces. what() names each table with its rows, says so, and
/// names the two files to remove after "DB Sil".
class TargetNotEmpty : public std::runtime_error {
 public:
  TargetNotEmpty(const std::string& database,
                 const std::vector<std::pair<std::string, long long>>& rows,
                 const std::string& data_file, const std::string& log_file);
};

/// Checks that every table the script writes (script::kCarriedTables) is empty in the
/// year's database, reading only: connection is pointed at it and disconnected again.
/// data_folder ends with its separator. Throws TargetNotEmpty, or db::DatabaseError with the
/// server's message.
void EnsureTargetEmpty(db::Connection& connection, const db::ServerLogin& login, int year,
                       std::string_view data_folder);

}  // namespace devir::check
