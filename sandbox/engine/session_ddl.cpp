#include <cstdio>
#include <functional>

#include "sandbox/engine/constant_eval.h"
#include "sandbox/engine/session_impl.h"
#include "sandbox/engine/sql_messages.h"

namespace sandbox {
namespace {

// SQL Server's generated constraint name: PK__TABLENAM__3214EC27A1B2C3D4.
std::string ConstraintName(const char* prefix, const std::string& table,
                           const std::vector<std::string>& columns) {
  std::string seed = table;
  for (const std::string& column : columns) seed += "." + Upper(column);
  std::uint64_t hash = std::hash<std::string>{}(Upper(seed)) ^ 0x9E3779B97F4A7C15ULL;
  char hex[20];
  std::snprintf(hex, sizeof hex, "%016llX", static_cast<unsigned long long>(hash));
  return std::string(prefix) + "__" + table.substr(0, 8) + "__" + hex;
}

std::string JoinTokens(const std::vector<Token>& tokens, TokenRange range) {
  std::string out;
  for (size_t i = range.begin; i < range.end; ++i) {
    const Token& token = tokens[i];
    if (!out.empty() && !(token.IsOp(")") || token.IsOp(",")) && out.back() != '(') out += ' ';
    out += token.text;
  }
  return out;
}

// A DEFAULT written as (0) or ((1)) loses its outer parentheses.
TokenRange StripParens(const std::vector<Token>& tokens, TokenRange range) {
  while (range.end - range.begin >= 2 && tokens[range.begin].IsOp("(") &&
         tokens[range.end - 1].IsOp(")")) {
    int depth = 0;
    bool outer = true;
    for (size_t i = range.begin; i < range.end - 1; ++i) {
      if (tokens[i].IsOp("(")) ++depth;
      if (tokens[i].IsOp(")")) --depth;
      if (depth == 0) outer = false;
    }
    if (!outer) break;
    ++range.begin;
    --range.end;
  }
  return range;
}

void CheckNoTransaction(int trancount, const char* statement) {
  if (trancount > 0) {
    throw SqlError(
        226, 16, 6,
        std::string(statement) + " statement not allowed within multi-statement transaction.");
  }
}

}  // namespace

void SessionImpl::ExecCreateTable(const CreateTableStatement& create) {
  if (!create.table.schema.empty() && !EqualsNoCase(create.table.schema, "dbo")) {
    throw SqlError(2760, 16, 1,
                   "The specified schema name \"" + create.table.schema +
                       "\" either does not exist or you do not have permission to use it.");
  }
  if (create.table.name.rfind('#', 0) == 0) throw NotSupported("temporary tables");
  DatabaseFile& file = FileOf(create.table.database);
  if (file.FindTable(create.table.name) || DatabaseFile::IsHiddenName(create.table.name)) {
    throw ObjectExists(create.table.name);
  }
  TableDef table;
  table.name = create.table.name;
  int number = 0;
  for (const ColumnClause& clause : create.columns) {
    ++number;
    std::optional<ColumnType> type =
        MakeColumnType(clause.type_name, clause.type_args, clause.name);
    if (!type) throw UnknownType(number, clause.type_name);
    if (table.FindColumn(clause.name) >= 0) throw DuplicateColumnName(clause.name);
    ColumnDef column;
    column.name = clause.name;
    column.type = *type;
    column.nullable = clause.nullable && !clause.identity && !clause.primary_key;
    column.identity = clause.identity;
    column.identity_seed = clause.identity_seed;
    column.identity_increment = clause.identity_increment;
    if (clause.identity) {
      bool integral =
          (IsIntegerType(type->type) && type->type != SqlType::Bit) ||
          ((type->type == SqlType::Decimal || type->type == SqlType::Numeric) && type->scale == 0);
      if (!integral) {
        throw SqlError(2749, 16, 2,
                       "Identity column '" + clause.name +
                           "' must be of data type int, bigint, smallint, tinyint, or decimal or "
                           "numeric with a scale of 0, and constrained to be nonnullable.");
      }
      if (table.IdentityColumn()) throw MultipleIdentity(table.name);
      if (clause.identity_increment == 0) {
        throw SqlError(2750, 16, 1, "Identity increment cannot be zero.");
      }
    }
    if (clause.default_expr) {
      if (clause.identity) {
        throw SqlError(1754, 16, 0,
                       "Defaults cannot be created on columns with an IDENTITY attribute. Table '" +
                           table.name + "', column '" + clause.name + "'.");
      }
      column.default_sql = JoinTokens(tokens_, StripParens(tokens_, *clause.default_expr));
      // A default that cannot be evaluated is refused now rather than at every INSERT.
      try {
        EvaluateConstantText(column.default_sql, ConvertDateFormat());
      } catch (const SqlError& e) {
        if (e.number == 128 || e.number == 102 || e.number == 156) {
          throw SqlError(128, 15, 1,
                         "The name \"" + column.default_sql +
                             "\" is not permitted in this context. Valid expressions are "
                             "constants, constant expressions, and (in some contexts) variables. "
                             "Column names are not permitted.");
        }
      }
    }
    table.columns.push_back(std::move(column));
  }
  auto add_key = [&](bool primary, std::string name, std::vector<std::string> columns) {
    for (std::string& column : columns) {
      int index = table.FindColumn(column);
      if (index < 0) {
        throw SqlError(1911, 16, 1,
                       "Column name '" + column + "' does not exist in the target table or view.");
      }
      column = table.columns[index].name;
      if (primary) table.columns[index].nullable = false;
    }
    if (primary) {
      for (const KeyDef& key : table.keys) {
        if (key.kind == KeyDef::Kind::kPrimary) throw MultiplePrimaryKeys(table.name);
      }
    }
    if (name.empty()) name = ConstraintName(primary ? "PK" : "UQ", table.name, columns);
    table.keys.push_back(
        KeyDef{name, primary ? KeyDef::Kind::kPrimary : KeyDef::Kind::kUnique, columns});
  };
  for (const ColumnClause& clause : create.columns) {
    if (clause.primary_key) add_key(true, clause.constraint_name, {clause.name});
    if (clause.unique)
      add_key(false, clause.primary_key ? std::string() : clause.constraint_name, {clause.name});
  }
  for (const KeyClause& key : create.keys) add_key(key.primary, key.name, key.columns);
  Write(file, [&]() { file.CreateTable(table); });
}

void SessionImpl::ExecCreateIndex(const CreateIndexStatement& create) {
  DatabaseFile& file = FileOf(create.table.database);
  const TableDef* found = file.FindTable(create.table.name);
  if (!found || DatabaseFile::IsHiddenName(create.table.name)) {
    throw SqlError(1088, 16, 12,
                   "Cannot find the object \"" + create.table.written +
                       "\" because it does not exist or you do not have permissions.");
  }
  TableDef table = *found;
  KeyDef key;
  key.name = create.name;
  key.kind = create.unique ? KeyDef::Kind::kUniqueIndex : KeyDef::Kind::kIndex;
  for (const std::string& column : create.columns) {
    int index = table.FindColumn(column);
    if (index < 0) {
      throw SqlError(1911, 16, 1,
                     "Column name '" + column + "' does not exist in the target table or view.");
    }
    key.columns.push_back(table.columns[index].name);
  }
  for (const KeyDef& existing : table.keys) {
    if (EqualsNoCase(existing.name, key.name)) throw IndexExists(key.name, table.name);
  }
  Write(file, [&]() {
    try {
      file.CreateIndex(table.name, key);
    } catch (const SqliteError& e) {
      if (std::string(e.what()).find("UNIQUE constraint failed") != std::string::npos) {
        throw SqlError(1505, 16, 1,
                       "The CREATE UNIQUE INDEX statement terminated because a duplicate key was "
                       "found for the object name 'dbo." +
                           table.name + "' and the index name '" + key.name + "'.");
      }
      throw;
    }
  });
}

void SessionImpl::ExecDropTable(const DropTableStatement& drop) {
  for (const ObjectName& name : drop.tables) {
    DatabaseFile* file = nullptr;
    const TableDef* table = nullptr;
    try {
      file = &FileOf(name.database);
      if (!DatabaseFile::IsHiddenName(name.name)) table = file->FindTable(name.name);
    } catch (const SqlError&) {
    }
    if (!table) {
      if (drop.if_exists) continue;
      throw CannotDropTable(name.written);
    }
    std::string real = table->name;
    Write(*file, [&]() { file->DropTable(real); });
    identity_insert_.erase(Upper(real));
  }
}

void SessionImpl::ExecDropIndex(const DropIndexStatement& drop) {
  DatabaseFile& file = FileOf(drop.table.database);
  const TableDef* table = file.FindTable(drop.table.name);
  const KeyDef* key = nullptr;
  if (table) {
    for (const KeyDef& k : table->keys) {
      if (EqualsNoCase(k.name, drop.index) &&
          (k.kind == KeyDef::Kind::kIndex || k.kind == KeyDef::Kind::kUniqueIndex)) {
        key = &k;
      }
    }
  }
  if (!key) throw CannotDropIndex(drop.table.name + "." + drop.index);
  std::string table_name = table->name;
  std::string index_name = key->name;
  Write(file, [&]() { file.DropIndex(table_name, index_name); });
}

void SessionImpl::ExecCreateDatabase(const CreateDatabaseStatement& create) {
  CheckNoTransaction(trancount_, "CREATE DATABASE");
  catalog_.Create(create.name);
}

void SessionImpl::ExecDropDatabase(const DropDatabaseStatement& drop) {
  if (trancount_ > 0) {
    throw SqlError(574, 16, 0, "DROP DATABASE statement cannot be used inside a user transaction.");
  }
  for (const std::string& name : drop.names) {
    if (drop.if_exists && !catalog_.Find(name)) continue;
    catalog_.Drop(name);
  }
}

void SessionImpl::ExecUse(const UseStatement& use, int line) {
  std::optional<DatabaseEntry> entry = catalog_.Find(use.name);
  if (!entry) throw DatabaseNotFound(use.name);
  std::string old = database_;
  Open(entry->name);
  database_ = entry->name;
  CloseUnused();
  sink_->DatabaseChanged(database_, old);
  sink_->Info(5701, 1, 0, ChangedDatabaseText(database_), line);
}

void SessionImpl::ExecSet(const SetStatement& set) {
  const std::string& option = set.option;
  const std::string& value = set.value;
  auto on_off = [&]() {
    if (value == "ON") return true;
    if (value == "OFF") return false;
    throw IncorrectSyntax(value, 0);
  };
  if (option == "DATEFORMAT") {
    static const std::pair<const char*, DateOrder> kOrders[] = {
        {"MDY", DateOrder::kMdy}, {"DMY", DateOrder::kDmy}, {"YMD", DateOrder::kYmd},
        {"YDM", DateOrder::kYdm}, {"MYD", DateOrder::kMyd}, {"DYM", DateOrder::kDym}};
    for (const auto& [name, order] : kOrders) {
      if (value == name) {
        date_order_ = order;
        return;
      }
    }
    throw SqlError(2741, 16, 1, "SET DATEFORMAT date order '" + value + "' is invalid.");
  }
  if (option == "XACT_ABORT") {
    xact_abort_ = on_off();
    return;
  }
  if (option == "NOCOUNT") {
    nocount_ = on_off();
    return;
  }
  if (option == "IDENTITY_INSERT") {
    DatabaseFile* file = nullptr;
    const std::shared_ptr<const TableDef> resolved = ResolveTable(set.table, &file);
    const TableDef& table = *resolved;
    if (!table.IdentityColumn()) {
      throw SqlError(8106, 16, 1,
                     "Table '" + table.name +
                         "' does not have the identity property. Cannot perform SET operation.");
    }
    if (on_off()) {
      identity_insert_.insert(Upper(table.name));
    } else {
      identity_insert_.erase(Upper(table.name));
    }
    return;
  }
  if (option == "LANGUAGE") {
    std::string upper = Upper(value);
    if (upper == "US_ENGLISH" || upper == "ENGLISH") {
      language_ = "us_english";
      date_order_ = DateOrder::kMdy;
    } else if (upper == "TURKISH" || upper == "TÜRKÇE" || upper == "BRITISH" || upper == "FRENCH" ||
               upper == "GERMAN" || upper == "DEUTSCH") {
      language_ = upper == "TÜRKÇE" ? "Turkish" : value;
      date_order_ = DateOrder::kDmy;
    } else {
      throw SqlError(2732, 16, 1, "Error number 2732: language '" + value + "' is not supported.");
    }
    return;
  }
  if (option == "LOCK_TIMEOUT") {
    lock_timeout_ms_ = std::atoi(value.c_str());
    for (auto& [key, file] : files_) file->Db().SetBusyTimeout(lock_timeout_ms_);
    return;
  }
  if (option == "IMPLICIT_TRANSACTIONS" && value == "ON") {
    throw NotSupported("SET IMPLICIT_TRANSACTIONS ON");
  }
  static const char* kIgnored[] = {"ANSI_NULLS",
                                   "ANSI_PADDING",
                                   "ANSI_WARNINGS",
                                   "ANSI_NULL_DFLT_ON",
                                   "ANSI_NULL_DFLT_OFF",
                                   "ANSI_DEFAULTS",
                                   "QUOTED_IDENTIFIER",
                                   "CONCAT_NULL_YIELDS_NULL",
                                   "ARITHABORT",
                                   "ARITHIGNORE",
                                   "NUMERIC_ROUNDABORT",
                                   "TEXTSIZE",
                                   "DATEFIRST",
                                   "DEADLOCK_PRIORITY",
                                   "TRANSACTION",
                                   "ROWCOUNT",
                                   "STATISTICS",
                                   "CURSOR_CLOSE_ON_COMMIT",
                                   "IMPLICIT_TRANSACTIONS",
                                   "FMTONLY",
                                   "NOEXEC",
                                   "PARSEONLY",
                                   "QUERY_GOVERNOR_COST_LIMIT",
                                   "SHOWPLAN_ALL",
                                   "SHOWPLAN_TEXT",
                                   "SHOWPLAN_XML",
                                   "FORCEPLAN",
                                   "CONTEXT_INFO",
                                   "NO_BROWSETABLE"};
  for (const char* ignored : kIgnored) {
    if (option == ignored) return;
  }
  throw SqlError(195, 15, 1, "'" + option + "' is not a recognized SET option.");
}

void SessionImpl::ExecTransaction(const TransactionStatement& statement) {
  switch (statement.kind) {
    case TransactionStatement::Kind::kBegin:
      BeginTran();
      break;
    case TransactionStatement::Kind::kCommit:
      CommitTran();
      break;
    case TransactionStatement::Kind::kRollback:
      RollbackTran();
      break;
    case TransactionStatement::Kind::kSave:
      throw NotSupported("SAVE TRANSACTION");
  }
}

void SessionImpl::ExecProcedure(const ExecStatement& exec) {
  std::string name = Upper(exec.procedure);
  ConstantEvaluator evaluator(tokens_, ConvertDateFormat());
  auto text_args = [&]() {
    std::vector<std::string> out;
    for (TokenRange range : exec.args) {
      Scalar value = evaluator.Evaluate(range);
      if (value.kind == Scalar::Kind::kInt) {
        out.push_back(std::to_string(value.int_value));
      } else {
        out.push_back(value.text);
      }
    }
    return out;
  };
  if (name == "SP_ATTACH_DB") {
    std::vector<std::string> args = text_args();
    if (args.empty()) throw ProcedureArgumentMissing("sp_attach_db", "@dbname");
    if (args.size() < 2) throw ProcedureArgumentMissing("sp_attach_db", "@filename1");
    if (args.size() > 17) throw TooManyArguments("sp_attach_db");
    CheckNoTransaction(trancount_, "CREATE DATABASE");
    catalog_.Attach(args[0], std::vector<std::string>(args.begin() + 1, args.end()));
    return;
  }
  if (name == "SP_DETACH_DB") {
    std::vector<std::string> args = text_args();
    if (args.empty()) throw ProcedureArgumentMissing("sp_detach_db", "@dbname");
    if (args.size() > 3) throw TooManyArguments("sp_detach_db");
    CheckNoTransaction(trancount_, "ALTER DATABASE");
    catalog_.Detach(args[0]);
    return;
  }
  throw StoredProcedureNotFound(exec.procedure);
}

}  // namespace sandbox
