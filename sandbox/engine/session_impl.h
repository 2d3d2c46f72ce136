#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "sandbox/engine/catalog.h"
#include "sandbox/engine/constant_eval.h"
#include "sandbox/engine/convert.h"
#include "sandbox/engine/database_file.h"
#include "sandbox/engine/engine.h"
#include "sandbox/engine/parameters.h"
#include "sandbox/engine/query_context.h"
#include "sandbox/engine/select_translator.h"
#include "sandbox/engine/sql_messages.h"
#include "sandbox/engine/statements.h"

namespace sandbox {

/// A column of the current row of stmt in the stored form of type.
Value ReadColumnValue(sqlite3_stmt* stmt, int column, const ColumnType& type);

/// The session behind Engine::Login / OpenSession: parses each batch, runs its statements
/// on the SQLite files of the databases it uses and reports through the sink.
class SessionImpl final : public Session {
 public:
  /// Opens database (already checked to exist). Throws SqlError 4060 when it cannot be used.
  SessionImpl(Catalog& catalog, const std::string& database, std::string login, int spid,
              std::string instance);
  ~SessionImpl() override;

  void ExecuteBatch(const std::string& sql, ResultSink& sink) override;
  void BeginTransaction(ResultSink& sink) override;
  void CommitTransaction(ResultSink& sink) override;
  void RollbackTransaction(ResultSink& sink) override;
  void TransactionRequest(TransactionVerb verb, const std::string& name, ResultSink& sink) override;
  void ExecuteProcedure(const ProcedureCall& call, ResultSink& sink) override;
  void Reset(bool keep_transaction, ResultSink& sink) override;
  const std::string& CurrentDatabase() const override { return database_; }
  std::uint64_t TransactionDescriptor() const override { return descriptor_; }

 private:
  /// What happens to the rest of the batch after a statement.
  enum class Flow { kContinue, kStopBatch };
  /// Thrown when the client cancelled; the batch ends without further tokens.
  struct Cancelled {};
  /// Thrown out of IF and blocks when an inner statement ends the batch.
  struct StopBatch {};
  /// A statement's result: row count for DONE, or none.
  struct Done {
    long long rows = -1;
    bool send = true;    ///< false for IF and blocks, whose inner statements report
    bool error = false;  ///< the statement reported an error itself and the batch goes on
  };

  /// An OUTPUT argument's value after a procedure call.
  struct OutputValue {
    int ordinal = 0;  ///< position in the call
    std::string name;
    ColumnType type;
    Value value;
  };
  /// A statement sp_prepare or sp_prepexec keeps for sp_execute.
  struct PreparedStatement {
    std::string sql;
    std::string params;  ///< its @params text
  };

  // Batch flow (session.cpp)
  void RunBatch(const std::string& sql, const std::vector<BoundParameter>& parameters);
  Flow Run(const Statement& statement);
  void Validate(const std::vector<StatementPtr>& statements);
  void ValidateOne(const Statement& statement, bool& schema_may_change);
  Done Execute(const Statement& statement);
  void ReportError(const SqlError& error);
  Flow AfterError(int number);
  SqlError MapSqliteError(const std::string& message, int code, TokenRange range);
  [[noreturn]] void ThrowSqlite(const SqliteError& error, TokenRange range);

  // Databases and transactions (session.cpp)
  DatabaseFile& Current();
  DatabaseFile& FileOf(const std::string& database);  ///< empty: the current one
  DatabaseFile& Open(const std::string& database);
  void CloseUnused();
  void EnsureTransaction(DatabaseFile& file);
  void LockForWrite(DatabaseFile& file);
  void UnlockAfterStatement(DatabaseFile& file);
  /// Runs body as one statement's writes: in a transaction under a savepoint (unless body
  /// makes a single change that SQLite undoes by itself when it fails), else in a
  /// transaction of its own.
  template <typename Body>
  void Write(DatabaseFile& file, Body&& body, bool savepoint = true);
  void BeginTran();
  void CommitTran();
  void RollbackTran(const std::string& name = {});
  void SaveTran(const std::string& name);
  void RollbackToSavepoint(std::size_t index);
  void AbortOnCancel();
  QueryContext Context();
  std::optional<SystemValue> SystemValueOf(const std::string& name);
  SystemValue LastIdentity() const;
  std::string ServerName() const;  ///< @@SERVERNAME
  std::optional<VirtualTable> VirtualTableOf(const std::string& schema, const std::string& name);
  DateFormat ConvertDateFormat() const;

  // SELECT, PRINT, IF (session_query.cpp)
  long long ExecSelect(TokenRange range);
  bool EvaluateCondition(TokenRange condition);
  void ExecPrint(const PrintStatement& print);
  bool ExecRaiseError(const RaiseErrorStatement& raise);
  void ExecWaitFor(const WaitForStatement& wait);
  ConstantEvaluator Evaluator();
  void AttachDatabases(const std::vector<std::string>& databases);
  /// all_typed (when given): false when a column had to be typed by its first value.
  std::vector<ResultColumn> ResultColumns(sqlite3_stmt* stmt, const TranslatedQuery& query,
                                          bool has_row, bool* all_typed = nullptr);
  /// The query's rows from a GroupedJoinPlan, when it has the shape and the data lets it
  /// answer as SQLite would; nullopt (nothing sent) otherwise.
  std::optional<long long> RunGroupedJoin(TokenRange range, const QueryContext& context,
                                          sqlite3_stmt* stmt, const TranslatedQuery& query,
                                          DatabaseFile& file);

  // INSERT, UPDATE, DELETE (session_dml.cpp)
  long long ExecInsert(const InsertStatement& insert);
  std::vector<std::vector<std::optional<Scalar>>> SelectRows(TokenRange range, size_t columns,
                                                             bool column_list);
  long long ExecUpdate(const UpdateStatement& update);
  long long ExecDelete(const DeleteStatement& del);
  std::shared_ptr<const TableDef> ResolveTable(const ObjectName& name, DatabaseFile** file);
  Value DefaultValue(const ColumnDef& column, const TableDef& table, DatabaseFile& file);
  std::string QualifiedTable(const DatabaseFile& file, const TableDef& table) const;

  // DDL, SET, USE, EXEC (session_ddl.cpp)
  void ExecCreateTable(const CreateTableStatement& create);
  void ExecCreateIndex(const CreateIndexStatement& create);
  void ExecDropTable(const DropTableStatement& drop);
  void ExecDropIndex(const DropIndexStatement& drop);
  void ExecCreateDatabase(const CreateDatabaseStatement& create);
  void ExecDropDatabase(const DropDatabaseStatement& drop);
  void ExecUse(const UseStatement& use, int line);
  void ExecSet(const SetStatement& set);
  void SetIdentityInsert(const SetStatement& set);
  void SetLanguage(const std::string& value);
  void SetLockTimeout(int milliseconds);
  void ExecProcedure(const ExecStatement& exec);
  void ExecTransaction(const TransactionStatement& statement);
  void CheckNoTransaction(const char* statement) const;
  bool IsDefaultArgument(TokenRange range) const {
    return range.end == range.begin + 1 && tokens_[range.begin].IsWord("DEFAULT");
  }

  // Stored procedures (session_procedures.cpp)
  std::vector<OutputValue> RunProcedure(const ProcedureCall& call);
  void SpExecuteSql(const ProcedureCall& call, std::vector<OutputValue>& outputs);
  void SpPrepare(const ProcedureCall& call, std::vector<OutputValue>& outputs);
  void SpExecute(const ProcedureCall& call, std::vector<OutputValue>& outputs);
  void SpPrepExec(const ProcedureCall& call, std::vector<OutputValue>& outputs);
  void SpUnprepare(const ProcedureCall& call, std::vector<OutputValue>& outputs);
  void SpAttachDb(const ProcedureCall& call, std::vector<OutputValue>& outputs);
  void SpDetachDb(const ProcedureCall& call, std::vector<OutputValue>& outputs);
  void SpDataTypeInfo(const ProcedureCall& call, std::vector<OutputValue>& outputs);
  int Prepare(const ProcedureCall& call);
  void RunParameterized(const ProcedureCall& call, const PreparedStatement& statement,
                        std::size_t first_value, std::vector<OutputValue>& outputs);

  Catalog& catalog_;
  std::string database_;
  std::string login_database_;  ///< where a reset returns to
  std::string login_;
  int spid_;
  std::string instance_;
  std::map<std::string, std::unique_ptr<DatabaseFile>> files_;  ///< by upper-case name

  // SET options and state
  enum class DateOrder { kMdy, kDmy, kYmd, kYdm, kMyd, kDym };
  static DateOrder DateOrderOf(const std::string& value);  ///< throws 2741
  static bool OnOff(const std::string& value);             ///< throws 102
  DateOrder date_order_ = DateOrder::kMdy;
  std::string language_ = "us_english";
  bool xact_abort_ = false;
  bool nocount_ = false;
  int lock_timeout_ms_ = -1;               ///< SET LOCK_TIMEOUT; -1 waits as long as it takes
  std::set<std::string> identity_insert_;  ///< upper-case table names
  int trancount_ = 0;
  std::string transaction_name_;  ///< of the outermost BEGIN TRANSACTION
  /// A SAVE TRANSACTION: its name, the SQLite savepoint's number and the databases (upper
  /// case) that were in the transaction then.
  struct Savepoint {
    std::string name;
    int id = 0;
    std::set<std::string> files;
  };
  std::vector<Savepoint> savepoints_;
  int next_savepoint_ = 1;
  std::uint64_t descriptor_ = 0;
  long long rowcount_ = 0;
  int last_error_ = 0;
  std::optional<std::int64_t> last_identity_;
  int errors_reported_ = 0;
  std::map<int, PreparedStatement> prepared_;  ///< by handle
  int next_handle_ = 1;

  /// The column list of the last INSERT and the table columns it named: the next one into
  /// the same table (the same definition, kept alive here) usually repeats it.
  struct InsertColumns {
    std::shared_ptr<const TableDef> table;
    std::vector<std::string> names;
    std::vector<int> targets;
  };
  InsertColumns last_insert_columns_;

  // The batch being run, and how deep sp_executesql has nested batches.
  static constexpr int kMaxNesting = 32;
  int nesting_ = 0;
  std::vector<Token> tokens_;
  ResultSink* sink_ = nullptr;
  int statement_line_ = 1;
};

template <typename Body>
inline void SessionImpl::Write(DatabaseFile& file, Body&& body, bool savepoint) {
  SqliteDb& db = file.Db();
  LockForWrite(file);
  EnsureTransaction(file);
  if (db.InTransaction() && !savepoint) {
    try {
      body();
    } catch (...) {
      file.ForgetCounters();
      throw;
    }
    return;
  }
  if (db.InTransaction()) {
    db.ExecCached("SAVEPOINT devir_statement");
    try {
      body();
      db.ExecCached("RELEASE devir_statement");
    } catch (...) {
      file.ForgetCounters();
      try {
        db.Exec("ROLLBACK TO devir_statement; RELEASE devir_statement");
      } catch (...) {
      }
      throw;
    }
    return;
  }
  // Outside a user transaction the lock goes back when the statement ends.
  struct Unlock {
    SessionImpl& session;
    DatabaseFile& file;
    ~Unlock() { session.UnlockAfterStatement(file); }
  } unlock{*this, file};
  try {
    db.ExecCached("BEGIN IMMEDIATE");
  } catch (const SqliteError& e) {
    if (e.IsBusy()) throw LockTimeout();
    throw;
  }
  try {
    body();
    db.ExecCached("COMMIT");
  } catch (...) {
    file.ForgetCounters();
    try {
      db.Exec("ROLLBACK");
    } catch (...) {
    }
    throw;
  }
}

}  // namespace sandbox
