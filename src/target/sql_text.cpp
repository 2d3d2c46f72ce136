#include "target/sql_text.h"

namespace devir::target {

std::string QuoteSqlString(std::string_view text) {
  std::string sql = "N'";
  for (char c : text) {
    sql += c;
    if (c == '\'') sql += '\'';
  }
  sql += '\'';
  return sql;
}

}  // namespace devir::target
