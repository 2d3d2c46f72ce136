#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sandbox/engine/engine.h"
#include "sandbox/engine/result_sink.h"

namespace sandbox::testing {

/// A ResultSink that keeps everything the engine reports, in order.
class RecordingSink : public ResultSink {
 public:
  struct ResultSet {
    std::vector<ResultColumn> columns;
    std::vector<Row> rows;
  };
  struct Info {
    int number;
    std::string message;
    int line;
  };
  struct Done {
    long long rows;
    bool error;
  };

  void Columns(const std::vector<ResultColumn>& columns) override {
    results.push_back({columns, {}});
    events.push_back("columns");
  }
  void RowData(const Row& row) override {
    results.back().rows.push_back(row);
    ++rows_seen;
    if (cancel_after_rows > 0 && rows_seen >= cancel_after_rows) cancelled = true;
  }
  void Info(int number, int, int, const std::string& message, int line) override {
    infos.push_back({number, message, line});
    events.push_back("info " + std::to_string(number));
  }
  void Error(const SqlError& error) override {
    errors.push_back(error);
    events.push_back("error " + std::to_string(error.number));
  }
  void DatabaseChanged(const std::string& new_name, const std::string&) override {
    databases.push_back(new_name);
    events.push_back("database " + new_name);
  }
  void TransactionChanged(int type, std::uint64_t descriptor) override {
    transactions.push_back(type);
    last_descriptor = descriptor;
    events.push_back("transaction " + std::to_string(type));
  }
  void StatementDone(long long row_count, bool error) override {
    dones.push_back({row_count, error});
    events.push_back(error ? "done error" : "done");
  }
  bool Cancelled() override { return cancelled; }

  /// The only value of the first result set (the test fails when there is none).
  Value Scalar() const {
    if (results.empty() || results[0].rows.empty() || results[0].rows[0].empty()) {
      ADD_FAILURE() << "no result";
      return {};
    }
    return results[0].rows[0][0];
  }

  std::vector<ResultSet> results;
  std::vector<struct Info> infos;
  std::vector<SqlError> errors;
  std::vector<std::string> databases;
  std::vector<int> transactions;
  std::vector<Done> dones;
  std::vector<std::string> events;
  std::uint64_t last_descriptor = 0;
  long long rows_seen = 0;
  long long cancel_after_rows = 0;
  bool cancelled = false;
};

/// A fresh data folder under the system's temporary folder, removed afterwards.
class TempDir {
 public:
  TempDir() {
    std::random_device device;
    path_ = std::filesystem::temp_directory_path() /
            ("devir-engine-test-" + std::to_string(device()) + "-" + std::to_string(device()));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

/// An engine on a temporary data folder with the login sa / Secret1!.
class EngineTest : public ::testing::Test {
 protected:
  EngineTest() { Restart(); }

  void Restart() {
    engine_.reset();
    engine_ = std::make_unique<Engine>(dir_.Path(),
                                       std::vector<struct Engine::Login>{{"sa", "Secret1!"}});
  }

 public:
  /// Runs a batch on session and returns what it reported.
  static RecordingSink Run(Session& session, const std::string& sql) {
    RecordingSink sink;
    session.ExecuteBatch(sql, sink);
    return sink;
  }

  /// Runs a batch that must succeed without any error.
  static RecordingSink Ok(Session& session, const std::string& sql) {
    RecordingSink sink = Run(session, sql);
    for (const SqlError& error : sink.errors) {
      ADD_FAILURE() << "unexpected error " << error.number << ": " << error.what()
                    << "\n in: " << sql;
    }
    return sink;
  }

 protected:
  /// A session in a new database of the given name.
  std::unique_ptr<Session> NewDatabase(const std::string& name) {
    auto master = engine_->OpenSession("master");
    Ok(*master, "CREATE DATABASE " + name);
    return engine_->OpenSession(name);
  }

  TempDir dir_;
  std::unique_ptr<Engine> engine_;
};

}  // namespace sandbox::testing
