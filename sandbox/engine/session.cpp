#include <sqlite3.h>

#include <atomic>
#include <functional>

#include "sandbox/engine/constant_eval.h"
#include "sandbox/engine/select_translator.h"
#include "sandbox/engine/session_impl.h"
#include "sandbox/engine/sql_messages.h"
#include "sandbox/engine/tsql_functions.h"

namespace sandbox {
namespace {

std::atomic<std::uint64_t> next_descriptor{0x0000000100000001ULL};

constexpr const char* kVersion =
    "Microsoft SQL Server 2019 (RTM) - 15.0.2000.5 (X64) \n\tSep 24 2019 13:48:23 \n\t"
    "Copyright (C) 2019 Microsoft Corporation\n\tExpress Edition (64-bit) on devir-sandbox\n";

// Errors after which SQL Server does not run the rest of the batch.
bool AbortsBatch(int number) {
  switch (number) {
    case 208:  // deferred name resolution aborts the scope
    case 207:
    case 4104:
    case 245:  // conversion errors abort the batch
    case 241:
    case 242:
    case 8114:
    case 1205:  // deadlock victim
      return true;
    default:
      return false;
  }
}

// Errors that end an INSERT, UPDATE or DELETE and let the batch go on: SQL Server follows
// them with 3621 "The statement has been terminated."
bool TerminatesStatement(DoneCommand command, int number) {
  if (command != DoneCommand::kInsert && command != DoneCommand::kUpdate &&
      command != DoneCommand::kDelete) {
    return false;
  }
  static constexpr int kNumbers[] = {515, 512, 547, 2601, 2627, 2628, 8152, 8115, 8134, 220, 232};
  for (int n : kNumbers) {
    if (n == number) return true;
  }
  return false;
}

// Compile-time name errors never roll back, even with XACT_ABORT ON.
bool IsNameError(int number) {
  return number == 208 || number == 207 || number == 4104;
}

// What the statement was, for DONE's current-command field.
DoneCommand CommandOf(const Statement& statement) {
  return std::visit(
      [](const auto& body) -> DoneCommand {
        using T = std::decay_t<decltype(body)>;
        if constexpr (std::is_same_v<T, SelectStatement>) return DoneCommand::kSelect;
        if constexpr (std::is_same_v<T, InsertStatement>) return DoneCommand::kInsert;
        if constexpr (std::is_same_v<T, UpdateStatement>) return DoneCommand::kUpdate;
        if constexpr (std::is_same_v<T, DeleteStatement>) {
          return body.truncate ? DoneCommand::kTruncate : DoneCommand::kDelete;
        }
        if constexpr (std::is_same_v<T, CreateTableStatement>) return DoneCommand::kCreateTable;
        if constexpr (std::is_same_v<T, CreateIndexStatement>) return DoneCommand::kCreateIndex;
        if constexpr (std::is_same_v<T, DropTableStatement>) return DoneCommand::kDropTable;
        if constexpr (std::is_same_v<T, DropIndexStatement>) return DoneCommand::kDropIndex;
        if constexpr (std::is_same_v<T, CreateDatabaseStatement>) {
          return DoneCommand::kCreateDatabase;
        }
        if constexpr (std::is_same_v<T, DropDatabaseStatement>) return DoneCommand::kDropDatabase;
        if constexpr (std::is_same_v<T, UseStatement>) return DoneCommand::kUse;
        if constexpr (std::is_same_v<T, SetStatement>) {
          if (body.option == "IDENTITY_INSERT") return DoneCommand::kSetIdentityInsert;
          if (body.option == "ROWCOUNT") return DoneCommand::kSetRowCount;
          if (body.option == "TEXTSIZE") return DoneCommand::kSetTextSize;
          if (body.value == "ON") return DoneCommand::kSetOn;
          if (body.value == "OFF") return DoneCommand::kSetOff;
          return DoneCommand::kSetValue;
        }
        if constexpr (std::is_same_v<T, TransactionStatement>) {
          switch (body.kind) {
            case TransactionStatement::Kind::kBegin:
              return DoneCommand::kBeginTransaction;
            case TransactionStatement::Kind::kCommit:
              return DoneCommand::kCommit;
            case TransactionStatement::Kind::kRollback:
              return DoneCommand::kRollback;
            case TransactionStatement::Kind::kSave:
              return DoneCommand::kSave;
          }
        }
        if constexpr (std::is_same_v<T, ExecStatement>) return DoneCommand::kExecute;
        if constexpr (std::is_same_v<T, PrintStatement>) return DoneCommand::kPrint;
        if constexpr (std::is_same_v<T, RaiseErrorStatement>) return DoneCommand::kRaisError;
        if constexpr (std::is_same_v<T, WaitForStatement>) return DoneCommand::kWaitFor;
        return DoneCommand::kNone;
      },
      statement.body);
}

ColumnType Type(SqlType type, int length = 0, int precision = 0, int scale = 0) {
  ColumnType out;
  out.type = type;
  out.length = length;
  out.precision = precision;
  out.scale = scale;
  return out;
}

constexpr const char* kMachineName = "DEVIR-SANDBOX";
constexpr const char* kDefaultInstance = "MSSQLSERVER";

SystemValue Text(Value value, int length) {
  return SystemValue{std::move(value), Type(SqlType::NVarChar, length)};
}

SystemValue Text(const char* value, int length) {
  return Text(Value{std::string(value)}, length);
}

SystemValue Text(const std::string& value, int length) {
  return Text(Value{value}, length);
}

SystemValue Integer(long long value, SqlType type = SqlType::Int) {
  return SystemValue{static_cast<std::int64_t>(value), Type(type)};
}

long long ObjectIdOf(const std::string& name) {
  std::size_t hash = std::hash<std::string>{}(Upper(name));
  return static_cast<long long>(hash % 1000000000ULL) + 1000;
}

}  // namespace

SessionImpl::SessionImpl(Catalog& catalog, const std::string& database, std::string login, int spid,
                         std::string instance)
    : catalog_(catalog), login_(std::move(login)), spid_(spid), instance_(std::move(instance)) {
  std::optional<DatabaseEntry> entry = catalog_.Find(database);
  if (!entry) throw CannotOpenLoginDatabase(database);
  database_ = entry->name;
  login_database_ = entry->name;
  try {
    Open(database_);
  } catch (const SqlError&) {
    throw CannotOpenLoginDatabase(database);
  }
}

SessionImpl::~SessionImpl() {
  for (auto& [key, file] : files_) {
    try {
      if (file->Db().InTransaction()) file->Db().Exec("ROLLBACK");
    } catch (...) {
      // The connection closes below; SQLite rolls back on close as well.
    }
  }
  catalog_.Locks().ReleaseAll(spid_);
  for (auto& [key, file] : files_) catalog_.Release(file->Name());
  files_.clear();
}

DatabaseFile& SessionImpl::Open(const std::string& database) {
  std::string key = Upper(database);
  auto it = files_.find(key);
  if (it != files_.end()) return *it->second;
  std::optional<DatabaseEntry> entry = catalog_.Acquire(database);
  if (!entry) throw DatabaseNotFound(database);
  try {
    auto file = std::make_unique<DatabaseFile>(entry->data_file, entry->name);
    file->Db().SetBusyTimeout(lock_timeout_ms_);
    DatabaseFile& ref = *file;
    files_[key] = std::move(file);
    return ref;
  } catch (const SqliteError& e) {
    catalog_.Release(entry->name);
    throw DatabaseOpenFailed(entry->name, e.what());
  }
}

DatabaseFile& SessionImpl::Current() {
  return Open(database_);
}

DatabaseFile& SessionImpl::FileOf(const std::string& database) {
  if (database.empty() || EqualsNoCase(database, database_)) return Current();
  if (!catalog_.Find(database)) throw DatabaseNotFound(database);
  return Open(database);
}

void SessionImpl::CloseUnused() {
  if (trancount_ > 0) return;
  for (auto it = files_.begin(); it != files_.end();) {
    if (EqualsNoCase(it->second->Name(), database_)) {
      ++it;
      continue;
    }
    std::string name = it->second->Name();
    it = files_.erase(it);
    catalog_.Release(name);
  }
}

// A user transaction starts SQLite's transaction on a database at its first write, with the
// write lock already taken: reads before it see what others committed, as READ COMMITTED does,
// and never hold a snapshot that a later write could not build on.
void SessionImpl::EnsureTransaction(DatabaseFile& file) {
  if (trancount_ > 0 && !file.Db().InTransaction()) file.Db().Exec("BEGIN IMMEDIATE");
}

void SessionImpl::LockForWrite(DatabaseFile& file) {
  const std::string key = Upper(file.Name());
  WriteLocks& locks = catalog_.Locks();
  if (locks.Holds(key, spid_)) return;
  switch (locks.Acquire(key, spid_, lock_timeout_ms_, [this] { return sink_->Cancelled(); })) {
    case WriteLocks::Outcome::kAcquired:
      return;
    case WriteLocks::Outcome::kTimedOut:
      throw LockTimeout();
    case WriteLocks::Outcome::kCancelled:
      throw Cancelled{};
    case WriteLocks::Outcome::kDeadlock:
      throw DeadlockVictim(spid_);
  }
}

void SessionImpl::UnlockAfterStatement(DatabaseFile& file) {
  if (trancount_ == 0 && !file.Db().InTransaction()) {
    catalog_.Locks().Release(Upper(file.Name()), spid_);
  }
}

void SessionImpl::BeginTran() {
  ++trancount_;
  if (trancount_ > 1) return;
  descriptor_ = next_descriptor.fetch_add(1);
  sink_->TransactionChanged(8, descriptor_);
}

void SessionImpl::CommitTran() {
  if (trancount_ == 0) throw CommitWithoutBegin();
  if (--trancount_ > 0) return;
  std::optional<SqliteError> failure;
  for (auto& [key, file] : files_) {
    if (!file->Db().InTransaction()) continue;
    try {
      file->Db().Exec("COMMIT");
    } catch (const SqliteError& e) {
      failure = e;
      try {
        file->Db().Exec("ROLLBACK");
      } catch (...) {
      }
    }
  }
  descriptor_ = 0;
  transaction_name_.clear();
  savepoints_.clear();
  catalog_.Locks().ReleaseAll(spid_);
  sink_->TransactionChanged(9, 0);
  CloseUnused();
  if (failure) ThrowSqlite(*failure, {});
}

void SessionImpl::SaveTran(const std::string& name) {
  if (trancount_ == 0) throw SaveWithoutTransaction();
  Savepoint savepoint{name, next_savepoint_++, {}};
  for (auto& [key, file] : files_) {
    if (!file->Db().InTransaction()) continue;
    file->Db().Exec("SAVEPOINT devir_save_" + std::to_string(savepoint.id));
    savepoint.files.insert(key);
  }
  savepoints_.push_back(std::move(savepoint));
}

void SessionImpl::RollbackToSavepoint(std::size_t index) {
  const Savepoint& savepoint = savepoints_[index];
  for (auto& [key, file] : files_) {
    if (!file->Db().InTransaction()) continue;
    if (savepoint.files.count(key)) {
      file->Db().Exec("ROLLBACK TO devir_save_" + std::to_string(savepoint.id));
    } else {
      // Its first write came after the savepoint: all of it goes.
      file->Db().Exec("ROLLBACK");
    }
  }
  savepoints_.resize(index + 1);
}

void SessionImpl::RollbackTran(const std::string& name) {
  if (trancount_ == 0) throw RollbackWithoutBegin();
  // Transaction and savepoint names compare case-sensitively, whatever the collation.
  if (!name.empty() && name != transaction_name_) {
    for (std::size_t k = savepoints_.size(); k-- > 0;) {
      if (savepoints_[k].name == name) return RollbackToSavepoint(k);
    }
    throw NoSuchTransactionName(name);
  }
  trancount_ = 0;
  savepoints_.clear();
  for (auto& [key, file] : files_) {
    if (!file->Db().InTransaction()) continue;
    try {
      file->Db().Exec("ROLLBACK");
    } catch (...) {
    }
  }
  descriptor_ = 0;
  transaction_name_.clear();
  catalog_.Locks().ReleaseAll(spid_);
  sink_->TransactionChanged(10, 0);
  CloseUnused();
}

void SessionImpl::BeginTransaction(ResultSink& sink) {
  sink_ = &sink;
  try {
    BeginTran();
  } catch (const SqlError& e) {
    ReportError(e);
  }
}

void SessionImpl::CommitTransaction(ResultSink& sink) {
  sink_ = &sink;
  try {
    CommitTran();
  } catch (const SqlError& e) {
    ReportError(e);
  }
}

void SessionImpl::RollbackTransaction(ResultSink& sink) {
  sink_ = &sink;
  try {
    RollbackTran();
  } catch (const SqlError& e) {
    ReportError(e);
  }
}

void SessionImpl::TransactionRequest(TransactionVerb verb, const std::string& name,
                                     ResultSink& sink) {
  sink_ = &sink;
  try {
    switch (verb) {
      case TransactionVerb::kBegin:
        BeginTran();
        if (trancount_ == 1) transaction_name_ = name;
        return;
      case TransactionVerb::kCommit:
        return CommitTran();
      case TransactionVerb::kRollback:
        return RollbackTran(name);
      case TransactionVerb::kSave:
        return SaveTran(name);
    }
  } catch (const SqlError& e) {
    ReportError(e);
  }
}

void SessionImpl::Reset(bool keep_transaction, ResultSink& sink) {
  sink_ = &sink;
  if (!keep_transaction && trancount_ > 0) RollbackTran();
  if (!EqualsNoCase(database_, login_database_)) {
    try {
      Open(login_database_);
      database_ = login_database_;
    } catch (const SqlError&) {
      // The login's database has gone meanwhile: the session stays where it is.
    }
  }
  CloseUnused();
  date_order_ = DateOrder::kMdy;
  language_ = "us_english";
  xact_abort_ = false;
  nocount_ = false;
  SetLockTimeout(-1);
  identity_insert_.clear();
  rowcount_ = 0;
  last_error_ = 0;
  last_identity_.reset();
}

void SessionImpl::ReportError(const SqlError& error) {
  last_error_ = error.number;
  ++errors_reported_;
  sink_->Error(error);
}

void SessionImpl::AbortOnCancel() {
  // An attention ends the batch; with XACT_ABORT ON it also rolls back.
  if (xact_abort_ && trancount_ > 0) RollbackTran();
}

void SessionImpl::ExecuteBatch(const std::string& sql, ResultSink& sink) {
  sink_ = &sink;
  RunBatch(sql, {});
}

void SessionImpl::RunBatch(const std::string& sql, const std::vector<BoundParameter>& parameters) {
  ResultSink& sink = *sink_;
  // sp_executesql inside a batch runs a batch of its own: the outer one's tokens and line
  // come back afterwards.
  if (nesting_ >= kMaxNesting) throw NestingLimit();
  // A batch of its own keeps the token list's storage for the next one; only a nested one
  // has an outer batch's tokens to give back.
  struct Restore {
    SessionImpl& session;
    bool nested;
    std::vector<Token> tokens;
    int line;
    ~Restore() {
      if (nested) session.tokens_ = std::move(tokens);
      session.statement_line_ = line;
      --session.nesting_;
    }
  } restore{*this, nesting_ > 0, nesting_ > 0 ? std::move(tokens_) : std::vector<Token>{},
            statement_line_};
  ++nesting_;
  std::vector<StatementPtr> statements;
  try {
    Tokenize(sql, tokens_);
    if (!parameters.empty()) tokens_ = BindParameters(tokens_, parameters);
    statements = ParseBatch(tokens_);
    Validate(statements);
  } catch (const SqlError& error) {
    // SQL Server compiles the whole batch first: nothing of it runs.
    SqlError e = error;
    if (e.line == 0) e.line = 1;
    if (e.number == 105) {
      ReportError(e);
      static const std::string kPrefix = "Unclosed quotation mark after the character string '";
      std::string message = e.what();
      std::string rest = message.size() >= kPrefix.size() + 2
                             ? message.substr(kPrefix.size(), message.size() - kPrefix.size() - 2)
                             : std::string();
      ReportError(IncorrectSyntax(rest, e.line));
    } else {
      ReportError(e);
    }
    sink.CommandDone(-1, true, DoneCommand::kBatch);
    return;
  }
  for (const StatementPtr& statement : statements) {
    if (sink.Cancelled()) {
      AbortOnCancel();
      return;
    }
    Flow flow;
    try {
      flow = Run(*statement);
    } catch (const Cancelled&) {
      AbortOnCancel();
      return;
    } catch (const StopBatch&) {
      break;
    }
    if (flow == Flow::kStopBatch) break;
  }
  CloseUnused();
}

SessionImpl::Flow SessionImpl::Run(const Statement& statement) {
  statement_line_ = statement.line;
  const DoneCommand command = CommandOf(statement);
  for (auto& [key, file] : files_) file->ClearMemo();
  try {
    Done done = Execute(statement);
    if (!done.send) return Flow::kContinue;
    if (done.rows >= 0) rowcount_ = done.rows;
    sink_->CommandDone(nocount_ ? -1 : done.rows, done.error, command);
    if (!done.error) last_error_ = 0;
    return Flow::kContinue;
  } catch (const Cancelled&) {
    throw;
  } catch (const StopBatch&) {
    throw;
  } catch (const SqlError& error) {
    SqlError e = error;
    e.line = statement.line;
    ReportError(e);
    if (TerminatesStatement(command, e.number)) {
      const SqlError note = StatementTerminated();
      sink_->Info(note.number, note.state, note.severity, note.what(), statement.line);
    }
    sink_->CommandDone(-1, true, command);
    return AfterError(e.number);
  } catch (const SqlErrorList& list) {
    for (SqlError e : list.errors) {
      e.line = statement.line;
      ReportError(e);
    }
    sink_->CommandDone(-1, true, command);
    return AfterError(list.errors.empty() ? 0 : list.errors.front().number);
  } catch (const SqliteError& error) {
    SqlError e = MapSqliteError(error.what(), error.code, {});
    e.line = statement.line;
    ReportError(e);
    sink_->CommandDone(-1, true, command);
    return AfterError(e.number);
  } catch (const std::exception& error) {
    SqlError e(50000, 16, 1, error.what(), statement.line);
    ReportError(e);
    sink_->CommandDone(-1, true, command);
    return AfterError(e.number);
  }
}

SessionImpl::Flow SessionImpl::AfterError(int number) {
  rowcount_ = 0;
  if (IsNameError(number)) return Flow::kStopBatch;
  if (xact_abort_) {
    if (trancount_ > 0) RollbackTran();
    return Flow::kStopBatch;
  }
  if (number == 1205 && trancount_ > 0) RollbackTran();
  return AbortsBatch(number) ? Flow::kStopBatch : Flow::kContinue;
}

SessionImpl::Done SessionImpl::Execute(const Statement& statement) {
  return std::visit(
      [&](const auto& body) -> Done {
        using T = std::decay_t<decltype(body)>;
        if constexpr (std::is_same_v<T, SelectStatement>) {
          return {ExecSelect(body.range)};
        } else if constexpr (std::is_same_v<T, InsertStatement>) {
          return {ExecInsert(body)};
        } else if constexpr (std::is_same_v<T, UpdateStatement>) {
          return {ExecUpdate(body)};
        } else if constexpr (std::is_same_v<T, DeleteStatement>) {
          long long rows = ExecDelete(body);
          return {body.truncate ? -1 : rows};
        } else if constexpr (std::is_same_v<T, CreateTableStatement>) {
          ExecCreateTable(body);
        } else if constexpr (std::is_same_v<T, CreateIndexStatement>) {
          ExecCreateIndex(body);
        } else if constexpr (std::is_same_v<T, DropTableStatement>) {
          ExecDropTable(body);
        } else if constexpr (std::is_same_v<T, DropIndexStatement>) {
          ExecDropIndex(body);
        } else if constexpr (std::is_same_v<T, CreateDatabaseStatement>) {
          ExecCreateDatabase(body);
        } else if constexpr (std::is_same_v<T, DropDatabaseStatement>) {
          ExecDropDatabase(body);
        } else if constexpr (std::is_same_v<T, UseStatement>) {
          ExecUse(body, statement.line);
        } else if constexpr (std::is_same_v<T, SetStatement>) {
          ExecSet(body);
        } else if constexpr (std::is_same_v<T, TransactionStatement>) {
          ExecTransaction(body);
        } else if constexpr (std::is_same_v<T, ExecStatement>) {
          ExecProcedure(body);
        } else if constexpr (std::is_same_v<T, PrintStatement>) {
          ExecPrint(body);
        } else if constexpr (std::is_same_v<T, RaiseErrorStatement>) {
          return {-1, true, ExecRaiseError(body)};
        } else if constexpr (std::is_same_v<T, WaitForStatement>) {
          ExecWaitFor(body);
        } else if constexpr (std::is_same_v<T, IfStatement>) {
          const auto& branch =
              EvaluateCondition(body.condition) ? body.then_branch : body.else_branch;
          for (const StatementPtr& inner : branch) {
            if (Run(*inner) == Flow::kStopBatch) throw StopBatch{};
          }
          return {-1, false};
        } else if constexpr (std::is_same_v<T, BlockStatement>) {
          for (const StatementPtr& inner : body.body) {
            if (Run(*inner) == Flow::kStopBatch) throw StopBatch{};
          }
          return {-1, false};
        }
        return {-1};
      },
      statement.body);
}

void SessionImpl::Validate(const std::vector<StatementPtr>& statements) {
  bool schema_may_change = false;
  for (const StatementPtr& statement : statements) ValidateOne(*statement, schema_may_change);
}

void SessionImpl::ValidateOne(const Statement& statement, bool& schema_may_change) {
  QueryContext context = Context();
  auto check = [&](const std::string& sql, TokenRange range) {
    try {
      Current().Db().Prepare(sql);
    } catch (const SqliteError& error) {
      SqlError e = MapSqliteError(error.what(), error.code, range);
      bool syntax = e.number == 102 || e.number == 156 || e.number == 195 || e.number == 174;
      bool name = e.number == 207 || e.number == 4104 || e.number == 209;
      if (syntax || (name && !schema_may_change)) {
        if (e.line == 0) e.line = statement.line;
        throw e;
      }
    }
  };
  std::visit(
      [&](const auto& body) {
        using T = std::decay_t<decltype(body)>;
        if constexpr (std::is_same_v<T, SelectStatement>) {
          SelectTranslator translator(tokens_, context);
          TranslatedQuery query;
          try {
            query = translator.Query(body.range);
          } catch (const SqlError& e) {
            if (e.number == 102 || e.number == 156 || e.number == 137) throw;
            return;  // other problems surface when the statement runs
          }
          if (query.databases.empty()) check(query.sql, body.range);
        } else if constexpr (std::is_same_v<T, UpdateStatement> ||
                             std::is_same_v<T, DeleteStatement>) {
          if (body.where) {
            SelectTranslator translator(tokens_, context);
            std::string where;
            try {
              where = translator.Expression(*body.where);
            } catch (const SqlError& e) {
              if (e.number == 102 || e.number == 156 || e.number == 137) throw;
              return;
            }
            // Only the syntax matters here: the table may not exist yet.
            try {
              Current().Db().Prepare("SELECT 1 WHERE " + where);
            } catch (const SqliteError& error) {
              SqlError e = MapSqliteError(error.what(), error.code, *body.where);
              if (e.number == 102 || e.number == 156) {
                if (e.line == 0) e.line = statement.line;
                throw e;
              }
            }
          }
        } else if constexpr (std::is_same_v<T, InsertStatement>) {
          if (body.select) {
            SelectTranslator translator(tokens_, context);
            TranslatedQuery query;
            try {
              query = translator.Query(*body.select);
            } catch (const SqlError& e) {
              if (e.number == 102 || e.number == 156 || e.number == 137) throw;
              return;
            }
            if (query.databases.empty()) check(query.sql, *body.select);
          }
        } else if constexpr (std::is_same_v<T, IfStatement>) {
          for (const StatementPtr& inner : body.then_branch) ValidateOne(*inner, schema_may_change);
          for (const StatementPtr& inner : body.else_branch) ValidateOne(*inner, schema_may_change);
        } else if constexpr (std::is_same_v<T, BlockStatement>) {
          for (const StatementPtr& inner : body.body) ValidateOne(*inner, schema_may_change);
        } else if constexpr (std::is_same_v<T, CreateTableStatement> ||
                             std::is_same_v<T, CreateIndexStatement> ||
                             std::is_same_v<T, DropTableStatement> ||
                             std::is_same_v<T, DropIndexStatement> ||
                             std::is_same_v<T, UseStatement> || std::is_same_v<T, ExecStatement> ||
                             std::is_same_v<T, CreateDatabaseStatement> ||
                             std::is_same_v<T, DropDatabaseStatement>) {
          schema_may_change = true;
        }
      },
      statement.body);
}

namespace {

std::string Between(const std::string& text, const std::string& prefix) {
  size_t at = text.find(prefix);
  if (at == std::string::npos) return {};
  return text.substr(at + prefix.size());
}

std::string Unquote(std::string text) {
  if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
      text.back() == text.front()) {
    text = text.substr(1, text.size() - 2);
  }
  return text;
}

}  // namespace

SqlError SessionImpl::MapSqliteError(const std::string& message, int code, TokenRange range) {
  if (std::optional<SqlError> own = DecodeTsqlError(message)) return *own;
  if (code == SQLITE_BUSY || code == SQLITE_LOCKED) return LockTimeout();
  // The name as the user wrote it: find the dotted chain in the statement that ends with it.
  auto written = [&](const std::string& name) -> std::string {
    std::string last = name;
    size_t dot = name.rfind('.');
    if (dot != std::string::npos) last = name.substr(dot + 1);
    for (size_t i = range.begin; i < range.end; ++i) {
      if (!tokens_[i].IsName()) continue;
      size_t next = i;
      std::vector<std::string> parts = NameChain(tokens_, i, range.end, &next);
      if (!EqualsNoCase(parts.back(), last)) {
        i = next - 1;
        continue;
      }
      std::string out;
      for (size_t k = 0; k < parts.size(); ++k) out += (k ? "." : "") + parts[k];
      return out;
    }
    return name;
  };
  if (message.find("syntax error") != std::string::npos) {
    // near "X": syntax error
    std::string near = Between(message, "near \"");
    size_t quote = near.rfind("\": syntax error");
    if (quote != std::string::npos) near = near.substr(0, quote);
    return IncorrectSyntax(near, 0);
  }
  if (message.find("incomplete input") != std::string::npos) {
    size_t last = range.end > range.begin ? range.end - 1 : 0;
    return IncorrectSyntax(range.end > range.begin ? tokens_[last].text : ")", 0);
  }
  if (message.rfind("unrecognized token: ", 0) == 0) {
    return IncorrectSyntax(Unquote(Between(message, "unrecognized token: ")), 0);
  }
  if (message.rfind("no such table: ", 0) == 0) {
    std::string name = Between(message, "no such table: ");
    size_t dot = name.find('.');
    if (dot != std::string::npos && name.rfind("main.", 0) == 0) name = name.substr(dot + 1);
    return InvalidObjectName(written(name));
  }
  if (message.rfind("no such column: ", 0) == 0) {
    std::string name = Between(message, "no such column: ");
    size_t dot = name.rfind('.');
    if (dot == std::string::npos) return InvalidColumnName(name);
    std::string qualifier = name.substr(0, dot);
    size_t qdot = qualifier.rfind('.');
    std::string last_qualifier = qdot == std::string::npos ? qualifier : qualifier.substr(qdot + 1);
    // A known table or alias with a wrong column is 207; an unknown qualifier is 4104.
    for (size_t i = range.begin; i < range.end; ++i) {
      if (tokens_[i].IsWord("FROM") || tokens_[i].IsWord("JOIN") || tokens_[i].IsOp(",")) {
        for (size_t k = i + 1; k < range.end && k < i + 8; ++k) {
          if (tokens_[k].IsName() &&
              EqualsNoCase(
                  tokens_[k].kind == Token::Kind::kQuoted ? tokens_[k].value : tokens_[k].text,
                  last_qualifier)) {
            return InvalidColumnName(name.substr(dot + 1));
          }
          if (tokens_[k].IsWord("ON") || tokens_[k].IsWord("WHERE")) break;
        }
      }
    }
    return MultiPartNotBound(written(name));
  }
  if (message.rfind("no such function: ", 0) == 0) {
    return InvalidFunction(Between(message, "no such function: "));
  }
  if (message.rfind("wrong number of arguments to function ", 0) == 0) {
    std::string name = Between(message, "wrong number of arguments to function ");
    if (!name.empty() && name.back() == ')') name = name.substr(0, name.find('('));
    return FunctionArguments(Upper(name), "a different number of arguments");
  }
  if (message.rfind("ambiguous column name: ", 0) == 0) {
    std::string name = Between(message, "ambiguous column name: ");
    size_t dot = name.rfind('.');
    return AmbiguousColumn(dot == std::string::npos ? name : name.substr(dot + 1));
  }
  if (message.find("misuse of aggregate") != std::string::npos) {
    return AggregateInWhere();
  }
  if (message.find("database is locked") != std::string::npos) return LockTimeout();
  return InternalError(message);
}

void SessionImpl::ThrowSqlite(const SqliteError& error, TokenRange range) {
  if (error.code == SQLITE_INTERRUPT) throw Cancelled{};
  throw MapSqliteError(error.what(), error.code, range);
}

DateFormat SessionImpl::ConvertDateFormat() const {
  switch (date_order_) {
    case DateOrder::kDmy:
    case DateOrder::kDym:
      return DateFormat::kDmy;
    case DateOrder::kYmd:
    case DateOrder::kYdm:
      return DateFormat::kYmd;
    case DateOrder::kMdy:
    case DateOrder::kMyd:
      return DateFormat::kMdy;
  }
  return DateFormat::kMdy;
}

QueryContext SessionImpl::Context() {
  QueryContext context;
  context.current_database = database_;
  context.date_format = ConvertDateFormat();
  context.find_table = [this](const std::string& database,
                              const std::string& table) -> const TableDef* {
    try {
      return FileOf(database).FindTable(table);
    } catch (const std::exception&) {
      return nullptr;
    }
  };
  context.virtual_table = [this](const std::string& schema, const std::string& name) {
    return VirtualTableOf(schema, name);
  };
  context.system_value = [this](const std::string& name) { return SystemValueOf(name); };
  context.object_id = [this](const std::string& function,
                             const std::string& arg) -> std::optional<long long> {
    if (function == "DB_ID") {
      std::optional<DatabaseEntry> entry = catalog_.Find(arg);
      if (!entry) return std::nullopt;
      return entry->id;
    }
    std::vector<Token> tokens = Tokenize(arg);
    std::vector<std::string> parts;
    for (const Token& token : tokens) {
      if (token.IsName())
        parts.push_back(token.kind == Token::Kind::kQuoted ? token.value : token.text);
    }
    if (parts.empty()) return std::nullopt;
    std::string database = parts.size() >= 3 ? parts[parts.size() - 3] : std::string();
    try {
      const TableDef* table = FileOf(database).FindTable(parts.back());
      if (!table) return std::nullopt;
      return ObjectIdOf(table->name);
    } catch (const std::exception&) {
      return std::nullopt;
    }
  };
  return context;
}

std::string SessionImpl::ServerName() const {
  // The default instance is the machine's own name; a named one is MACHINE\INSTANCE.
  return EqualsNoCase(instance_, kDefaultInstance) ? std::string(kMachineName)
                                                   : std::string(kMachineName) + "\\" + instance_;
}

std::optional<SystemValue> SessionImpl::SystemValueOf(const std::string& name) {
  using Get = SystemValue (*)(const SessionImpl&);
  // The server's housekeeping answers, by upper-case name: @@ variables, the niladic
  // functions and SERVERPROPERTY('...').
  static const std::pair<const char*, Get> kValues[] = {
      {"@@VERSION", [](const SessionImpl&) { return Text(kVersion, 300); }},
      {"@@TRANCOUNT", [](const SessionImpl& s) { return Integer(s.trancount_); }},
      {"@@ROWCOUNT", [](const SessionImpl& s) { return Integer(s.rowcount_); }},
      {"@@ERROR", [](const SessionImpl& s) { return Integer(s.last_error_); }},
      {"@@SPID", [](const SessionImpl& s) { return Integer(s.spid_, SqlType::SmallInt); }},
      {"@@SERVERNAME", [](const SessionImpl& s) { return Text(s.ServerName(), 128); }},
      {"@@SERVICENAME", [](const SessionImpl& s) { return Text(s.instance_, 128); }},
      {"@@LANGUAGE", [](const SessionImpl& s) { return Text(s.language_, 128); }},
      {"@@DATEFIRST", [](const SessionImpl&) { return Integer(7, SqlType::TinyInt); }},
      {"@@MAX_PRECISION", [](const SessionImpl&) { return Integer(38, SqlType::TinyInt); }},
      {"@@TEXTSIZE", [](const SessionImpl&) { return Integer(2147483647); }},
      {"@@LOCK_TIMEOUT", [](const SessionImpl& s) { return Integer(s.lock_timeout_ms_); }},
      {"@@IDENTITY", [](const SessionImpl& s) { return s.LastIdentity(); }},
      {"SCOPE_IDENTITY()", [](const SessionImpl& s) { return s.LastIdentity(); }},
      {"DB_NAME()", [](const SessionImpl& s) { return Text(s.database_, 128); }},
      {"USER_NAME()", [](const SessionImpl&) { return Text("dbo", 128); }},
      {"SUSER_SNAME()", [](const SessionImpl& s) { return Text(s.login_, 128); }},
      {"SUSER_NAME()", [](const SessionImpl& s) { return Text(s.login_, 128); }},
      {"HOST_NAME()", [](const SessionImpl&) { return Text("devir-sandbox", 128); }},
      {"APP_NAME()", [](const SessionImpl&) { return Text("", 128); }},
      {"SERVERPROPERTY(PRODUCTVERSION)",
       [](const SessionImpl&) { return Text("15.0.2000.5", 128); }},
      {"SERVERPROPERTY(PRODUCTLEVEL)", [](const SessionImpl&) { return Text("RTM", 128); }},
      {"SERVERPROPERTY(EDITION)",
       [](const SessionImpl&) { return Text("Express Edition (64-bit)", 128); }},
      {"SERVERPROPERTY(COLLATION)", [](const SessionImpl&) { return Text("Turkish_CI_AS", 128); }},
      {"SERVERPROPERTY(INSTANCENAME)",
       [](const SessionImpl& s) {
         return EqualsNoCase(s.instance_, kDefaultInstance) ? Text(std::monostate{}, 128)
                                                            : Text(s.instance_, 128);
       }},
      {"SERVERPROPERTY(SERVERNAME)",
       [](const SessionImpl& s) { return Text(s.ServerName(), 128); }},
      {"SERVERPROPERTY(MACHINENAME)", [](const SessionImpl&) { return Text(kMachineName, 128); }},
  };
  for (const auto& [key, get] : kValues) {
    if (name == key) return get(*this);
  }
  if (name.rfind("IS_SRVROLEMEMBER(", 0) == 0) {
    // sa holds every fixed server role; the other logins of the stand-in hold none.
    static constexpr const char* kRoles[] = {"SYSADMIN",     "SERVERADMIN", "SECURITYADMIN",
                                             "PROCESSADMIN", "SETUPADMIN",  "BULKADMIN",
                                             "DISKADMIN",    "DBCREATOR",   "PUBLIC"};
    const std::string role = name.substr(17, name.size() - 18);
    for (const char* known : kRoles) {
      if (role == known) return Integer(role == "PUBLIC" || Upper(login_) == "SA" ? 1 : 0);
    }
    return SystemValue{std::monostate{}, Type(SqlType::Int)};
  }
  // Every text of the stand-in is Turkish_CI_AS; of its properties only CodePage (1254) is
  // answered.
  if (name == "COLLATIONPROPERTY(?)") return Integer(1254);
  // SQL Server answers NULL for a property it does not know.
  if (name.rfind("SERVERPROPERTY(", 0) == 0) return Text(std::monostate{}, 128);
  return std::nullopt;
}

SystemValue SessionImpl::LastIdentity() const {
  SystemValue value{std::monostate{}, Type(SqlType::Numeric, 0, 38, 0)};
  if (last_identity_) value.value = std::to_string(*last_identity_);
  return value;
}

std::optional<VirtualTable> SessionImpl::VirtualTableOf(const std::string& schema,
                                                        const std::string& name) {
  VirtualTable table;
  ColumnType sysname = Type(SqlType::NVarChar, 128);
  if (schema == "SYS" && name == "DATABASES") {
    table.columns = {{"name", sysname},
                     {"database_id", Type(SqlType::Int)},
                     {"source_database_id", Type(SqlType::Int)},
                     {"compatibility_level", Type(SqlType::TinyInt)},
                     {"collation_name", sysname},
                     {"state", Type(SqlType::TinyInt)},
                     {"state_desc", Type(SqlType::NVarChar, 60)},
                     {"is_read_only", Type(SqlType::Bit)}};
    for (const DatabaseEntry& entry : catalog_.List()) {
      table.rows.push_back({entry.name, std::int64_t{entry.id}, std::monostate{}, std::int64_t{150},
                            std::string("Turkish_CI_AS"), std::int64_t{0}, std::string("ONLINE"),
                            std::int64_t{0}});
    }
    return table;
  }
  if ((schema == "SYS" && (name == "TABLES" || name == "OBJECTS")) ||
      (schema == "INFORMATION_SCHEMA" && name == "TABLES")) {
    DatabaseFile& file = Current();
    bool info = schema == "INFORMATION_SCHEMA";
    if (info) {
      table.columns = {{"TABLE_CATALOG", sysname},
                       {"TABLE_SCHEMA", sysname},
                       {"TABLE_NAME", sysname},
                       {"TABLE_TYPE", Type(SqlType::VarChar, 10)}};
    } else {
      table.columns = {{"name", sysname},
                       {"object_id", Type(SqlType::Int)},
                       {"schema_id", Type(SqlType::Int)},
                       {"type", Type(SqlType::Char, 2)},
                       {"type_desc", Type(SqlType::NVarChar, 60)}};
    }
    for (const std::string& t : file.TableNames()) {
      if (info) {
        table.rows.push_back({database_, std::string("dbo"), t, std::string("BASE TABLE")});
      } else {
        table.rows.push_back({t, std::int64_t{ObjectIdOf(t)}, std::int64_t{1}, std::string("U "),
                              std::string("USER_TABLE")});
      }
    }
    return table;
  }
  if (schema == "SYS" && name == "TYPES") {
    table.columns = {{"name", sysname},
                     {"system_type_id", Type(SqlType::TinyInt)},
                     {"user_type_id", Type(SqlType::Int)},
                     {"is_user_defined", Type(SqlType::Bit)}};
    for (SqlType type : kAllSqlTypes) {
      const std::int64_t id = SystemTypeId(type);
      table.rows.push_back({std::string(TypeName(type)), id, id, std::int64_t{0}});
    }
    return table;
  }
  if (schema == "SYS" && name == "COLUMNS") {
    DatabaseFile& file = Current();
    table.columns = {
        {"object_id", Type(SqlType::Int)},    {"name", sysname},
        {"column_id", Type(SqlType::Int)},    {"system_type_id", Type(SqlType::TinyInt)},
        {"user_type_id", Type(SqlType::Int)}, {"is_nullable", Type(SqlType::Bit)},
        {"is_identity", Type(SqlType::Bit)}};
    for (const std::string& t : file.TableNames()) {
      const TableDef* def = file.FindTable(t);
      if (!def) continue;
      std::int64_t column_id = 1;
      for (const ColumnDef& c : def->columns) {
        const std::int64_t type_id = SystemTypeId(c.type.type);
        table.rows.push_back({std::int64_t{ObjectIdOf(def->name)}, c.name, column_id++, type_id,
                              type_id, std::int64_t{c.nullable}, std::int64_t{c.identity}});
      }
    }
    return table;
  }
  if (schema == "INFORMATION_SCHEMA" && name == "COLUMNS") {
    DatabaseFile& file = Current();
    table.columns = {{"TABLE_CATALOG", sysname},
                     {"TABLE_SCHEMA", sysname},
                     {"TABLE_NAME", sysname},
                     {"COLUMN_NAME", sysname},
                     {"ORDINAL_POSITION", Type(SqlType::Int)},
                     {"COLUMN_DEFAULT", Type(SqlType::NVarChar, 4000)},
                     {"IS_NULLABLE", Type(SqlType::VarChar, 3)},
                     {"DATA_TYPE", sysname},
                     {"CHARACTER_MAXIMUM_LENGTH", Type(SqlType::Int)},
                     {"NUMERIC_PRECISION", Type(SqlType::TinyInt)},
                     {"NUMERIC_SCALE", Type(SqlType::Int)},
                     {"DATETIME_PRECISION", Type(SqlType::SmallInt)}};
    for (const std::string& t : file.TableNames()) {
      const TableDef* def = file.FindTable(t);
      if (!def) continue;
      std::int64_t ordinal = 1;
      for (const ColumnDef& c : def->columns) {
        Value length = std::monostate{};
        if (IsStringType(c.type.type) || c.type.type == SqlType::Binary ||
            c.type.type == SqlType::VarBinary) {
          length = std::int64_t{c.type.length};
        }
        Value precision = std::monostate{};
        Value scale = std::monostate{};
        if (IsExactNumericType(c.type.type)) {
          precision = std::int64_t{c.type.precision};
          scale = std::int64_t{c.type.scale};
        }
        table.rows.push_back({database_, std::string("dbo"), def->name, c.name, ordinal++,
                              c.default_sql.empty() ? Value{} : Value{"(" + c.default_sql + ")"},
                              std::string(c.nullable ? "YES" : "NO"),
                              std::string(TypeName(c.type.type)), length, precision, scale,
                              std::monostate{}});
      }
    }
    return table;
  }
  return std::nullopt;
}

}  // namespace sandbox
