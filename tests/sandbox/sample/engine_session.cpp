#include "tests/sandbox/sample/engine_session.h"

#include <stdlib.h>

#include <stdexcept>
#include <system_error>

namespace sandbox::sample::testing {
namespace {

class RecordingSink final : public ResultSink {
 public:
  void Columns(const std::vector<ResultColumn>& columns) override {
    result.columns = columns;
    result.rows.clear();
  }
  void RowData(const Row& row) override { result.rows.push_back(row); }
  void Info(int, int, int, const std::string&, int) override {}
  void Error(const SqlError& error) override { errors.push_back(error); }
  void DatabaseChanged(const std::string&, const std::string&) override {}
  void TransactionChanged(int, std::uint64_t) override {}
  void StatementDone(long long, bool) override {}
  bool Cancelled() override { return false; }

  QueryResult result;
  std::vector<SqlError> errors;
};

}  // namespace

QueryResult Query(Session& session, const std::string& sql) {
  RecordingSink sink;
  session.ExecuteBatch(sql, sink);
  if (!sink.errors.empty()) {
    throw std::runtime_error("Msg " + std::to_string(sink.errors.front().number) + ": " +
                             sink.errors.front().what() + "\nin: " + sql);
  }
  return sink.result;
}

Value Scalar(Session& session, const std::string& sql) {
  const QueryResult result = Query(session, sql);
  if (result.rows.size() != 1 || result.rows.front().size() != 1) {
    throw std::runtime_error("not a single value: " + sql);
  }
  return result.rows.front().front();
}

std::vector<Row> Dump(Session& session, const std::string& table) {
  return Query(session, "SELECT * FROM " + table + " ORDER BY ID").rows;
}

std::vector<int> ErrorsOf(Session& session, const std::string& sql) {
  RecordingSink sink;
  session.ExecuteBatch(sql, sink);
  std::vector<int> numbers;
  for (const SqlError& error : sink.errors) numbers.push_back(error.number);
  return numbers;
}

TempFolder::TempFolder() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "devir-sample-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    throw std::system_error(errno, std::generic_category(), "mkdtemp " + pattern);
  }
  path_ = pattern;
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace sandbox::sample::testing
