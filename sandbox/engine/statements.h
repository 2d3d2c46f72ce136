#pragma once

#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "sandbox/engine/tsql_lexer.h"

namespace sandbox {

/// Tokens [begin, end) of the batch.
struct TokenRange {
  size_t begin = 0;
  size_t end = 0;
  bool Empty() const { return begin >= end; }
};

/// A table name as written: [db.][schema.]name.
struct ObjectName {
  std::string database;  ///< empty: the current database
  std::string schema;
  std::string name;
  std::string written;  ///< "dbo.NOPE", as SQL Server quotes it in messages
};

struct SelectStatement {
  TokenRange range;  ///< from SELECT to the end of the statement
};

struct InsertStatement {
  ObjectName table;
  std::vector<std::string> columns;  ///< empty: no column list
  std::vector<std::vector<TokenRange>> rows;
  bool default_values = false;
  std::optional<TokenRange> select;  ///< INSERT ... SELECT
};

struct UpdateStatement {
  ObjectName table;
  std::vector<std::pair<std::string, TokenRange>> assignments;
  std::optional<TokenRange> where;
};

struct DeleteStatement {
  ObjectName table;
  std::optional<TokenRange> where;
  bool truncate = false;
};

struct ColumnClause {
  std::string name;
  std::string type_name;
  std::vector<std::string> type_args;
  bool nullable = true;
  bool identity = false;
  long long identity_seed = 1;
  long long identity_increment = 1;
  std::optional<TokenRange> default_expr;
  bool primary_key = false;
  bool unique = false;
  std::string constraint_name;  ///< CONSTRAINT name before PRIMARY KEY / UNIQUE
};

struct KeyClause {
  bool primary = false;
  std::string name;
  std::vector<std::string> columns;
};

struct CreateTableStatement {
  ObjectName table;
  std::vector<ColumnClause> columns;
  std::vector<KeyClause> keys;
};

struct CreateIndexStatement {
  bool unique = false;
  std::string name;
  ObjectName table;
  std::vector<std::string> columns;
};

struct DropTableStatement {
  std::vector<ObjectName> tables;
  bool if_exists = false;
};

struct DropIndexStatement {
  std::string index;
  ObjectName table;
};

struct CreateDatabaseStatement {
  std::string name;
};

struct DropDatabaseStatement {
  std::vector<std::string> names;
  bool if_exists = false;
};

struct UseStatement {
  std::string name;
};

struct SetStatement {
  std::string option;  ///< upper case: DATEFORMAT, XACT_ABORT, NOCOUNT, ...
  std::string value;   ///< upper case: ON, OFF, DMY, a number ...
  ObjectName table;    ///< IDENTITY_INSERT
};

struct TransactionStatement {
  enum class Kind { kBegin, kCommit, kRollback, kSave };
  Kind kind = Kind::kBegin;
  std::string name;  ///< the transaction's (or savepoint's) name, as written
};

/// RAISERROR (message, severity, state [, argument ...]) [WITH option, ...]
struct RaiseErrorStatement {
  std::vector<TokenRange> args;
  bool log = false;
  bool set_error = false;
};

/// WAITFOR DELAY 'hh:mm[:ss[.mmm]]'
struct WaitForStatement {
  TokenRange delay;
};

struct ExecStatement {
  std::string procedure;
  std::vector<TokenRange> args;
  std::vector<std::string> arg_names;  ///< "@dbname" or empty
};

struct PrintStatement {
  TokenRange expr;
};

struct Statement;
using StatementPtr = std::shared_ptr<Statement>;

struct IfStatement {
  TokenRange condition;
  std::vector<StatementPtr> then_branch;
  std::vector<StatementPtr> else_branch;
};

struct BlockStatement {
  std::vector<StatementPtr> body;
};

/// One statement of a batch and the line where it starts.
struct Statement {
  int line = 1;
  size_t first_token = 0;
  std::variant<SelectStatement, InsertStatement, UpdateStatement, DeleteStatement,
               CreateTableStatement, CreateIndexStatement, DropTableStatement, DropIndexStatement,
               CreateDatabaseStatement, DropDatabaseStatement, UseStatement, SetStatement,
               TransactionStatement, ExecStatement, PrintStatement, IfStatement, BlockStatement,
               RaiseErrorStatement, WaitForStatement>
      body;
};

/// Parses a whole batch. Throws SqlError (102, 156, 105, 109, 110, ...) for a batch that SQL
/// Server would refuse to compile; nothing of such a batch runs.
std::vector<StatementPtr> ParseBatch(const std::vector<Token>& tokens);

}  // namespace sandbox
