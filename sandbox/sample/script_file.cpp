#include "sandbox/sample/script_file.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <vector>

#include "sandbox/sample/batch_runner.h"

namespace sandbox::sample {
namespace {

// The statements devir's runner sends around the script's lines.
constexpr char kSessionSetup[] = "SET DATEFORMAT DMY\r\nSET XACT_ABORT ON";
constexpr char kBegin[] = "BEGIN TRANSACTION";
constexpr char kCommit[] = "COMMIT TRANSACTION";
constexpr char kRollback[] = "IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION";

std::string MessageOf(const SqlError& error) {
  return "Msg " + std::to_string(error.number) + ", Level " + std::to_string(error.severity) +
         ", State " + std::to_string(error.state) + ": " + error.what();
}

void RunOwn(Session& session, const std::string& sql) {
  if (auto error = FirstErrorOf(session, sql)) {
    throw std::runtime_error(sql + " failed: " + MessageOf(*error));
  }
}

// Collects lines into one batch and sends it.
class Batch {
 public:
  Batch(Session& session, const ScriptBatchLimits& limits)
      : session_(session),
        max_lines_(std::clamp<std::size_t>(limits.max_lines, 1, 65535)),
        max_bytes_(std::max<std::size_t>(limits.max_bytes, 1)) {}

  void Add(std::size_t number, const std::string& line) {
    if (!LineStandsAlone(line)) {
      Send();
      Append(number, line);
      Send();
      return;
    }
    Append(number, line);
    if (numbers_.size() >= max_lines_ || text_.size() >= max_bytes_) Send();
  }

  // Runs the collected lines; on an error, rolls back and throws for the failing line.
  void Send() {
    if (numbers_.empty()) return;
    if (auto error = FirstErrorOf(session_, text_)) {
      const std::size_t at =
          error->line >= 1 && static_cast<std::size_t>(error->line) <= numbers_.size()
              ? static_cast<std::size_t>(error->line) - 1
              : 0;
      const std::size_t line = numbers_[at];
      FirstErrorOf(session_, kRollback);
      throw ScriptLineFailure(line, MessageOf(*error));
    }
    ++batches_;
    numbers_.clear();
    text_.clear();
  }

  std::size_t Batches() const { return batches_; }

 private:
  void Append(std::size_t number, const std::string& line) {
    if (!numbers_.empty()) text_ += "\r\n";
    text_ += line;
    numbers_.push_back(number);
  }

  Session& session_;
  std::size_t max_lines_;
  std::size_t max_bytes_;
  std::string text_;
  std::vector<std::size_t> numbers_;  // script line of each batch line
  std::size_t batches_ = 0;
};

}  // namespace

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

ScriptRunSummary RunScript(Session& session, std::istream& script,
                           const ScriptBatchLimits& limits) {
  const auto start = std::chrono::steady_clock::now();
  ScriptRunSummary summary;
  RunOwn(session, kSessionSetup);
  RunOwn(session, kBegin);
  Batch batch(session, limits);
  std::string line;
  std::size_t number = 0;
  while (std::getline(script, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    batch.Add(number, line);
    ++summary.statements;
  }
  if (script.bad()) {
    FirstErrorOf(session, kRollback);
    throw std::runtime_error("cannot read the script after line " + std::to_string(number));
  }
  batch.Send();
  RunOwn(session, kCommit);
  summary.batches = batch.Batches();
  summary.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return summary;
}

}  // namespace sandbox::sample
