#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sandbox/engine/sql_types.h"

namespace sandbox {

/// A column as CREATE TABLE declared it.
struct ColumnDef {
  std::string name;
  ColumnType type;
  bool nullable = true;
  bool identity = false;
  std::int64_t identity_seed = 1;
  std::int64_t identity_increment = 1;
  std::string default_sql;  ///< T-SQL text of the DEFAULT expression; empty: none
};

/// A PRIMARY KEY or UNIQUE constraint, or an index.
struct KeyDef {
  enum class Kind { kPrimary, kUnique, kUniqueIndex, kIndex };
  std::string name;  ///< as SQL Server names it (PK__STOK__..., IX_...)
  Kind kind = Kind::kIndex;
  std::vector<std::string> columns;
};

/// A user table with the T-SQL view of its columns.
struct TableDef {
  std::string name;
  std::vector<ColumnDef> columns;
  std::vector<KeyDef> keys;

  /// Index of the column (case-insensitive), or -1.
  int FindColumn(std::string_view column) const;
  /// The identity column, or nullptr.
  const ColumnDef* IdentityColumn() const;
};

/// Parses a T-SQL type name with its arguments ("nvarchar", {"30"}) into a ColumnType;
/// nullopt for an unknown type. Throws SqlError 131/2750 for a size out of range.
std::optional<ColumnType> MakeColumnType(std::string_view name,
                                         const std::vector<std::string>& args,
                                         const std::string& column);

/// The type as T-SQL writes it: "nvarchar(30)", "decimal(18,4)", "nvarchar(max)", "int".
std::string TypeToSql(const ColumnType& type);

/// The SQLite column declaration that stores values of the type (affinity and collation).
std::string StorageDeclaration(const ColumnType& type);

bool IsIntegerType(SqlType type);
bool IsStringType(SqlType type);
bool IsUnicodeType(SqlType type);
bool IsExactNumericType(SqlType type);
bool IsDateTimeType(SqlType type);
bool IsBinaryType(SqlType type);

/// Name of the collation that compares text as Turkish_CI_AS does.
inline constexpr const char* kTextCollation = "TURKISH_CI_AS";

}  // namespace sandbox
