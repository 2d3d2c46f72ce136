#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "sandbox/engine/convert.h"
#include "sandbox/engine/schema.h"
#include "sandbox/engine/sql_types.h"

namespace sandbox {

/// A system view (sys.databases, INFORMATION_SCHEMA.TABLES...) materialised for one query.
struct VirtualTable {
  std::vector<std::pair<std::string, ColumnType>> columns;
  std::vector<Row> rows;
};

/// A value the session supplies as a constant (@@VERSION, DB_NAME()).
struct SystemValue {
  Value value;
  ColumnType type;
};

/// What translating and typing a query needs to know about the session and its databases.
struct QueryContext {
  std::string current_database;
  DateFormat date_format = DateFormat::kMdy;  ///< how CAST reads dates from strings
  /// A user table of the current database (database empty) or of another one; nullptr when
  /// it does not exist.
  std::function<const TableDef*(const std::string& database, const std::string& table)> find_table;
  /// A system view by schema and name ("sys", "databases"); nullopt when unknown.
  std::function<std::optional<VirtualTable>(const std::string& schema, const std::string& name)>
      virtual_table;
  /// @@VERSION, @@TRANCOUNT, DB_NAME() ... by upper-case name; nullopt when unknown.
  std::function<std::optional<SystemValue>(const std::string& name)> system_value;
  /// OBJECT_ID('name') and DB_ID('name'): nullopt when the object does not exist.
  std::function<std::optional<long long>(const std::string& function, const std::string& arg)>
      object_id;
};

}  // namespace sandbox
