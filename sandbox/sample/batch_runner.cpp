#include "sandbox/sample/batch_runner.h"

#include <stdexcept>

namespace sandbox::sample {
namespace {

// Keeps the first error; the batch is left to finish as the server would, and the error is
// handed back once ExecuteBatch has returned, so no exception crosses the engine.
class FirstErrorSink final : public ResultSink {
 public:
  void Columns(const std::vector<ResultColumn>&) override {}
  void RowData(const Row&) override {}
  void Info(int, int, int, const std::string&, int) override {}
  void Error(const SqlError& error) override {
    if (!first_error_) first_error_ = error;
  }
  void DatabaseChanged(const std::string&, const std::string&) override {}
  void TransactionChanged(int, std::uint64_t) override {}
  void StatementDone(long long, bool) override {}
  bool Cancelled() override { return false; }

  const std::optional<SqlError>& FirstError() const { return first_error_; }

 private:
  std::optional<SqlError> first_error_;
};

std::string Excerpt(const std::string& sql) {
  constexpr std::size_t kLimit = 200;
  return sql.size() <= kLimit ? sql : sql.substr(0, kLimit) + "...";
}

}  // namespace

std::optional<SqlError> FirstErrorOf(Session& session, const std::string& sql) {
  FirstErrorSink sink;
  session.ExecuteBatch(sql, sink);
  return sink.FirstError();
}

void RunBatch(Session& session, const std::string& sql) {
  if (const auto error = FirstErrorOf(session, sql)) {
    throw std::runtime_error(
        "Msg " + std::to_string(error->number) + ", Level " + std::to_string(error->severity) +
        ", State " + std::to_string(error->state) + ", Line " + std::to_string(error->line) + ": " +
        error->what() + "\nin batch: " + Excerpt(sql));
  }
}

}  // namespace sandbox::sample
