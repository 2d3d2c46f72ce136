#pragma once

// The columns of a result that SQLFetch fills itself (SQLBindCol), a block of rows at a time,
// instead of one SQLGetData call per value. Inside db/ only.

#include <cstddef>
#include <vector>

#include "db/field.h"
#include "db/odbc/api.h"
#include "db/odbc/statement.h"

namespace devir::db {

/// The buffers of a result's bound columns. A column is bound when its values have a size
/// known in advance: numbers, date-times, and text and binary values of a declared length up
/// to 8000; longer types (max, text, ntext, image, xml) are left to SQLGetData. Without the
/// driver's SQL_GD_ANY_COLUMN only the columns before the first of those are bound, as
/// SQLGetData then reads only columns after the last bound one.
class BoundColumns {
 public:
  /// Chooses the columns to bind, and the rows per fetch: a block when every column is
  /// bound, else one row (SQLGetData reads the current row of a block of one).
  BoundColumns(const std::vector<Field>& fields, const std::vector<ValueForm>& forms,
               bool any_column);

  /// True when column (from 0) is filled by SQLFetch.
  bool IsBound(std::size_t column) const noexcept { return columns_[column].c_type != 0; }
  /// Rows each SQLFetch fills.
  std::size_t RowsPerFetch() const noexcept { return rows_; }

  /// Binds the buffers and sets the rows per fetch on stmt, which must not outlive this
  /// object. Throws DatabaseError.
  void Bind(SQLHSTMT stmt);
  /// Rows the last SQLFetch filled.
  std::size_t Fetched() const noexcept { return static_cast<std::size_t>(fetched_); }
  /// True when the driver reported an error for row (from 0) of the last block.
  bool RowFailed(std::size_t row) const noexcept { return row_status_[row] == SQL_ROW_ERROR; }
  /// Puts the value of bound column (from 0) in row (from 0) of the last block into field:
  /// the same value SQLGetData would give. Throws DatabaseError when the driver wrote more
  /// than the column's declared length, rather than a value cut short.
  void Read(std::size_t column, std::size_t row, Field& field) const;

 private:
  struct Column {
    ValueForm form = ValueForm::Text;
    SQLSMALLINT c_type = 0;  // 0: not bound
    std::size_t width = 0;   // bytes per row
    std::vector<char> data;  // rows_ * width
    std::vector<SQLLEN> indicators;
  };
  std::vector<Column> columns_;
  std::size_t rows_ = 1;
  SQLULEN fetched_ = 0;
  std::vector<SQLUSMALLINT> row_status_;
};

}  // namespace devir::db
