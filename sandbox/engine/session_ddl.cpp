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

}  // namespace

void SessionImpl::CheckNoTransaction(const char* statement) const {
  if (trancount_ > 0) throw NotInTransaction(statement);
}

void SessionImpl::ExecCreateTable(const CreateTableStatement& create) {
  if (!create.table.schema.empty() && !EqualsNoCase(create.table.schema, "dbo")) {
    throw UnknownSchema(create.table.schema);
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
        throw IdentityType(clause.name);
      }
      if (table.IdentityColumn()) throw MultipleIdentity(table.name);
      if (clause.identity_increment == 0) {
        throw IdentityIncrementZero();
      }
    }
    if (clause.default_expr) {
      if (clause.identity) {
        throw DefaultOnIdentity(table.name, clause.name);
      }
      column.default_sql = JoinTokens(tokens_, StripParens(tokens_, *clause.default_expr));
      // A default that cannot be evaluated is refused now rather than at every INSERT.
      try {
        EvaluateConstantText(column.default_sql, ConvertDateFormat());
      } catch (const SqlError& e) {
        if (e.number == 128 || e.number == 102 || e.number == 156) {
          throw NameNotPermitted(column.default_sql);
        }
      }
    }
    table.columns.push_back(std::move(column));
  }
  auto add_key = [&](bool primary, std::string name, std::vector<std::string> columns) {
    for (std::string& column : columns) {
      int index = table.FindColumn(column);
      if (index < 0) {
        throw NoSuchTargetColumn(column);
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
    throw CannotFindObject(create.table.written);
  }
  TableDef table = *found;
  KeyDef key;
  key.name = create.name;
  key.kind = create.unique ? KeyDef::Kind::kUniqueIndex : KeyDef::Kind::kIndex;
  for (const std::string& column : create.columns) {
    int index = table.FindColumn(column);
    if (index < 0) {
      throw NoSuchTargetColumn(column);
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
        throw DuplicateKeyOnIndex(table.name, key.name);
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
  CheckNoTransaction("CREATE DATABASE");
  catalog_.Create(create.name);
}

void SessionImpl::ExecDropDatabase(const DropDatabaseStatement& drop) {
  if (trancount_ > 0) {
    throw DropDatabaseInTransaction();
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
  using Handler = void (*)(SessionImpl&, const SetStatement&);
  // Every SET option the stand-in takes; those it only accepts change nothing here.
  static constexpr Handler kAccepted = [](SessionImpl&, const SetStatement&) {};
  static const std::pair<const char*, Handler> kOptions[] = {
      {"DATEFORMAT",
       [](SessionImpl& s, const SetStatement& o) { s.date_order_ = DateOrderOf(o.value); }},
      {"XACT_ABORT", [](SessionImpl& s, const SetStatement& o) { s.xact_abort_ = OnOff(o.value); }},
      {"NOCOUNT", [](SessionImpl& s, const SetStatement& o) { s.nocount_ = OnOff(o.value); }},
      {"IDENTITY_INSERT", [](SessionImpl& s, const SetStatement& o) { s.SetIdentityInsert(o); }},
      {"LANGUAGE", [](SessionImpl& s, const SetStatement& o) { s.SetLanguage(o.value); }},
      {"LOCK_TIMEOUT",
       [](SessionImpl& s, const SetStatement& o) { s.SetLockTimeout(std::atoi(o.value.c_str())); }},
      {"IMPLICIT_TRANSACTIONS",
       [](SessionImpl&, const SetStatement& o) {
         if (OnOff(o.value)) throw NotSupported("SET IMPLICIT_TRANSACTIONS ON");
       }},
      {"ANSI_NULLS", kAccepted},
      {"ANSI_PADDING", kAccepted},
      {"ANSI_WARNINGS", kAccepted},
      {"ANSI_NULL_DFLT_ON", kAccepted},
      {"ANSI_NULL_DFLT_OFF", kAccepted},
      {"ANSI_DEFAULTS", kAccepted},
      {"QUOTED_IDENTIFIER", kAccepted},
      {"CONCAT_NULL_YIELDS_NULL", kAccepted},
      {"ARITHABORT", kAccepted},
      {"ARITHIGNORE", kAccepted},
      {"NUMERIC_ROUNDABORT", kAccepted},
      {"TEXTSIZE", kAccepted},
      {"DATEFIRST", kAccepted},
      {"DEADLOCK_PRIORITY", kAccepted},
      {"TRANSACTION", kAccepted},
      {"ROWCOUNT", kAccepted},
      {"STATISTICS", kAccepted},
      {"CURSOR_CLOSE_ON_COMMIT", kAccepted},
      {"FMTONLY", kAccepted},
      {"NOEXEC", kAccepted},
      {"PARSEONLY", kAccepted},
      {"QUERY_GOVERNOR_COST_LIMIT", kAccepted},
      {"SHOWPLAN_ALL", kAccepted},
      {"SHOWPLAN_TEXT", kAccepted},
      {"SHOWPLAN_XML", kAccepted},
      {"FORCEPLAN", kAccepted},
      {"CONTEXT_INFO", kAccepted},
      {"NO_BROWSETABLE", kAccepted},
  };
  for (const auto& [option, handler] : kOptions) {
    if (set.option == option) return handler(*this, set);
  }
  throw UnknownSetOption(set.option);
}

SessionImpl::DateOrder SessionImpl::DateOrderOf(const std::string& value) {
  static const std::pair<const char*, DateOrder> kOrders[] = {
      {"MDY", DateOrder::kMdy}, {"DMY", DateOrder::kDmy}, {"YMD", DateOrder::kYmd},
      {"YDM", DateOrder::kYdm}, {"MYD", DateOrder::kMyd}, {"DYM", DateOrder::kDym}};
  for (const auto& [name, order] : kOrders) {
    if (value == name) return order;
  }
  throw InvalidDateFormat(value);
}

bool SessionImpl::OnOff(const std::string& value) {
  if (value == "ON") return true;
  if (value == "OFF") return false;
  throw IncorrectSyntax(value, 0);
}

void SessionImpl::SetIdentityInsert(const SetStatement& set) {
  DatabaseFile* file = nullptr;
  const std::shared_ptr<const TableDef> resolved = ResolveTable(set.table, &file);
  const TableDef& table = *resolved;
  if (!table.IdentityColumn()) throw NoIdentityProperty(table.name);
  if (OnOff(set.value)) {
    identity_insert_.insert(Upper(table.name));
  } else {
    identity_insert_.erase(Upper(table.name));
  }
}

void SessionImpl::SetLanguage(const std::string& value) {
  // The languages whose date order is day-month-year; us_english reads month-day-year.
  static const char* kDayFirst[] = {"TURKISH", "TÜRKÇE", "BRITISH", "FRENCH", "GERMAN", "DEUTSCH"};
  const std::string upper = Upper(value);
  if (upper == "US_ENGLISH" || upper == "ENGLISH") {
    language_ = "us_english";
    date_order_ = DateOrder::kMdy;
    return;
  }
  for (const char* language : kDayFirst) {
    if (upper != language) continue;
    language_ = upper == "TÜRKÇE" ? "Turkish" : value;
    date_order_ = DateOrder::kDmy;
    return;
  }
  throw UnsupportedLanguage(value);
}

void SessionImpl::SetLockTimeout(int milliseconds) {
  lock_timeout_ms_ = milliseconds;
  for (auto& [key, file] : files_) file->Db().SetBusyTimeout(lock_timeout_ms_);
}

void SessionImpl::ExecTransaction(const TransactionStatement& statement) {
  switch (statement.kind) {
    case TransactionStatement::Kind::kBegin:
      BeginTran();
      if (trancount_ == 1) transaction_name_ = statement.name;
      break;
    case TransactionStatement::Kind::kCommit:
      CommitTran();
      break;
    case TransactionStatement::Kind::kRollback:
      RollbackTran(statement.name);
      break;
    case TransactionStatement::Kind::kSave:
      SaveTran(statement.name);
      break;
  }
}

}  // namespace sandbox
