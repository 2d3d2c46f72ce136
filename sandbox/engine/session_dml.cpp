#include <sqlite3.h>

#include <algorithm>

#include "sandbox/engine/constant_eval.h"
#include "sandbox/engine/select_translator.h"
#include "sandbox/engine/session_impl.h"
#include "sandbox/engine/sql_messages.h"

namespace sandbox {
namespace {

bool IsDefaultKeyword(const std::vector<Token>& tokens, TokenRange range) {
  return range.end == range.begin + 1 && tokens[range.begin].IsWord("DEFAULT");
}

void Bind(SqliteStmt& stmt, int index, const Value& value) {
  if (std::holds_alternative<std::int64_t>(value)) {
    stmt.BindInt(index, std::get<std::int64_t>(value));
  } else if (std::holds_alternative<double>(value)) {
    stmt.BindDouble(index, std::get<double>(value));
  } else if (std::holds_alternative<std::string>(value)) {
    stmt.BindText(index, std::get<std::string>(value));
  } else if (std::holds_alternative<Blob>(value)) {
    stmt.BindBlob(index, std::get<Blob>(value).bytes);
  } else {
    stmt.BindNull(index);
  }
}

// "UNIQUE constraint failed: T.a, T.b" -> {a, b}
std::vector<std::string> FailedColumns(const std::string& message) {
  std::vector<std::string> columns;
  size_t colon = message.find(": ");
  if (colon == std::string::npos) return columns;
  std::string list = message.substr(colon + 2);
  size_t start = 0;
  while (start < list.size()) {
    size_t comma = list.find(", ", start);
    std::string item =
        list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    size_t dot = item.find('.');
    columns.push_back(dot == std::string::npos ? item : item.substr(dot + 1));
    if (comma == std::string::npos) break;
    start = comma + 2;
  }
  return columns;
}

const KeyDef* KeyFor(const TableDef& table, const std::vector<std::string>& columns) {
  for (const KeyDef& key : table.keys) {
    if (key.kind == KeyDef::Kind::kIndex || key.columns.size() != columns.size()) continue;
    bool same = true;
    for (size_t i = 0; i < columns.size(); ++i) {
      same = same && EqualsNoCase(key.columns[i], columns[i]);
    }
    if (same) return &key;
  }
  return nullptr;
}

std::string KeyText(const TableDef& table, const KeyDef& key, const Row& values) {
  std::string out;
  for (size_t i = 0; i < key.columns.size(); ++i) {
    if (i) out += ", ";
    int index = table.FindColumn(key.columns[i]);
    if (index < 0 || static_cast<size_t>(index) >= values.size()) {
      out += "?";
      continue;
    }
    const Value& value = values[index];
    if (std::holds_alternative<std::monostate>(value)) {
      out += "<NULL>";
    } else {
      out += ValueToText(value, table.columns[index].type);
    }
  }
  return out;
}

}  // namespace

std::string SessionImpl::QualifiedTable(const DatabaseFile& file, const TableDef& table) const {
  return file.Name() + ".dbo." + table.name;
}

std::shared_ptr<const TableDef> SessionImpl::ResolveTable(const ObjectName& name,
                                                          DatabaseFile** file) {
  if (!name.schema.empty() && !EqualsNoCase(name.schema, "dbo")) {
    throw InvalidObjectName(name.written);
  }
  if (DatabaseFile::IsHiddenName(name.name)) throw InvalidObjectName(name.written);
  DatabaseFile* target = nullptr;
  try {
    target = &FileOf(name.database);
  } catch (const SqlError&) {
    throw InvalidObjectName(name.written);
  }
  std::shared_ptr<const TableDef> table = target->FindTableShared(name.name);
  if (!table) throw InvalidObjectName(name.written);
  *file = target;
  return table;
}

Value SessionImpl::DefaultValue(const ColumnDef& column, const TableDef& table,
                                DatabaseFile& file) {
  if (column.default_sql.empty()) return std::monostate{};
  Scalar scalar = EvaluateConstantText(column.default_sql, ConvertDateFormat());
  ColumnTarget target{file.Name(), table.name, column.name, column.type};
  return ConvertToColumn(scalar, target, ConvertDateFormat());
}

std::vector<std::vector<std::optional<Scalar>>> SessionImpl::SelectRows(TokenRange range,
                                                                        size_t columns,
                                                                        bool column_list) {
  QueryContext context = Context();
  SelectTranslator translator(tokens_, context);
  TranslatedQuery query = translator.Query(range);
  AttachDatabases(query.databases);
  DatabaseFile& source = Current();
  std::vector<std::vector<std::optional<Scalar>>> rows;
  try {
    SqliteStmt stmt = source.Db().Prepare(query.sql);
    bool has_row = stmt.Step();
    std::vector<ResultColumn> result = ResultColumns(stmt.Get(), query, has_row);
    if (result.size() != columns) {
      if (!column_list) throw ColumnCountMismatch();
      if (result.size() < columns) {
        throw InsertSelectCount(true);
      }
      throw InsertSelectCount(false);
    }
    // Read everything first: the target may be the source table.
    while (has_row) {
      if (sink_->Cancelled()) throw Cancelled{};
      std::vector<std::optional<Scalar>> row;
      for (size_t c = 0; c < result.size(); ++c) {
        Value value = ReadColumnValue(stmt.Get(), static_cast<int>(c), result[c].type);
        row.emplace_back(ScalarFromValue(value, result[c].type));
      }
      rows.push_back(std::move(row));
      has_row = stmt.Step();
    }
  } catch (const SqliteError& e) {
    ThrowSqlite(e, range);
  }
  return rows;
}

long long SessionImpl::ExecInsert(const InsertStatement& insert) {
  DatabaseFile* file = nullptr;
  const std::shared_ptr<const TableDef> resolved = ResolveTable(insert.table, &file);
  const TableDef& table = *resolved;
  const std::string qualified = QualifiedTable(*file, table);
  // The columns the statement gives values for.
  std::vector<int> targets;
  if (insert.columns.empty()) {
    for (size_t i = 0; i < table.columns.size(); ++i) {
      if (!table.columns[i].identity) targets.push_back(static_cast<int>(i));
    }
    if (!insert.default_values && !insert.select && !insert.rows.empty() &&
        insert.rows[0].size() != targets.size()) {
      throw ColumnCountMismatch();
    }
  } else if (last_insert_columns_.table == resolved &&
             last_insert_columns_.names == insert.columns) {
    targets = last_insert_columns_.targets;  // a script repeats its column list line by line
  } else {
    for (const std::string& name : insert.columns) {
      int index = table.FindColumn(name);
      if (index < 0) throw InvalidColumnName(name);
      if (std::find(targets.begin(), targets.end(), index) != targets.end()) {
        throw ColumnListedTwice(table.columns[index].name);
      }
      targets.push_back(index);
    }
    last_insert_columns_ = {resolved, insert.columns, targets};
  }
  if (insert.default_values) targets.clear();
  // The values of every row, evaluated before anything is written; nullopt is DEFAULT.
  std::vector<std::vector<std::optional<Scalar>>> rows;
  if (insert.default_values) rows.assign(1, {});
  const ColumnDef* identity = table.IdentityColumn();
  int identity_index = identity ? table.FindColumn(identity->name) : -1;
  bool explicit_identity = identity_index >= 0 && std::find(targets.begin(), targets.end(),
                                                            identity_index) != targets.end();
  bool identity_insert = identity_insert_.count(Upper(table.name)) > 0;
  if (explicit_identity && !identity_insert) throw IdentityInsertOff(table.name);
  if (identity_insert && identity_index >= 0 && !explicit_identity) {
    throw IdentityValueRequired(table.name);
  }
  bool has_rowversion = false;
  for (const ColumnDef& column : table.columns) {
    has_rowversion = has_rowversion || column.type.type == SqlType::Timestamp;
  }
  DateFormat format = ConvertDateFormat();
  ConstantEvaluator evaluator(tokens_, format,
                              [this](const std::string& name) -> std::optional<Scalar> {
                                std::optional<SystemValue> value = SystemValueOf(name);
                                if (!value) return std::nullopt;
                                return ScalarFromValue(value->value, value->type);
                              });
  if (insert.select) {
    rows = SelectRows(*insert.select, targets.size(), !insert.columns.empty());
  } else {
    for (const std::vector<TokenRange>& row : insert.rows) {
      std::vector<std::optional<Scalar>> values;
      for (TokenRange range : row) {
        if (IsDefaultKeyword(tokens_, range)) {
          values.emplace_back();
        } else {
          values.emplace_back(evaluator.Evaluate(range));
        }
      }
      rows.push_back(std::move(values));
    }
  }
  const std::string sql = file->InsertSql(table);

  long long inserted = 0;
  std::optional<std::int64_t> last_identity;
  // One row needs no savepoint: nothing is written before its INSERT, which SQLite undoes by
  // itself when it fails, and the identity and row version counters follow once it is in.
  const bool single_row = rows.size() == 1;
  Write(
      *file,
      [&]() {
        CachedStmt cached = file->Db().Cached(sql);
        SqliteStmt& stmt = *cached;
        const std::int64_t count = static_cast<std::int64_t>(rows.size());
        const bool reserve_identity = identity_index >= 0 && !explicit_identity && !rows.empty();
        std::int64_t next_identity = 0;
        if (reserve_identity) {
          next_identity =
              single_row ? file->PeekIdentity(table) : file->ReserveIdentity(table, count);
        }
        if (has_rowversion && !rows.empty()) {
          file->SetNextRowVersion(single_row ? file->PeekRowVersion()
                                             : file->ReserveRowVersions(count));
        }
        std::optional<std::int64_t> noted_identity;  // the single row's explicit identity value
        Row values(table.columns.size());
        std::vector<bool> given(table.columns.size());
        for (const std::vector<std::optional<Scalar>>& row : rows) {
          std::fill(given.begin(), given.end(), false);
          for (size_t k = 0; k < targets.size(); ++k) {
            int index = targets[k];
            const ColumnDef& column = table.columns[index];
            given[index] = true;
            bool is_default = !row[k].has_value();
            if (column.type.type == SqlType::Timestamp) {
              if (!is_default) throw ExplicitTimestamp();
              values[index] = Blob{RowVersionBytes(file->TakeRowVersion())};
              continue;
            }
            if (column.identity && is_default) {
              throw NullIdentityValue();
            }
            if (is_default) {
              values[index] = DefaultValue(column, table, *file);
            } else {
              const Scalar& scalar = *row[k];
              if (column.identity && scalar.kind == Scalar::Kind::kNull) {
                throw NullIdentityValue();
              }
              ColumnTarget target{file->Name(), table.name, column.name, column.type};
              values[index] = ConvertToColumn(scalar, target, format);
            }
          }
          for (size_t index = 0; index < table.columns.size(); ++index) {
            const ColumnDef& column = table.columns[index];
            if (!given[index]) {
              if (column.identity) {
                values[index] = next_identity;
                last_identity = next_identity;
                next_identity += column.identity_increment;
              } else if (column.type.type == SqlType::Timestamp) {
                values[index] = Blob{RowVersionBytes(file->TakeRowVersion())};
              } else {
                values[index] = DefaultValue(column, table, *file);
              }
            } else if (column.identity) {
              std::int64_t value = std::get<std::int64_t>(values[index]);
              if (single_row) {
                noted_identity = value;
              } else {
                file->NoteIdentity(table, value);
              }
              last_identity = value;
            }
            if (std::holds_alternative<std::monostate>(values[index]) && !column.nullable) {
              throw NullNotAllowed(column.name, qualified, "INSERT");
            }
          }
          stmt.Reset();
          for (size_t index = 0; index < values.size(); ++index) {
            Bind(stmt, static_cast<int>(index) + 1, values[index]);
          }
          try {
            stmt.Step();
          } catch (const SqliteError& e) {
            std::string message = e.what();
            if (message.find("UNIQUE constraint failed") != std::string::npos) {
              std::vector<std::string> columns = FailedColumns(message);
              // A rowid primary key reports itself as the column name alone.
              const KeyDef* key = KeyFor(table, columns);
              if (key && key->kind == KeyDef::Kind::kUniqueIndex) {
                throw DuplicateIndexKey("dbo." + table.name, key->name,
                                        KeyText(table, *key, values));
              }
              if (key) {
                throw DuplicateKey(key->kind == KeyDef::Kind::kPrimary, key->name,
                                   "dbo." + table.name, KeyText(table, *key, values));
              }
            }
            ThrowSqlite(e, {});
          }
          ++inserted;
        }
        if (single_row) {
          if (reserve_identity) file->ReserveIdentity(table, 1);
          if (noted_identity) file->NoteIdentity(table, *noted_identity);
          if (has_rowversion) file->ReserveRowVersions(1);
        }
      },
      /*savepoint=*/!single_row);
  if (last_identity) last_identity_ = last_identity;
  return inserted;
}

long long SessionImpl::ExecUpdate(const UpdateStatement& update) {
  DatabaseFile* file = nullptr;
  const std::shared_ptr<const TableDef> resolved = ResolveTable(update.table, &file);
  const TableDef& table = *resolved;
  const std::string qualified = QualifiedTable(*file, table);
  QueryContext context = Context();
  SelectTranslator translator(tokens_, context);
  DateFormat format = ConvertDateFormat();
  ConstantEvaluator evaluator(tokens_, format);
  std::string sql = "UPDATE " + QuoteIdent(table.name) + " SET ";
  Row constants;
  std::vector<int> assigned;
  for (const auto& [name, range] : update.assignments) {
    int index = table.FindColumn(name);
    if (index < 0) throw InvalidColumnName(name);
    const ColumnDef& column = table.columns[index];
    if (column.identity) throw CannotUpdateIdentity(column.name);
    if (column.type.type == SqlType::Timestamp) throw CannotUpdateTimestamp();
    if (std::find(assigned.begin(), assigned.end(), index) != assigned.end()) {
      throw ColumnListedTwice(column.name);
    }
    if (!assigned.empty()) sql += ", ";
    assigned.push_back(index);
    sql += QuoteIdent(column.name) + " = ";
    if (IsDefaultKeyword(tokens_, range)) {
      constants.push_back(DefaultValue(column, table, *file));
    } else {
      std::optional<Scalar> scalar;
      try {
        scalar = evaluator.Evaluate(range);
      } catch (const SqlError& e) {
        if (e.number != 128 && e.number != 102 && e.number != 156) throw;
      }
      if (!scalar) {
        sql += "(" + translator.Expression(range) + ")";
        continue;
      }
      ColumnTarget target{file->Name(), table.name, column.name, column.type};
      constants.push_back(ConvertToColumn(*scalar, target, format));
    }
    if (std::holds_alternative<std::monostate>(constants.back()) && !column.nullable) {
      throw NullNotAllowed(column.name, qualified, "UPDATE");
    }
    sql += "?" + std::to_string(constants.size());
  }
  for (const ColumnDef& column : table.columns) {
    if (column.type.type == SqlType::Timestamp) {
      sql += ", " + QuoteIdent(column.name) + " = __devir_rowversion()";
    }
  }
  std::string where;
  if (update.where) where = " WHERE " + translator.Expression(*update.where);
  sql += where;
  AttachDatabases(translator.Databases());
  long long changed = 0;
  Write(*file, [&]() {
    for (const ColumnDef& column : table.columns) {
      if (column.type.type != SqlType::Timestamp) continue;
      SqliteStmt count =
          file->Db().Prepare("SELECT COUNT(*) FROM " + QuoteIdent(table.name) + where);
      count.Step();
      file->SetNextRowVersion(file->ReserveRowVersions(std::max<std::int64_t>(1, count.Int(0))));
      break;
    }
    SqliteStmt stmt;
    try {
      stmt = file->Db().Prepare(sql);
      for (size_t i = 0; i < constants.size(); ++i)
        Bind(stmt, static_cast<int>(i) + 1, constants[i]);
      stmt.Step();
    } catch (const SqliteError& e) {
      std::string message = e.what();
      if (message.find("UNIQUE constraint failed") != std::string::npos) {
        const KeyDef* key = KeyFor(table, FailedColumns(message));
        Row values(table.columns.size());
        for (size_t i = 0, c = 0; i < assigned.size(); ++i) {
          if (c < constants.size()) values[assigned[i]] = constants[c++];
        }
        if (key && key->kind == KeyDef::Kind::kUniqueIndex) {
          throw DuplicateIndexKey("dbo." + table.name, key->name, KeyText(table, *key, values));
        }
        if (key) {
          throw DuplicateKey(key->kind == KeyDef::Kind::kPrimary, key->name, "dbo." + table.name,
                             KeyText(table, *key, values));
        }
      }
      if (message.find("NOT NULL constraint failed") != std::string::npos) {
        std::vector<std::string> columns = FailedColumns(message);
        throw NullNotAllowed(columns.empty() ? "" : columns[0], qualified, "UPDATE");
      }
      ThrowSqlite(e, update.where ? *update.where : TokenRange{});
    }
    changed = file->Db().Changes();
  });
  return changed;
}

long long SessionImpl::ExecDelete(const DeleteStatement& del) {
  DatabaseFile* file = nullptr;
  const std::shared_ptr<const TableDef> resolved = ResolveTable(del.table, &file);
  const TableDef& table = *resolved;
  QueryContext context = Context();
  SelectTranslator translator(tokens_, context);
  std::string sql = "DELETE FROM " + QuoteIdent(table.name);
  if (del.where) sql += " WHERE " + translator.Expression(*del.where);
  AttachDatabases(translator.Databases());
  long long changed = 0;
  Write(*file, [&]() {
    try {
      file->Db().Exec(sql);
    } catch (const SqliteError& e) {
      ThrowSqlite(e, del.where ? *del.where : TokenRange{});
    }
    changed = file->Db().Changes();
    if (del.truncate) {
      SqliteStmt reset =
          file->Db().Prepare("UPDATE __devir_tables SET identity_current = NULL WHERE name = ?");
      reset.BindText(1, table.name);
      reset.Step();
      file->ForgetCounters();
    }
  });
  return changed;
}

}  // namespace sandbox
