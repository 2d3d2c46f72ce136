#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sandbox/engine/sql_error.h"
#include "sandbox/engine/sql_types.h"

namespace sandbox {

/// What a batch produces, in order, as the TDS layer turns it into tokens. The engine calls
/// these from the session's thread; implementations may block on the socket.
class ResultSink {
 public:
  virtual ~ResultSink() = default;

  /// A result set begins (COLMETADATA).
  virtual void Columns(const std::vector<ResultColumn>& columns) = 0;
  /// One row of the current result set (ROW or NBCROW).
  virtual void RowData(const Row& row) = 0;
  /// An informational message (INFO token), such as 5701 "Changed database context to 'x'.".
  virtual void Info(int number, int state, int severity, const std::string& message, int line) = 0;
  /// An error (ERROR token). The statement that raised it then ends with StatementDone.
  virtual void Error(const SqlError& error) = 0;
  /// The current database changed (ENVCHANGE type 1).
  virtual void DatabaseChanged(const std::string& new_name, const std::string& old_name) = 0;
  /// A transaction began, committed or rolled back (ENVCHANGE 8, 9, 10); descriptor is the
  /// 8-byte transaction id (0 after the end of a transaction).
  virtual void TransactionChanged(int envchange_type, std::uint64_t descriptor) = 0;
  /// One statement of the batch finished (DONE / DONEINPROC). row_count < 0: no count.
  /// error: the statement failed. The TDS layer decides the "more" bit.
  virtual void StatementDone(long long row_count, bool error) = 0;
  /// True when the client asked to cancel (attention); the engine stops at the next row.
  virtual bool Cancelled() = 0;
};

}  // namespace sandbox
