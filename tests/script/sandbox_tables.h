#pragma once

#include <string>
#include <vector>

#include "db/connection.h"
#include "db/connection_string.h"
#include "db/field.h"
#include "db/query.h"
#include "tests/support/sandbox_process.h"

namespace devir::script::testing {

/// Points `connection` at `database` on the stand-in as sa and connects.
inline void ConnectTo(db::Connection& connection, const devir::testing::SandboxProcess& server,
                      const std::string& database) {
  connection.Disconnect();
  connection.SetConnectionString(
      db::BuildAdoConnectionString({"SQLOLEDB", database, server.DataSource(), "sa", "qolvanet"}));
  connection.Connect();
}

/// A whole result in memory: the column names and every row's values.
struct TableRows {
  std::vector<std::string> names;
  std::vector<db::ColumnType> types;
  std::vector<std::vector<db::FieldValue>> rows;

  /// Position of a column by exact name; -1 when absent.
  int Column(const std::string& name) const {
    for (std::size_t i = 0; i < names.size(); ++i) {
      if (names[i] == name) return static_cast<int>(i);
    }
    return -1;
  }
};

/// Runs sql and reads every row. Throws db::DatabaseError.
inline TableRows ReadRows(db::Connection& connection, const std::string& sql) {
  db::Query query(connection);
  query.SetSql(sql);
  query.Open();
  TableRows table;
  for (int i = 0; i < query.FieldCount(); ++i) {
    table.names.push_back(query.FieldAt(i).Name());
    table.types.push_back(query.FieldAt(i).Type());
  }
  while (!query.Eof()) {
    std::vector<db::FieldValue> row;
    for (int i = 0; i < query.FieldCount(); ++i) row.push_back(query.FieldAt(i).Value());
    table.rows.push_back(std::move(row));
    query.Next();
  }
  query.Close();
  return table;
}

}  // namespace devir::script::testing
