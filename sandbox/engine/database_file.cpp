#include "sandbox/engine/database_file.h"

#include <sqlite3.h>

#include "sandbox/engine/tsql_functions.h"
#include "sandbox/engine/tsql_lexer.h"

namespace sandbox {
namespace {

constexpr const char* kMarker = "devir-sandbox database 1";
constexpr const char* kSetIdentity =
    "UPDATE __devir_tables SET identity_current = ? WHERE name = ?";

std::string JoinColumns(const std::vector<std::string>& columns) {
  std::string out;
  for (const std::string& c : columns) {
    if (!out.empty()) out += ',';
    out += c;
  }
  return out;
}

std::vector<std::string> SplitColumns(const std::string& text) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= text.size() && !text.empty()) {
    size_t comma = text.find(',', start);
    out.push_back(
        text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return out;
}

std::string QuotedList(const std::vector<std::string>& columns) {
  std::string out;
  for (const std::string& c : columns) {
    if (!out.empty()) out += ", ";
    out += QuoteIdent(c);
  }
  return out;
}

const char* KindText(KeyDef::Kind kind) {
  switch (kind) {
    case KeyDef::Kind::kPrimary:
      return "PK";
    case KeyDef::Kind::kUnique:
      return "UQ";
    case KeyDef::Kind::kUniqueIndex:
      return "UX";
    case KeyDef::Kind::kIndex:
      return "IX";
  }
  return "IX";
}

KeyDef::Kind KindFromText(const std::string& text) {
  if (text == "PK") return KeyDef::Kind::kPrimary;
  if (text == "UQ") return KeyDef::Kind::kUnique;
  if (text == "UX") return KeyDef::Kind::kUniqueIndex;
  return KeyDef::Kind::kIndex;
}

void RowVersionFunction(sqlite3_context* context, int, sqlite3_value**) {
  auto* file = static_cast<DatabaseFile*>(sqlite3_user_data(context));
  std::string bytes = RowVersionBytes(file->TakeRowVersion());
  sqlite3_result_blob(context, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
}

// The memo key: every argument with its storage class.
std::string MemoKey(int argc, sqlite3_value** argv) {
  std::string key;
  for (int i = 0; i < argc; ++i) {
    int type = sqlite3_value_type(argv[i]);
    key += static_cast<char>('0' + type);
    if (type == SQLITE_NULL) continue;
    const void* data = type == SQLITE_BLOB ? sqlite3_value_blob(argv[i])
                                           : static_cast<const void*>(sqlite3_value_text(argv[i]));
    int size = sqlite3_value_bytes(argv[i]);
    key += std::to_string(size) + ":";
    if (data) key.append(static_cast<const char*>(data), static_cast<size_t>(size));
  }
  return key;
}

void MemoResult(sqlite3_context* context, const Value& value) {
  if (const auto* i = std::get_if<std::int64_t>(&value)) return sqlite3_result_int64(context, *i);
  if (const auto* d = std::get_if<double>(&value)) return sqlite3_result_double(context, *d);
  if (const auto* t = std::get_if<std::string>(&value)) {
    return sqlite3_result_text64(context, t->data(), t->size(), SQLITE_TRANSIENT, SQLITE_UTF8);
  }
  if (const auto* b = std::get_if<Blob>(&value)) {
    return sqlite3_result_blob64(context, b->bytes.data(), b->bytes.size(), SQLITE_TRANSIENT);
  }
  sqlite3_result_null(context);
}

void MemoHas(sqlite3_context* context, int argc, sqlite3_value** argv) {
  auto* file = static_cast<DatabaseFile*>(sqlite3_user_data(context));
  sqlite3_result_int(context, file->FindMemo(MemoKey(argc, argv)) ? 1 : 0);
}

void MemoGet(sqlite3_context* context, int argc, sqlite3_value** argv) {
  auto* file = static_cast<DatabaseFile*>(sqlite3_user_data(context));
  const Value* value = file->FindMemo(MemoKey(argc, argv));
  if (!value) return sqlite3_result_null(context);
  MemoResult(context, *value);
}

void MemoPut(sqlite3_context* context, int argc, sqlite3_value** argv) {
  auto* file = static_cast<DatabaseFile*>(sqlite3_user_data(context));
  sqlite3_value* last = argv[argc - 1];
  Value value;
  switch (sqlite3_value_type(last)) {
    case SQLITE_INTEGER:
      value = static_cast<std::int64_t>(sqlite3_value_int64(last));
      break;
    case SQLITE_FLOAT:
      value = sqlite3_value_double(last);
      break;
    case SQLITE_TEXT: {
      const unsigned char* text = sqlite3_value_text(last);
      if (text) {
        value = std::string(reinterpret_cast<const char*>(text),
                            static_cast<size_t>(sqlite3_value_bytes(last)));
      }
      break;
    }
    case SQLITE_BLOB: {
      const void* blob = sqlite3_value_blob(last);
      value = Blob{blob ? std::string(static_cast<const char*>(blob),
                                      static_cast<size_t>(sqlite3_value_bytes(last)))
                        : std::string()};
      break;
    }
    default:
      break;
  }
  file->PutMemo(MemoKey(argc - 1, argv), value);
  MemoResult(context, value);
}

}  // namespace

std::string RowVersionBytes(std::uint64_t value) {
  std::string bytes(8, '\0');
  for (int i = 7; i >= 0; --i) {
    bytes[i] = static_cast<char>(value & 0xFF);
    value >>= 8;
  }
  return bytes;
}

DatabaseFile::DatabaseFile(const std::filesystem::path& file, std::string name)
    : db_(file, false), name_(std::move(name)) {
  RegisterTsqlFunctions(db_);
  int rc = sqlite3_create_function_v2(db_.Get(), "__devir_rowversion", 0, SQLITE_UTF8, this,
                                      RowVersionFunction, nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) throw SqliteError(rc, sqlite3_errmsg(db_.Get()));
  struct {
    const char* name;
    void (*fn)(sqlite3_context*, int, sqlite3_value**);
  } const memo[] = {
      {"__devir_memo_has", MemoHas}, {"__devir_memo_get", MemoGet}, {"__devir_memo_put", MemoPut}};
  for (const auto& f : memo) {
    rc = sqlite3_create_function_v2(db_.Get(), f.name, -1, SQLITE_UTF8 | SQLITE_DIRECTONLY, this,
                                    f.fn, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) throw SqliteError(rc, sqlite3_errmsg(db_.Get()));
  }
  sqlite3_commit_hook(db_.Get(), OnCommit, this);
  sqlite3_rollback_hook(db_.Get(), OnRollback, this);
  db_.Exec("PRAGMA cache_size=-32768; PRAGMA temp_store=MEMORY;");
  SqliteStmt check = db_.Prepare("SELECT value FROM __devir_database WHERE key = 'format'");
  if (!check.Step()) throw SqliteError(SQLITE_NOTADB, "not a stand-in database");
}

void DatabaseFile::Create(const std::filesystem::path& file, const std::string& name) {
  SqliteDb db(file, true);
  db.Exec(
      "BEGIN;"
      "CREATE TABLE __devir_database(key TEXT PRIMARY KEY, value TEXT);"
      "CREATE TABLE __devir_tables(name TEXT PRIMARY KEY COLLATE NOCASE, seq INTEGER,"
      " identity_current INTEGER);"
      "CREATE TABLE __devir_columns(table_name TEXT COLLATE NOCASE, ordinal INTEGER, name TEXT,"
      " type INTEGER, length INTEGER, precision INTEGER, scale INTEGER, nullable INTEGER,"
      " is_identity INTEGER, identity_seed INTEGER, identity_increment INTEGER,"
      " default_sql TEXT, PRIMARY KEY(table_name, ordinal));"
      "CREATE TABLE __devir_keys(table_name TEXT COLLATE NOCASE, name TEXT COLLATE NOCASE,"
      " kind TEXT, columns TEXT, PRIMARY KEY(table_name, name));");
  SqliteStmt insert = db.Prepare("INSERT INTO __devir_database(key, value) VALUES(?, ?)");
  auto put = [&](const char* key, const std::string& value) {
    insert.Reset();
    insert.BindText(1, key);
    insert.BindText(2, value);
    insert.Step();
  };
  put("format", kMarker);
  put("name", name);
  put("dbts", "2000");
  put("collation", "Turkish_CI_AS");
  db.Exec("COMMIT;");
}

bool DatabaseFile::IsStandIn(const std::filesystem::path& file) {
  return ProbeFile(file).stand_in;
}

DatabaseFile::Probe DatabaseFile::ProbeFile(const std::filesystem::path& file) {
  try {
    SqliteDb db(file, false);
    SqliteStmt stmt = db.Prepare("SELECT value FROM __devir_database WHERE key = 'format'");
    return {stmt.Step() && stmt.Text(0) == kMarker, 0};
  } catch (const SqliteError& e) {
    // Not a database, or not ours, unless the file system failed on the way.
    return {false, e.OsError()};
  }
}

void DatabaseFile::Checkpoint(const std::filesystem::path& file) {
  SqliteDb db(file, false);
  db.Exec("PRAGMA wal_checkpoint(TRUNCATE); PRAGMA journal_mode=DELETE;");
}

bool DatabaseFile::IsHiddenName(const std::string& name) {
  std::string upper = Upper(name);
  return upper.rfind("__DEVIR_", 0) == 0 || upper.rfind("SQLITE_", 0) == 0;
}

std::string DatabaseFile::IndexStorageName(const std::string& table, const std::string& index) {
  return table + "$" + index;
}

void DatabaseFile::LoadIfChanged() {
  long long current = 0;
  {
    CachedStmt version = db_.Cached("PRAGMA schema_version");
    version->Step();
    current = version->Int(0);
  }
  if (current == schema_version_) return;
  tables_.clear();
  insert_sql_.clear();
  order_.clear();
  counters_ = {};
  std::map<std::string, TableDef> loaded;
  SqliteStmt tables = db_.Prepare("SELECT name FROM __devir_tables ORDER BY seq");
  while (tables.Step()) {
    TableDef def;
    def.name = tables.Text(0);
    order_.push_back(def.name);
    loaded[Upper(def.name)] = std::move(def);
  }
  SqliteStmt columns = db_.Prepare(
      "SELECT table_name, name, type, length, precision, scale, nullable, is_identity,"
      " identity_seed, identity_increment, default_sql FROM __devir_columns"
      " ORDER BY table_name, ordinal");
  while (columns.Step()) {
    auto it = loaded.find(Upper(columns.Text(0)));
    if (it == loaded.end()) continue;
    ColumnDef column;
    column.name = columns.Text(1);
    column.type.type = static_cast<SqlType>(columns.Int(2));
    column.type.length = static_cast<int>(columns.Int(3));
    column.type.precision = static_cast<int>(columns.Int(4));
    column.type.scale = static_cast<int>(columns.Int(5));
    column.nullable = columns.Int(6) != 0;
    column.identity = columns.Int(7) != 0;
    column.identity_seed = columns.Int(8);
    column.identity_increment = columns.Int(9);
    column.default_sql = columns.IsNull(10) ? std::string() : columns.Text(10);
    it->second.columns.push_back(std::move(column));
  }
  SqliteStmt keys =
      db_.Prepare("SELECT table_name, name, kind, columns FROM __devir_keys ORDER BY rowid");
  while (keys.Step()) {
    auto it = loaded.find(Upper(keys.Text(0)));
    if (it == loaded.end()) continue;
    KeyDef key;
    key.name = keys.Text(1);
    key.kind = KindFromText(keys.Text(2));
    key.columns = SplitColumns(keys.Text(3));
    it->second.keys.push_back(std::move(key));
  }
  for (auto& [key, def] : loaded) {
    tables_.emplace(key, std::make_shared<const TableDef>(std::move(def)));
  }
  // Re-read the version: the reads above do not change it, but a reader must not cache a
  // version newer than what it loaded.
  schema_version_ = current;
}

const TableDef* DatabaseFile::FindTable(const std::string& name) {
  return FindTableShared(name).get();
}

std::shared_ptr<const TableDef> DatabaseFile::FindTableShared(const std::string& name) {
  LoadIfChanged();
  auto it = tables_.find(Upper(name));
  return it == tables_.end() ? nullptr : it->second;
}

const std::string& DatabaseFile::InsertSql(const TableDef& table) {
  std::string& sql = insert_sql_[Upper(table.name)];
  if (sql.empty()) {
    sql = "INSERT INTO " + QuoteIdent(table.name) + " (";
    for (size_t i = 0; i < table.columns.size(); ++i) {
      sql += (i ? ", " : "") + QuoteIdent(table.columns[i].name);
    }
    sql += ") VALUES (";
    for (size_t i = 0; i < table.columns.size(); ++i) sql += i ? ", ?" : "?";
    sql += ")";
  }
  return sql;
}

std::vector<std::string> DatabaseFile::TableNames() {
  LoadIfChanged();
  return order_;
}

void DatabaseFile::CreateTable(const TableDef& table) {
  counters_ = {};
  std::string sql = "CREATE TABLE " + QuoteIdent(table.name) + " (";
  const KeyDef* primary = nullptr;
  for (const KeyDef& key : table.keys) {
    if (key.kind == KeyDef::Kind::kPrimary) primary = &key;
  }
  // A single integer primary key becomes SQLite's rowid: fast lookups and inserts.
  std::string rowid_column;
  if (primary && primary->columns.size() == 1) {
    int index = table.FindColumn(primary->columns[0]);
    if (index >= 0 && IsIntegerType(table.columns[index].type.type) &&
        table.columns[index].type.type != SqlType::Bit) {
      rowid_column = table.columns[index].name;
    }
  }
  bool first = true;
  for (const ColumnDef& column : table.columns) {
    if (!first) sql += ", ";
    first = false;
    sql += QuoteIdent(column.name) + " " + StorageDeclaration(column.type);
    if (EqualsNoCase(column.name, rowid_column)) sql += " PRIMARY KEY";
    if (!column.nullable) sql += " NOT NULL";
  }
  for (const KeyDef& key : table.keys) {
    if (key.kind == KeyDef::Kind::kPrimary && !rowid_column.empty()) continue;
    if (key.kind == KeyDef::Kind::kPrimary) {
      sql += ", PRIMARY KEY (" + QuotedList(key.columns) + ")";
    } else if (key.kind == KeyDef::Kind::kUnique) {
      sql += ", UNIQUE (" + QuotedList(key.columns) + ")";
    }
  }
  sql += ")";
  db_.Exec(sql);
  SqliteStmt seq = db_.Prepare("SELECT COALESCE(MAX(seq), 0) + 1 FROM __devir_tables");
  seq.Step();
  std::int64_t next = seq.Int(0);
  SqliteStmt insert_table =
      db_.Prepare("INSERT INTO __devir_tables(name, seq, identity_current) VALUES(?, ?, NULL)");
  insert_table.BindText(1, table.name);
  insert_table.BindInt(2, next);
  insert_table.Step();
  SqliteStmt insert_column = db_.Prepare(
      "INSERT INTO __devir_columns(table_name, ordinal, name, type, length, precision, scale,"
      " nullable, is_identity, identity_seed, identity_increment, default_sql)"
      " VALUES(?,?,?,?,?,?,?,?,?,?,?,?)");
  int ordinal = 1;
  for (const ColumnDef& column : table.columns) {
    insert_column.Reset();
    insert_column.BindText(1, table.name);
    insert_column.BindInt(2, ordinal++);
    insert_column.BindText(3, column.name);
    insert_column.BindInt(4, static_cast<int>(column.type.type));
    insert_column.BindInt(5, column.type.length);
    insert_column.BindInt(6, column.type.precision);
    insert_column.BindInt(7, column.type.scale);
    insert_column.BindInt(8, column.nullable ? 1 : 0);
    insert_column.BindInt(9, column.identity ? 1 : 0);
    insert_column.BindInt(10, column.identity_seed);
    insert_column.BindInt(11, column.identity_increment);
    if (column.default_sql.empty()) {
      insert_column.BindNull(12);
    } else {
      insert_column.BindText(12, column.default_sql);
    }
    insert_column.Step();
  }
  SqliteStmt insert_key =
      db_.Prepare("INSERT INTO __devir_keys(table_name, name, kind, columns) VALUES(?,?,?,?)");
  for (const KeyDef& key : table.keys) {
    insert_key.Reset();
    insert_key.BindText(1, table.name);
    insert_key.BindText(2, key.name);
    insert_key.BindText(3, KindText(key.kind));
    insert_key.BindText(4, JoinColumns(key.columns));
    insert_key.Step();
  }
}

void DatabaseFile::DropTable(const std::string& name) {
  counters_ = {};
  const TableDef* table = FindTable(name);
  std::string real = table ? table->name : name;
  db_.Exec("DROP TABLE " + QuoteIdent(real));
  for (const char* hidden : {"__devir_tables WHERE name", "__devir_columns WHERE table_name",
                             "__devir_keys WHERE table_name"}) {
    SqliteStmt stmt = db_.Prepare(std::string("DELETE FROM ") + hidden + " = ?");
    stmt.BindText(1, real);
    stmt.Step();
  }
}

void DatabaseFile::CreateIndex(const std::string& table, const KeyDef& key) {
  std::string sql = std::string("CREATE ") +
                    (key.kind == KeyDef::Kind::kUniqueIndex ? "UNIQUE " : "") + "INDEX " +
                    QuoteIdent(IndexStorageName(table, key.name)) + " ON " + QuoteIdent(table) +
                    " (" + QuotedList(key.columns) + ")";
  db_.Exec(sql);
  SqliteStmt insert_key =
      db_.Prepare("INSERT INTO __devir_keys(table_name, name, kind, columns) VALUES(?,?,?,?)");
  insert_key.BindText(1, table);
  insert_key.BindText(2, key.name);
  insert_key.BindText(3, KindText(key.kind));
  insert_key.BindText(4, JoinColumns(key.columns));
  insert_key.Step();
}

void DatabaseFile::DropIndex(const std::string& table, const std::string& index) {
  db_.Exec("DROP INDEX " + QuoteIdent(IndexStorageName(table, index)));
  SqliteStmt stmt = db_.Prepare("DELETE FROM __devir_keys WHERE table_name = ? AND name = ?");
  stmt.BindText(1, table);
  stmt.BindText(2, index);
  stmt.Step();
}

DatabaseFile::Counters* DatabaseFile::WriteLockCounters() {
  if (sqlite3_txn_state(db_.Get(), "main") != SQLITE_TXN_WRITE) {
    counters_ = {};
    return nullptr;
  }
  return &counters_;
}

int DatabaseFile::OnCommit(void* file) {
  static_cast<DatabaseFile*>(file)->counters_ = {};
  return 0;
}

void DatabaseFile::OnRollback(void* file) {
  static_cast<DatabaseFile*>(file)->counters_ = {};
}

std::int64_t DatabaseFile::PeekIdentity(const TableDef& table) {
  const ColumnDef* identity = table.IdentityColumn();
  std::int64_t seed = identity ? identity->identity_seed : 1;
  std::int64_t increment = identity ? identity->identity_increment : 1;
  std::optional<std::int64_t> current = CurrentIdentity(table.name);
  return current ? *current + increment : seed;
}

std::int64_t DatabaseFile::ReserveIdentity(const TableDef& table, std::int64_t count) {
  const ColumnDef* identity = table.IdentityColumn();
  std::int64_t increment = identity ? identity->identity_increment : 1;
  const std::int64_t first = PeekIdentity(table);
  const std::int64_t last = first + (count - 1) * increment;
  CachedStmt update = db_.Cached(kSetIdentity);
  update->BindInt(1, last);
  update->BindText(2, table.name);
  update->Step();
  if (Counters* counters = WriteLockCounters()) counters->identities[Upper(table.name)] = last;
  return first;
}

void DatabaseFile::NoteIdentity(const TableDef& table, std::int64_t value) {
  const ColumnDef* identity = table.IdentityColumn();
  std::int64_t increment = identity ? identity->identity_increment : 1;
  std::optional<std::int64_t> current = CurrentIdentity(table.name);
  if (current && (increment > 0 ? value <= *current : value >= *current)) return;
  CachedStmt update = db_.Cached(kSetIdentity);
  update->BindInt(1, value);
  update->BindText(2, table.name);
  update->Step();
  if (Counters* counters = WriteLockCounters()) counters->identities[Upper(table.name)] = value;
}

std::optional<std::int64_t> DatabaseFile::CurrentIdentity(const std::string& table) {
  Counters* counters = WriteLockCounters();
  const std::string key = Upper(table);
  if (counters) {
    auto it = counters->identities.find(key);
    if (it != counters->identities.end()) return it->second;
  }
  CachedStmt select = db_.Cached("SELECT identity_current FROM __devir_tables WHERE name = ?");
  select->BindText(1, table);
  std::optional<std::int64_t> current;
  if (select->Step() && !select->IsNull(0)) current = select->Int(0);
  if (counters) counters->identities[key] = current;
  return current;
}

std::optional<std::int64_t> DatabaseFile::CurrentRowVersion() {
  Counters* counters = WriteLockCounters();
  if (counters && counters->dbts) return counters->dbts;
  CachedStmt select =
      db_.Cached("SELECT CAST(value AS INTEGER) FROM __devir_database WHERE key = 'dbts'");
  if (!select->Step()) return std::nullopt;
  const std::int64_t dbts = select->Int(0);
  if (counters) counters->dbts = dbts;
  return dbts;
}

std::uint64_t DatabaseFile::PeekRowVersion() {
  const std::optional<std::int64_t> dbts = CurrentRowVersion();
  return dbts ? static_cast<std::uint64_t>(*dbts + 1) : 1;
}

std::uint64_t DatabaseFile::ReserveRowVersions(std::int64_t count) {
  const std::optional<std::int64_t> dbts = CurrentRowVersion();
  if (!dbts) return 1;
  const std::int64_t last = *dbts + count;
  CachedStmt update = db_.Cached("UPDATE __devir_database SET value = ? WHERE key = 'dbts'");
  update->BindInt(1, last);
  update->Step();
  // The update may be what took the write lock.
  if (Counters* locked = WriteLockCounters()) locked->dbts = last;
  return static_cast<std::uint64_t>(last - count + 1);
}

}  // namespace sandbox
