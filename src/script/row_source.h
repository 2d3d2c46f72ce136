#pragma once

#include <string>
#include <string_view>

#include "db/field.h"

namespace devir::script {

/// Rows of a query, one at a time: what the script builders read. The database's query
/// (QueryRowSource) is the one used in the program; tests put rows in memory.
class RowSource {
 public:
  virtual ~RowSource() = default;

  /// Runs sql and positions on the first row. Throws what the database client throws.
  virtual void Open(const std::string& sql) = 0;
  /// True when past the last row (at once when there are no rows).
  virtual bool Eof() const = 0;
  /// Moves to the next row. Throws what the database client throws.
  virtual void Next() = 0;
  /// Ends the query; harmless when it is not open.
  virtual void Close() noexcept = 0;

  /// Number of fields of the current row.
  virtual int FieldCount() const = 0;
  /// Field by position from 0, in the order the query returns its columns.
  virtual const db::Field& FieldAt(int index) const = 0;
  /// Field by name, case-insensitive. Throws when absent.
  virtual const db::Field& FieldByName(std::string_view name) const = 0;
};

/// Closes a row source however the reading ends.
class ClosedOnExit {
 public:
  explicit ClosedOnExit(RowSource& rows) noexcept : rows_(rows) {}
  ~ClosedOnExit() { rows_.Close(); }
  ClosedOnExit(const ClosedOnExit&) = delete;
  ClosedOnExit& operator=(const ClosedOnExit&) = delete;

 private:
  RowSource& rows_;
};

}  // namespace devir::script
