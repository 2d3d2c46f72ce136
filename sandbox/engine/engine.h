#pragma once

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "sandbox/engine/procedure_call.h"
#include "sandbox/engine/result_sink.h"

namespace sandbox {

class Catalog;

/// What a transaction manager request asks for.
enum class TransactionVerb { kBegin, kCommit, kRollback, kSave };

/// One client's session: its login, current database, DATEFORMAT, XACT_ABORT and open
/// transaction. Used by one thread at a time; destroying it rolls back an open transaction
/// and releases the database.
class Session {
 public:
  virtual ~Session() = default;

  /// Runs a batch of T-SQL (UTF-8), reporting results, messages and one StatementDone per
  /// statement through sink. Errors of single statements are reported, not thrown, as SQL
  /// Server does; the batch goes on or stops as SQL Server would (XACT_ABORT, severity).
  virtual void ExecuteBatch(const std::string& sql, ResultSink& sink) = 0;

  /// The driver's transaction manager requests (autocommit off). Report ENVCHANGEs and
  /// errors through sink; no StatementDone.
  virtual void BeginTransaction(ResultSink& sink) = 0;
  virtual void CommitTransaction(ResultSink& sink) = 0;
  virtual void RollbackTransaction(ResultSink& sink) = 0;

  /// A transaction manager request naming its transaction (empty: unnamed): begin,
  /// commit, rollback (to a savepoint when it names one), save. Reports as the unnamed
  /// requests do; by default a name is ignored and save is refused.
  virtual void TransactionRequest(TransactionVerb verb, const std::string& name, ResultSink& sink);

  /// Runs a stored procedure called by RPC: sp_executesql, sp_prepare, sp_execute,
  /// sp_prepexec, sp_unprepare, sp_attach_db, sp_detach_db. Its statements report through
  /// sink as a batch's do; then ReturnStatus and a ReturnValue per OUTPUT argument. Errors
  /// are reported, not thrown. By default a session takes no RPC at all.
  virtual void ExecuteProcedure(const ProcedureCall& call, ResultSink& sink);

  /// Returns the session to its state right after login (the client's reset-connection
  /// flag): the login's database, default SET options, @@ERROR, @@ROWCOUNT and @@IDENTITY
  /// cleared, an open transaction rolled back unless keep_transaction. Does nothing by
  /// default.
  virtual void Reset(bool keep_transaction, ResultSink& sink);

  virtual const std::string& CurrentDatabase() const = 0;
  /// The transaction descriptor the client must send back, 0 outside a transaction.
  virtual std::uint64_t TransactionDescriptor() const = 0;
};

/// The server's state: its data folder, catalogue (master) and logins. Thread-safe.
class Engine {
 public:
  struct Login {
    std::string user;
    std::string password;
  };

  /// Opens (or creates) the catalogue in data_dir. instance names the server in @@SERVERNAME
  /// and SERVERPROPERTY ("MSSQLSERVER": the default instance). Throws std::runtime_error when
  /// the folder cannot be used.
  Engine(std::filesystem::path data_dir, std::vector<Login> logins,
         std::string instance = "SQLEXPRESS");
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  /// Checks the login and opens a session in database (empty: master). Throws SqlError:
  /// 18456 for a bad login; for an unknown database the caller gets 4060 and must then also
  /// send 18456 (the thrown error's number is 4060).
  std::unique_ptr<Session> Login(const std::string& user, const std::string& password,
                                 const std::string& database);

  /// Opens a trusted in-process session (no login check), for seeding and templates.
  /// Throws SqlError 4060 for an unknown database.
  std::unique_ptr<Session> OpenSession(const std::string& database);

  const std::filesystem::path& DataDir() const;

 private:
  std::unique_ptr<Catalog> catalog_;
  std::vector<struct Login> logins_;
  std::string instance_;  // "struct": the method Login hides the type here
};

}  // namespace sandbox
