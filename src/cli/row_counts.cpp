#include "cli/row_counts.h"

#include <iomanip>
#include <ostream>

#include "db/query.h"
#include "script/carried_tables.h"

namespace devir::cli {

std::vector<std::pair<std::string, long long>> CountRows(db::Connection& connection) {
  std::vector<std::pair<std::string, long long>> counts;
  db::Query query(connection);
  for (const std::string_view table : script::kCarriedTables) {
    // The names come from a fixed list, never from input.
    query.SetSql("SELECT COUNT(*) AS N FROM " + std::string(table));
    query.Open();
    counts.emplace_back(std::string(table), static_cast<long long>(query.FieldAt(0).AsFloat()));
    query.Close();
  }
  return counts;
}

void PrintRowCounts(std::ostream& out, const std::string& source, const std::string& target,
                    const std::vector<RowCountLine>& lines) {
  const auto cell = [](const std::optional<long long>& count) {
    return count ? std::to_string(*count) : std::string("-");
  };
  out << std::left << std::setw(14) << "table" << std::right << std::setw(12) << source
      << std::setw(12) << target << '\n';
  for (const RowCountLine& line : lines) {
    out << std::left << std::setw(14) << line.table << std::right << std::setw(12)
        << cell(line.source) << std::setw(12) << cell(line.target) << '\n';
  }
}

}  // namespace devir::cli
