#include "db/script_runner.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>
#include <variant>

#include "db/connection.h"
#include "db/odbc/api.h"
#include "db/odbc/call.h"
#include "db/odbc/connection.h"
#include "db/statement_runner.h"
#include "db/utf.h"

namespace devir::db {
namespace {

// SQL Server's driver-specific diagnostic field: the line within the batch (SQLUSMALLINT).
// Not in unixODBC's headers. Microsoft's drivers answer it; Debian's FreeTDS 1.3.17 is built
// without it and answers SQL_ERROR, which sends the runner to the search line by line.
#ifdef SQL_DIAG_SS_LINE
constexpr SQLSMALLINT kDiagLine = SQL_DIAG_SS_LINE;
#else
constexpr SQLSMALLINT kDiagLine = -1154;
#endif

// The server's line field is 16 bits wide.
constexpr std::size_t kMostLinesPerBatch = 65535;

constexpr char kSessionSetup[] = "SET DATEFORMAT DMY\r\nSET XACT_ABORT ON";
constexpr char kBegin[] = "BEGIN TRANSACTION";
constexpr char kCommit[] = "COMMIT TRANSACTION";
constexpr char kRollback[] = "IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION";

// The batch line of the first record that is an error, 0 when the driver gives none.
int ErrorLine(SQLHSTMT stmt) {
  const SQLSMALLINT record = odbc::FirstErrorRecord(SQL_HANDLE_STMT, stmt);
  if (record == 0) return 0;
  // Room for four bytes, read as the two the field is: a driver that writes a wider integer
  // cannot run past the buffer, and on little-endian machines the low half is it.
  SQLINTEGER raw = 0;
  if (!SQL_SUCCEEDED(odbc::Traced(SQLGetDiagFieldW(SQL_HANDLE_STMT, stmt, record, kDiagLine, &raw,
                                                   SQL_IS_USMALLINT, nullptr),
                                  "SQLGetDiagFieldW"))) {
    return 0;
  }
  SQLUSMALLINT line = 0;
  std::memcpy(&line, &raw, sizeof line);
  return line;
}

struct BatchFailure {
  DatabaseError error;
  int line = 0;  // within the batch, from 1; 0 when unknown
};

// Sends one batch and reads every result to the end. Returns the first error, if any, with
// the line the server gave for it; the rest of the batch's results are read and dropped.
std::optional<BatchFailure> RunBatch(OdbcConnection& native, const std::string& sql) {
  odbc::StatementHandle handle;
  try {
    handle = native.AllocateStatement();
  } catch (const DatabaseError& error) {
    return BatchFailure{native.Explained(error), 0};
  }
  const SQLHSTMT stmt = handle.Get();
  std::u16string text = Utf8ToUtf16(sql);
  const char* function = "SQLExecDirectW";
  SQLRETURN rc = odbc::Traced(SQLExecDirectW(stmt, reinterpret_cast<SQLWCHAR*>(text.data()),
                                             static_cast<SQLINTEGER>(text.size())),
                              function);
  // SQL_NO_DATA from SQLExecDirectW only says the first statement touched no rows.
  while (true) {
    const bool failed = rc == SQL_ERROR ||
                        (rc == SQL_SUCCESS_WITH_INFO && odbc::CarriesError(SQL_HANDLE_STMT, stmt));
    if (failed) {
      // A lost connection can read as bare as "Unknown error": Explained says so (08S01).
      BatchFailure failure{
          native.Explained(odbc::DiagnosticsError(SQL_HANDLE_STMT, stmt, function)),
          ErrorLine(stmt)};
      // Whatever the server still sends for this batch is read and dropped, so that the
      // connection is free for the rollback.
      for (std::size_t i = 0; i <= kMostLinesPerBatch; ++i) {
        const SQLRETURN more = odbc::Traced(SQLMoreResults(stmt), "SQLMoreResults");
        if (more == SQL_NO_DATA || more == SQL_INVALID_HANDLE) break;
      }
      odbc::Traced(SQLFreeStmt(stmt, SQL_CLOSE), "SQLFreeStmt");
      return failure;
    }
    if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO && rc != SQL_NO_DATA) {
      // SQL_INVALID_HANDLE, SQL_NEED_DATA...: Check names the call and the code.
      try {
        odbc::Check(rc, function, SQL_HANDLE_STMT, stmt);
      } catch (const DatabaseError& error) {
        return BatchFailure{native.Explained(error), 0};
      }
    }
    function = "SQLMoreResults";
    rc = odbc::Traced(SQLMoreResults(stmt), function);
    if (rc == SQL_NO_DATA) return std::nullopt;
  }
}

// Why a failed batch could not be put on one of its lines.
enum class Unpinned { kConnectionLost, kNoAnswer, kNotAlone };

// A lost connection (SQLSTATE class 08) or a server that stopped answering (the timeouts):
// re-running lines to find the culprit would meet the same fate.
std::optional<Unpinned> Unanswered(const DatabaseError& error) {
  const std::string& state = error.SqlState();
  if (state.starts_with("08")) return Unpinned::kConnectionLost;
  if (state == "HYT00" || state == "HYT01") return Unpinned::kNoAnswer;
  return std::nullopt;
}

std::string LineRange(std::size_t first, std::size_t last) {
  return first == last ? "line " + std::to_string(first)
                       : "lines " + std::to_string(first) + " to " + std::to_string(last);
}

ScriptBatchError BatchError(Unpinned why, std::size_t first, std::size_t last,
                            std::string_view database, const DatabaseError& cause) {
  const std::string lines = LineRange(first, last);
  const std::string kept = " Nothing of the script is kept in " + std::string(database) + ".";
  switch (why) {
    case Unpinned::kConnectionLost:
      return ScriptBatchError("The connection to the server was lost while " + lines +
                                  " of the script ran, so no single line can be named." + kept,
                              first, last, cause);
    case Unpinned::kNoAnswer:
      return ScriptBatchError("The server did not answer in time while " + lines +
                                  " of the script ran, so no single line can be named." + kept,
                              first, last, cause);
    case Unpinned::kNotAlone:
      break;
  }
  return ScriptBatchError("Script " + lines +
                              " failed together, yet none of them fails on its own, so no single "
                              "line can be named." +
                              kept,
                          first, last, cause);
}

// The server's error with what the runner was doing in front of it.
DatabaseError InContext(const std::string& context, const DatabaseError& cause) {
  return DatabaseError(context + "\n" + cause.what(), cause.SqlState(), cause.NativeError());
}

// One run of the script: the batches, the transaction and the search for a failing line.
class ScriptRun {
 public:
  ScriptRun(OdbcConnection& native, ScriptLines& lines, const ScriptBatchLimits& limits)
      : native_(native),
        lines_(lines),
        max_lines_(std::clamp<std::size_t>(limits.max_lines, 1, kMostLinesPerBatch)),
        max_bytes_(std::max<std::size_t>(limits.max_bytes, 1)) {}

  struct Failure {
    std::vector<std::size_t> batch;  // script indices of the failed batch's lines
    BatchFailure failure;
  };

  // Runs the non-empty lines of [begin, end) batch by batch; stops at the first failing
  // batch. after_batch gets the number of statements of each batch that succeeded.
  std::optional<Failure> RunRange(std::size_t begin, std::size_t end,
                                  const std::function<void(std::size_t)>& after_batch) {
    std::vector<std::size_t> batch;
    std::string text;
    auto flush = [&]() -> std::optional<Failure> {
      if (batch.empty()) return std::nullopt;
      if (auto failure = RunBatch(native_, text)) {
        return Failure{std::move(batch), std::move(*failure)};
      }
      if (after_batch) after_batch(batch.size());
      batch.clear();
      text.clear();
      return std::nullopt;
    };
    lines_.Seek(begin);
    std::string_view line;
    for (std::size_t i = begin; i < end && lines_.Next(line); ++i) {
      if (line.empty()) continue;
      if (!LineStandsAlone(line)) {
        if (auto failure = flush()) return failure;
        batch.push_back(i);
        text = line;
        if (auto failure = flush()) return failure;
        continue;
      }
      if (!batch.empty()) text += "\r\n";
      text += line;
      batch.push_back(i);
      if (batch.size() >= max_lines_ || text.size() >= max_bytes_) {
        if (auto failure = flush()) return failure;
      }
    }
    return flush();
  }

  // Runs one statement of the runner's own; its failure is the runner's, never a line's.
  std::optional<DatabaseError> RunOwn(const char* sql) {
    if (auto failure = RunBatch(native_, sql)) return std::move(failure->error);
    return std::nullopt;
  }

  // Ends the transaction without keeping anything. A failure here needs no report: the
  // connection is closed right after, and the server rolls back what a closed session left.
  void RollBack() noexcept {
    try {
      RunBatch(native_, kRollback);
    } catch (...) {
    }
  }

  // The failing line of a failed batch and the message to show with it; nullopt, and why,
  // when no line can be named.
  using FoundLine = std::pair<std::size_t, DatabaseError>;
  std::variant<FoundLine, Unpinned> FailingLine(const Failure& failed) {
    const int line = failed.failure.line;
    if (line >= 1 && static_cast<std::size_t>(line) <= failed.batch.size()) {
      return FoundLine{failed.batch[static_cast<std::size_t>(line) - 1], failed.failure.error};
    }
    if (auto why = Unanswered(failed.failure.error)) return *why;
    // No line from the server: the batches before it again, in a fresh transaction, then the
    // batch's lines one by one until one fails; all of it rolled back.
    std::variant<FoundLine, Unpinned> found = Unpinned::kNotAlone;
    try {
      if (auto begin_failed = RunOwn(kBegin)) {
        found = Unanswered(*begin_failed).value_or(Unpinned::kNotAlone);
      } else if (auto earlier = RunRange(0, failed.batch.front(), {})) {
        // An earlier batch fails now: the search itself cannot be trusted.
        found = Unanswered(earlier->failure.error).value_or(Unpinned::kNotAlone);
      } else {
        // The batch's lines lie between its first and its last; the empty ones among them
        // were never sent.
        lines_.Seek(failed.batch.front());
        std::string_view text;
        for (std::size_t index = failed.batch.front();
             index <= failed.batch.back() && lines_.Next(text); ++index) {
          if (text.empty()) continue;
          if (auto failure = RunBatch(native_, std::string(text))) {
            if (auto why = Unanswered(failure->error)) {
              found = *why;
            } else {
              found = FoundLine{index, failure->error};
            }
            break;
          }
        }
      }
    } catch (const DatabaseError& error) {
      found = Unanswered(error).value_or(Unpinned::kNotAlone);
    }
    RollBack();
    return found;
  }

 private:
  OdbcConnection& native_;
  ScriptLines& lines_;
  std::size_t max_lines_;
  std::size_t max_bytes_;
};

}  // namespace

ScriptLineError::ScriptLineError(std::string line, std::size_t number, const DatabaseError& cause)
    : DatabaseError(cause.what(), cause.SqlState(), cause.NativeError()),
      line_(std::move(line)),
      number_(number) {}

ScriptBatchError::ScriptBatchError(const std::string& explanation, std::size_t first,
                                   std::size_t last, const DatabaseError& cause)
    : DatabaseError(explanation + "\n" + cause.what(), cause.SqlState(), cause.NativeError()),
      first_(first),
      last_(last) {}

bool LineStandsAlone(std::string_view line) {
  enum class State { kCode, kString, kBracket, kQuotedName, kLineComment, kBlockComment };
  State state = State::kCode;
  int comment_depth = 0;  // T-SQL block comments nest
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    const char next = i + 1 < line.size() ? line[i + 1] : '\0';
    switch (state) {
      case State::kCode:
        if (c == '\'') {
          state = State::kString;
        } else if (c == '[') {
          state = State::kBracket;
        } else if (c == '"') {
          state = State::kQuotedName;
        } else if (c == '-' && next == '-') {
          state = State::kLineComment;
          ++i;
        } else if (c == '/' && next == '*') {
          state = State::kBlockComment;
          comment_depth = 1;
          ++i;
        }
        break;
      case State::kString:
      case State::kBracket:
      case State::kQuotedName: {
        const char close = state == State::kString ? '\'' : state == State::kBracket ? ']' : '"';
        if (c == close) {
          if (next == close) {
            ++i;  // a doubled closing character stands for itself
          } else {
            state = State::kCode;
          }
        }
        break;
      }
      case State::kLineComment:
        if (c == '\r' || c == '\n') state = State::kCode;
        break;
      case State::kBlockComment:
        if (c == '/' && next == '*') {
          ++comment_depth;
          ++i;
        } else if (c == '*' && next == '/') {
          ++i;
          if (--comment_depth == 0) state = State::kCode;
        }
        break;
    }
  }
  return state == State::kCode || state == State::kLineComment;
}

std::size_t RunScript(Connection& connection, const ServerLogin& login, std::string_view database,
                      ScriptLines& lines, const ScriptProgress& progress,
                      const ScriptBatchLimits& limits) {
  const std::size_t total = lines.StatementCount();
  if (total == 0) return 0;
  std::size_t first_index = 0;
  std::string_view line;
  lines.Seek(0);
  while (lines.Next(line) && line.empty()) ++first_index;

  std::optional<RunnerSession> session;
  try {
    session.emplace(connection, login, database);
  } catch (const DatabaseError& error) {
    // Where each line had a connection of its own, the first line was the first to need one.
    throw ScriptLineError(LineAt(lines, first_index), first_index + 1, error);
  }

  OdbcConnection& native = connection.Native();
  ScriptRun run(native, lines, limits);
  for (const char* sql : {kSessionSetup, kBegin}) {
    if (auto failure = run.RunOwn(sql)) {
      throw InContext("The script's transaction in " + std::string(database) +
                          " could not be started; no line of the script has run.",
                      *failure);
    }
  }
  std::size_t done = 0;
  if (progress) progress(0, total);
  const auto failed = run.RunRange(0, lines.Count(), [&](std::size_t count) {
    done += count;
    if (progress) progress(done, total);
  });
  if (failed) {
    run.RollBack();
    auto found = run.FailingLine(*failed);
    if (auto* culprit = std::get_if<ScriptRun::FoundLine>(&found)) {
      throw ScriptLineError(LineAt(lines, culprit->first), culprit->first + 1, culprit->second);
    }
    throw BatchError(std::get<Unpinned>(found), failed->batch.front() + 1, failed->batch.back() + 1,
                     database, failed->failure.error);
  }
  if (auto failure = run.RunOwn(kCommit)) {
    if (Unanswered(*failure)) {
      // The server may have committed before the answer was lost.
      throw InContext(
          "The connection was lost while the transaction was committed, after every "
          "line of the script had run: whether " +
              std::string(database) + " holds the script's rows is not known.",
          *failure);
    }
    run.RollBack();
    throw InContext(
        "Committing the transaction failed after every line of the script had run; "
        "nothing of the script is kept in " +
            std::string(database) + ".",
        *failure);
  }
  return done;
}

std::size_t RunScript(Connection& connection, const ServerLogin& login, std::string_view database,
                      const std::vector<std::string>& lines, const ScriptProgress& progress,
                      const ScriptBatchLimits& limits) {
  ScriptLinesInMemory in_memory(lines);
  return RunScript(connection, login, database, in_memory, progress, limits);
}

}  // namespace devir::db
