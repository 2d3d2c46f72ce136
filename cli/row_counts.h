#pragma once

#include <string>
#include <utility>
#include <vector>

#include "db/connection.h"

namespace devir::cli {

/// The tables a year-end transfer reads or writes, in the order the transfer handles them.
const std::vector<std::string>& CarriedTables();

/// Row count of each carried table in the database the connection points at.
/// Throws db::DatabaseError with the server's message.
std::vector<std::pair<std::string, long long>> CountRows(db::Connection& connection);

}  // namespace devir::cli
