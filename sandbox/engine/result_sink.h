#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sandbox/engine/sql_error.h"
#include "sandbox/engine/sql_types.h"

namespace sandbox {

/// What a statement was, as SQL Server names it in its DONE token's current-command field.
enum class DoneCommand : std::uint16_t {
  kNone = 0,
  kSetIdentityInsert = 0xB7,
  kSetOn = 0xB9,  ///< a boolean SET option turned on
  kSetOff = 0xBA,
  kSetRowCount = 0xBD,
  kSetTextSize = 0xBE,
  kSelect = 0xC1,
  kInsert = 0xC3,
  kDelete = 0xC4,
  kUpdate = 0xC5,
  kCreateTable = 0xC6,
  kDropTable = 0xC7,
  kCreateIndex = 0xC8,
  kDropIndex = 0xC9,
  kCreateDatabase = 0xCB,
  kDropDatabase = 0xCC,
  kRollback = 0xD2,
  kBeginTransaction = 0xD4,
  kCommit = 0xD5,
  kSave = 0xD6,
  kExecute = 0xE0,  ///< a procedure call, also the DONEPROC closing an RPC
  kUse = 0xE2,
  kTruncate = 0xEA,
  kWaitFor = 0xF3,
  kRaisError = 0xF6,
  kPrint = 0xF7,
  kSetValue = 0xF9,  ///< a SET option that takes a value (DATEFORMAT, LOCK_TIMEOUT, ...)
  kBatch = 0xFD,     ///< the DONE closing a reply whose statements sent none of their own
};

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
  /// StatementDone with what the statement was (DONE's current command); the default drops
  /// the command.
  virtual void CommandDone(long long row_count, bool error, DoneCommand /*command*/) {
    StatementDone(row_count, error);
  }
  /// A procedure's return status (RETURNSTATUS), sent before its end. Ignored by default.
  virtual void ReturnStatus(int /*status*/) {}
  /// The value of an OUTPUT parameter (RETURNVALUE), after the procedure's statements.
  /// ordinal is the parameter's position in the call. Ignored by default.
  virtual void ReturnValue(int /*ordinal*/, const std::string& /*name*/, const ColumnType& /*type*/,
                           const Value& /*value*/) {}
  /// True when the client asked to cancel (attention); the engine stops at the next row.
  virtual bool Cancelled() = 0;
};

}  // namespace sandbox
