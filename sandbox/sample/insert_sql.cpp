#include "sandbox/sample/insert_sql.h"

#include <stdexcept>

namespace sandbox::sample {

std::string InsertStatement(const TableLayout& table, std::span<const SampleRow> rows) {
  if (rows.empty()) throw std::invalid_argument("INSERT into " + table.name + " without rows");
  if (rows.size() > kMaxRowsPerInsert) {
    throw std::invalid_argument("INSERT into " + table.name + " with more than " +
                                std::to_string(kMaxRowsPerInsert) + " rows");
  }
  std::string sql = "INSERT INTO " + table.name + "(";
  for (std::size_t i = 0; i < table.columns.size(); ++i) {
    if (i > 0) sql += ',';
    sql += table.columns[i];
  }
  sql += ") VALUES ";
  bool first_row = true;
  for (const SampleRow& row : rows) {
    if (row.size() != table.columns.size()) {
      throw std::invalid_argument("row of " + std::to_string(row.size()) + " values for the " +
                                  std::to_string(table.columns.size()) + " columns of " +
                                  table.name);
    }
    sql += first_row ? "(" : ",\n(";
    first_row = false;
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (i > 0) sql += ',';
      AppendLiteral(sql, row[i]);
    }
    sql += ')';
  }
  return sql;
}

}  // namespace sandbox::sample
