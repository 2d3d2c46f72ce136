#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "sandbox/engine/engine.h"

namespace sandbox::sample::testing {

/// The last result set of a batch.
struct QueryResult {
  std::vector<ResultColumn> columns;
  std::vector<Row> rows;
};

/// Runs sql in session; a reported error fails the test by throwing std::runtime_error with
/// the server's number and text.
QueryResult Query(Session& session, const std::string& sql);

/// The single value of a one-row, one-column result.
Value Scalar(Session& session, const std::string& sql);

/// Every row of table, ordered by ID.
std::vector<Row> Dump(Session& session, const std::string& table);

/// The error numbers sql reports (empty when it succeeds).
std::vector<int> ErrorsOf(Session& session, const std::string& sql);

/// A fresh folder under the system's temporary directory, removed with its contents.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace sandbox::sample::testing
