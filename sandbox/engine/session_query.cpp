#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

#include "sandbox/engine/constant_eval.h"
#include "sandbox/engine/grouped_join_plan.h"
#include "sandbox/engine/message_format.h"
#include "sandbox/engine/select_translator.h"
#include "sandbox/engine/session_impl.h"
#include "sandbox/engine/sql_messages.h"
#include "sandbox/engine/stored_value.h"
#include "sandbox/engine/type_inference.h"

namespace sandbox {
namespace {

constexpr int kProgressSteps = 20000;

int Progress(void* data) {
  auto* sink = static_cast<ResultSink*>(data);
  return sink->Cancelled() ? 1 : 0;
}

// Installs the cancel check on a connection for the life of one statement.
class ProgressGuard {
 public:
  ProgressGuard(sqlite3* db, ResultSink* sink) : db_(db) {
    sqlite3_progress_handler(db_, kProgressSteps, Progress, sink);
  }
  ~ProgressGuard() { sqlite3_progress_handler(db_, 0, nullptr, nullptr); }
  ProgressGuard(const ProgressGuard&) = delete;
  ProgressGuard& operator=(const ProgressGuard&) = delete;

 private:
  sqlite3* db_;
};

// A column of a statement's current row, for StoredValue.
struct StmtColumn {
  sqlite3_stmt* stmt;
  int column;
  Storage Type() const { return static_cast<Storage>(sqlite3_column_type(stmt, column)); }
  std::int64_t Int() const { return sqlite3_column_int64(stmt, column); }
  double Double() const { return sqlite3_column_double(stmt, column); }
  std::string_view Text() const {
    const unsigned char* p = sqlite3_column_text(stmt, column);
    if (!p) return {};
    return {reinterpret_cast<const char*>(p),
            static_cast<size_t>(sqlite3_column_bytes(stmt, column))};
  }
  std::string_view Bytes() const {
    const void* p = sqlite3_column_blob(stmt, column);
    if (!p) return {};
    return {static_cast<const char*>(p), static_cast<size_t>(sqlite3_column_bytes(stmt, column))};
  }
};

}  // namespace

Value ReadColumnValue(sqlite3_stmt* stmt, int column, const ColumnType& type) {
  return StoredValue(StmtColumn{stmt, column}, type);
}

namespace {

ColumnType RuntimeType(sqlite3_stmt* stmt, int column, bool has_row) {
  ColumnType type;
  int storage = has_row ? sqlite3_column_type(stmt, column) : SQLITE_NULL;
  switch (storage) {
    case SQLITE_INTEGER: {
      std::int64_t v = sqlite3_column_int64(stmt, column);
      type.type = v > 2147483647LL || v < -2147483648LL ? SqlType::BigInt : SqlType::Int;
      break;
    }
    case SQLITE_FLOAT:
      type.type = SqlType::Float;
      break;
    case SQLITE_TEXT:
      type.type = SqlType::NVarChar;
      type.length = sqlite3_column_bytes(stmt, column) > 4000 ? ColumnType::kMax : 4000;
      break;
    case SQLITE_BLOB:
      type.type = SqlType::VarBinary;
      type.length = sqlite3_column_bytes(stmt, column) > 8000 ? ColumnType::kMax : 8000;
      break;
    default:
      type.type = SqlType::Int;
      break;
  }
  return type;
}

}  // namespace

void SessionImpl::AttachDatabases(const std::vector<std::string>& databases) {
  SqliteDb& db = Current().Db();
  for (const std::string& name : databases) {
    std::optional<DatabaseEntry> entry = catalog_.Find(name);
    if (!entry) throw DatabaseNotFound(name);
    SqliteStmt list = db.Prepare("SELECT 1 FROM pragma_database_list WHERE name = ?");
    list.BindText(1, entry->name);
    if (list.Step()) continue;
    db.Exec("ATTACH DATABASE " + QuoteText(entry->data_file.string()) + " AS " +
            QuoteIdent(entry->name));
  }
}

std::vector<ResultColumn> SessionImpl::ResultColumns(sqlite3_stmt* stmt,
                                                     const TranslatedQuery& query, bool has_row,
                                                     bool* all_typed) {
  if (all_typed) *all_typed = true;
  int count = sqlite3_column_count(stmt);
  std::vector<ResultColumn> columns(static_cast<size_t>(count));
  QueryContext context = Context();
  TypeInference inference(tokens_, context);
  const QueryShape& shape = query.shape;
  // Which select-list item each result column comes from (-1: from a * expansion).
  std::vector<int> item_of(static_cast<size_t>(count), -1);
  std::vector<std::string> star_of(static_cast<size_t>(count));  // qualifier of a * column
  size_t stars = 0;
  for (const SelectItem& item : shape.items) stars += item.star ? 1 : 0;
  if (stars == 0 && shape.items.size() == static_cast<size_t>(count)) {
    for (int c = 0; c < count; ++c) item_of[c] = c;
  } else if (stars == 1) {
    int star_width = count - static_cast<int>(shape.items.size() - 1);
    int c = 0;
    for (size_t k = 0; k < shape.items.size() && c < count; ++k) {
      if (shape.items[k].star) {
        for (int w = 0; w < star_width && c < count; ++w) {
          star_of[c++] = shape.items[k].star_qualifier;
        }
      } else {
        item_of[c++] = static_cast<int>(k);
      }
    }
  }
  for (int c = 0; c < count; ++c) {
    ResultColumn& column = columns[c];
    const char* name = sqlite3_column_name(stmt, c);
    column.name = name ? name : "";
    const char* table = sqlite3_column_table_name(stmt, c);
    const char* origin = sqlite3_column_origin_name(stmt, c);
    const char* schema = sqlite3_column_database_name(stmt, c);
    InferredType type;
    if (table && origin) {
      std::string database = schema && std::string(schema) != "main" ? schema : "";
      type = inference.TableColumn(database, table, origin);
      for (const FromSource& source : shape.sources) {
        if (source.outer_nulls && EqualsNoCase(source.table, table)) type.nullable = true;
      }
      if (type.known) {
        const TableDef* def = context.find_table(database, table);
        int index = def ? def->FindColumn(origin) : -1;
        column.identity = index >= 0 && def->columns[index].identity;
      }
    }
    if (!type.known && item_of[c] >= 0) type = inference.ItemType(shape, item_of[c]);
    if (!type.known && item_of[c] < 0 && stars == 1) {
      type = inference.StarColumn(shape, star_of[c], column.name);
    }
    if (type.known) {
      column.type = type.type;
      column.nullable = type.nullable;
    } else {
      column.type = RuntimeType(stmt, c, has_row);
      column.nullable = true;
      if (all_typed) *all_typed = false;
    }
  }
  return columns;
}

long long SessionImpl::ExecSelect(TokenRange range) {
  QueryContext context = Context();
  SelectTranslator translator(tokens_, context);
  TranslatedQuery query = translator.Query(range);
  AttachDatabases(query.databases);
  DatabaseFile& file = Current();
  SqliteStmt stmt;
  try {
    stmt = file.Db().Prepare(query.sql);
  } catch (const SqliteError& e) {
    ThrowSqlite(e, range);
  }
  ProgressGuard guard(file.Db().Get(), sink_);
  if (query.databases.empty()) {
    if (auto rows = RunGroupedJoin(range, context, stmt.Get(), query, file)) return *rows;
  }
  auto step = [&]() {
    try {
      return stmt.Step();
    } catch (const SqliteError& e) {
      ThrowSqlite(e, range);
    }
  };
  bool has_row = step();
  std::vector<ResultColumn> columns = ResultColumns(stmt.Get(), query, has_row);
  sink_->Columns(columns);
  long long rows = 0;
  Row row(columns.size());
  while (has_row) {
    if (sink_->Cancelled()) throw Cancelled{};
    for (size_t c = 0; c < columns.size(); ++c) {
      row[c] = ReadColumnValue(stmt.Get(), static_cast<int>(c), columns[c].type);
    }
    sink_->RowData(row);
    ++rows;
    has_row = step();
  }
  return rows;
}

std::optional<long long> SessionImpl::RunGroupedJoin(TokenRange range, const QueryContext& context,
                                                     sqlite3_stmt* stmt,
                                                     const TranslatedQuery& query,
                                                     DatabaseFile& file) {
  const std::optional<GroupedJoinPlan> plan = GroupedJoinPlan::Match(tokens_, range, context);
  if (!plan) return std::nullopt;
  bool all_typed = false;
  const std::vector<ResultColumn> columns = ResultColumns(stmt, query, false, &all_typed);
  // Columns typed by their first row would need SQLite to produce it.
  if (!all_typed) return std::nullopt;
  long long rows = 0;
  bool started = false;
  GroupedJoinPlan::Outcome outcome;
  try {
    outcome = plan->Run(
        file, columns, [this] { return sink_->Cancelled(); },
        [&](const Row& row) {
          if (!started) sink_->Columns(columns);
          started = true;
          sink_->RowData(row);
          ++rows;
        });
  } catch (const SqliteError& e) {
    ThrowSqlite(e, range);
  }
  if (outcome == GroupedJoinPlan::Outcome::kCancelled) throw Cancelled{};
  if (outcome == GroupedJoinPlan::Outcome::kNotExact) return std::nullopt;
  if (!started) sink_->Columns(columns);
  return rows;
}

bool SessionImpl::EvaluateCondition(TokenRange condition) {
  QueryContext context = Context();
  SelectTranslator translator(tokens_, context);
  std::string sql = "SELECT CASE WHEN " + translator.Expression(condition) + " THEN 1 ELSE 0 END";
  AttachDatabases(translator.Databases());
  DatabaseFile& file = Current();
  try {
    SqliteStmt stmt = file.Db().Prepare(sql);
    return stmt.Step() && stmt.Int(0) != 0;
  } catch (const SqliteError& e) {
    ThrowSqlite(e, condition);
  }
}

ConstantEvaluator SessionImpl::Evaluator() {
  return ConstantEvaluator(tokens_, ConvertDateFormat(),
                           [this](const std::string& name) -> std::optional<Scalar> {
                             std::optional<SystemValue> value = SystemValueOf(name);
                             if (!value) return std::nullopt;
                             return ScalarFromValue(value->value, value->type);
                           });
}

bool SessionImpl::ExecRaiseError(const RaiseErrorStatement& raise) {
  ConstantEvaluator evaluator = Evaluator();
  std::vector<Scalar> values;
  for (TokenRange range : raise.args) values.push_back(evaluator.Evaluate(range));
  const Scalar& message = values[0];
  auto as_int = [](const Scalar& value) -> std::int64_t {
    if (value.kind == Scalar::Kind::kInt) return value.int_value;
    if (value.kind == Scalar::Kind::kDecimal) return std::strtoll(value.text.c_str(), nullptr, 10);
    return 0;
  };
  const int severity = static_cast<int>(std::clamp<std::int64_t>(as_int(values[1]), 0, 25));
  std::int64_t state = as_int(values[2]);
  if (state < 0) state = 1;  // negative states default to 1
  state = std::min<std::int64_t>(state, 255);
  if (severity > 18 && !raise.log) throw RaiseErrorSeverityTooHigh();
  if (message.kind == Scalar::Kind::kInt || message.kind == Scalar::Kind::kDecimal) {
    // The stand-in has no sys.messages of its own: every numbered message is unknown.
    throw UserMessageNotFound(as_int(message), severity, static_cast<int>(state));
  }
  const std::string text =
      FormatRaiseErrorMessage(message.text, std::vector<Scalar>(values.begin() + 3, values.end()));
  if (severity <= 10) {
    const SqlError note = UserError(severity, static_cast<int>(state), text, statement_line_);
    sink_->Info(note.number, note.state, note.severity, note.what(), statement_line_);
    if (raise.set_error) last_error_ = note.number;
    return false;
  }
  ReportError(UserError(severity, static_cast<int>(state), text, statement_line_));
  return true;
}

void SessionImpl::ExecWaitFor(const WaitForStatement& wait) {
  const Scalar delay = Evaluator().Evaluate(wait.delay);
  if (delay.kind != Scalar::Kind::kVarChar && delay.kind != Scalar::Kind::kNVarChar) {
    throw IncorrectSyntax(tokens_[wait.delay.begin].text, statement_line_);
  }
  ColumnType time;
  time.type = SqlType::Time;
  time.scale = 3;
  const Value value = ConvertToColumn(delay, ColumnTarget{"", "", "", time}, ConvertDateFormat());
  const std::string& text = std::get<std::string>(value);  // hh:mm:ss.fff
  const long long milliseconds =
      ((std::stoll(text.substr(0, 2)) * 60 + std::stoll(text.substr(3, 2))) * 60 +
       std::stoll(text.substr(6, 2))) *
          1000 +
      std::stoll(text.substr(9, 3));
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (std::chrono::steady_clock::now() < until) {
    if (sink_->Cancelled()) throw Cancelled{};
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
        std::chrono::milliseconds(20), until - std::chrono::steady_clock::now()));
  }
}

void SessionImpl::ExecPrint(const PrintStatement& print) {
  ConstantEvaluator evaluator = Evaluator();
  Scalar value = evaluator.Evaluate(print.expr);
  std::string text;
  switch (value.kind) {
    case Scalar::Kind::kNull:
      text = "";
      break;
    case Scalar::Kind::kInt:
      text = std::to_string(value.int_value);
      break;
    case Scalar::Kind::kFloat:
      text = ValueToText(value.float_value, ColumnType{SqlType::Float});
      break;
    default:
      text = value.text;
      break;
  }
  sink_->Info(0, 1, 0, text, statement_line_);
}

}  // namespace sandbox
