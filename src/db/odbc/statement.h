#pragma once

// The ODBC side of Query: one statement handle, its result sets and the values of the
// current row. Inside db/ only.

#include <memory>
#include <string>
#include <vector>

#include "db/field.h"
#include "db/odbc/api.h"
#include "db/odbc/call.h"

namespace devir::db {

class BoundColumns;
class OdbcConnection;

/// How a column's values are read (bound or with SQLGetData).
enum class ValueForm { Text, DateText, Integer, Double, ExactText, Timestamp, Binary };

/// The form a column of this type is read in (by SQL Server's type name, else the ODBC type).
ValueForm FormOf(const ColumnType& type);

/// A statement on a connection. When the connection closes first, the statement is released
/// and every later call throws DatabaseError.
class OdbcStatement {
 public:
  /// Allocates the statement handle. Throws DatabaseError.
  explicit OdbcStatement(OdbcConnection& connection);
  /// Cancels what is still pending and frees the handle.
  ~OdbcStatement();
  OdbcStatement(const OdbcStatement&) = delete;
  OdbcStatement& operator=(const OdbcStatement&) = delete;

  /// Runs the text and reads every result to the end (SQLMoreResults), so an error of a later
  /// statement of the batch throws too. A statement that touched no rows is no error.
  void ExecuteAll(const std::string& sql);

  /// Runs the text and stops at the first result that has columns; returns them with NULL
  /// values. Throws DatabaseError, also when the text yields no result set at all.
  std::vector<Field> OpenFirstResultSet(const std::string& sql);

  /// Fetches the next row into `fields` (made by OpenFirstResultSet). Returns false at the end
  /// of the result set, which also closes the cursor and frees the connection for other work.
  /// Columns of a known size are bound and fetched a block of rows at a time; the others are
  /// read with SQLGetData.
  bool FetchRow(std::vector<Field>& fields);

  /// Called by the connection when it closes: frees the handle.
  void Release() noexcept;

 private:
  SQLHSTMT Handle() const;
  /// odbc::Check, with a dropped connection reported as such (SQLSTATE 08S01).
  SQLRETURN Check(SQLRETURN rc, const char* function) const;
  std::vector<Field> DescribeColumns(SQLSMALLINT count);
  FieldValue ReadValue(SQLUSMALLINT column, ValueForm form);
  bool ReadChunks(SQLUSMALLINT column, SQLSMALLINT c_type, std::size_t terminator_bytes,
                  std::string& out);

  OdbcConnection* connection_;
  odbc::StatementHandle stmt_;
  std::vector<ValueForm> forms_;
  std::unique_ptr<BoundColumns> bound_;
  std::size_t next_row_ = 0;  // the next row's place in the block the last fetch filled
  std::vector<char> buffer_;
  bool pending_ = false;  // results not yet read to the end
};

}  // namespace devir::db
