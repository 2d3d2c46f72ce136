#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/field.h"

namespace devir::db {

class Connection;
class OdbcStatement;

/// A query on a connection (the window's `Q`): an SQL text that is opened and walked row by
/// row (forward only, one row in memory at a time) or executed without a result.
class Query {
 public:
  explicit Query(Connection& connection);
  ~Query();
  Query(const Query&) = delete;
  Query& operator=(const Query&) = delete;

  /// Replaces the whole text; closes the query if open.
  void SetSql(std::string sql);
  const std::string& Sql() const noexcept { return sql_; }

  /// Runs the text and positions on the first row; Eof() is true at once when there are no
  /// rows. Throws DatabaseError with the server's message.
  void Open();
  bool Eof() const noexcept { return eof_; }
  /// Moves to the next row. Throws DatabaseError (for example when the connection drops).
  void Next();
  void Close() noexcept;
  bool IsOpen() const noexcept { return statement_ != nullptr; }

  /// Runs the text reading no result. Throws DatabaseError with the server's message.
  void Execute();

  int FieldCount() const noexcept { return static_cast<int>(fields_.size()); }
  /// Field by position from 0; throws DatabaseError when out of range.
  const Field& FieldAt(int index) const;
  /// Field by name, case-insensitive; throws DatabaseError naming the field when absent.
  const Field& FieldByName(std::string_view name) const;

 private:
  void FetchRow();

  Connection& connection_;
  std::string sql_;
  std::unique_ptr<OdbcStatement> statement_;
  std::vector<Field> fields_;
  bool eof_ = true;
};

}  // namespace devir::db
