#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "db/connection.h"

namespace devir::cli {

/// Row count of each carried table (script::kCarriedTables) in the database the connection points
/// at. Throws db::DatabaseError with the server's message.
std::vector<std::pair<std::string, long long>> CountRows(db::Connection& connection);

/// One carried table's row counts in the source and the target; nullopt where the database
/// could not be read.
struct RowCountLine {
  std::string table;
  std::optional<long long> source;
  std::optional<long long> target;
};

/// Prints the counts side by side under a header naming both databases ("-" where a count
/// is missing).
void PrintRowCounts(std::ostream& out, const std::string& source, const std::string& target,
                    const std::vector<RowCountLine>& lines);

}  // namespace devir::cli
