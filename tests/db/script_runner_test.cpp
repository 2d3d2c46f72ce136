// RunScript against the stand-in: the whole script in one transaction, in batches, and the
// first failing line named with the server's message while nothing of the script stays.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "db/connection.h"
#include "db/query.h"
#include "db/script_runner.h"
#include "db/statement_runner.h"
#include "tests/support/sandbox_process.h"

namespace devir::db {
namespace {

using devir::testing::SandboxProcess;

constexpr char kUser[] = "sa";
constexpr char kPassword[] = "qolvanet";
constexpr char kDatabase[] = "Deneme";

std::string Insert(int n) {
  return "INSERT INTO T(A,B,D) VALUES(N'" + std::to_string(n) + "'," + std::to_string(n) +
         ",'31.12.2017')";
}

// n statements, each inserting a distinct row.
std::vector<std::string> Inserts(int n) {
  std::vector<std::string> lines;
  for (int i = 1; i <= n; ++i) lines.push_back(Insert(i));
  return lines;
}

class ScriptRunnerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    sandbox_ = std::make_unique<SandboxProcess>();
    Connection connection;
    RunOnDatabase(connection, Login(), "master", std::string("CREATE DATABASE ") + kDatabase);
    RunOnDatabase(connection, Login(), kDatabase,
                  "CREATE TABLE T(A nvarchar(5) NOT NULL UNIQUE, B int NULL, D datetime NULL)");
  }
  static void TearDownTestSuite() { sandbox_.reset(); }

  void SetUp() override {
    Connection connection;
    RunOnDatabase(connection, Login(), kDatabase, "DELETE FROM T");
  }

  static std::string Server() { return sandbox_->DataSource(); }
  static ServerLogin Login() { return {Server(), kUser, kPassword}; }

  static Field ReadOne(const std::string& sql) {
    Connection reader;
    reader.SetConnectionString(RunnerConnectionString(Login(), kDatabase));
    reader.Connect();
    Query query(reader);
    query.SetSql(sql);
    query.Open();
    return query.FieldAt(0);
  }

  static long long CountRows() {
    return static_cast<long long>(ReadOne("SELECT COUNT(*) FROM T").AsFloat());
  }

  static std::size_t Run(const std::vector<std::string>& lines, ScriptBatchLimits limits = {},
                         const ScriptProgress& progress = {}) {
    Connection connection;
    const std::size_t run = RunScript(connection, Login(), kDatabase, lines, progress, limits);
    EXPECT_FALSE(connection.Connected());
    return run;
  }

  static inline std::unique_ptr<SandboxProcess> sandbox_;
};

TEST_F(ScriptRunnerTest, RunsEveryNonEmptyLineInBatchesAndReportsProgress) {
  std::vector<std::string> lines = {"SET DATEFORMAT DMY"};
  for (std::string& line : Inserts(1200)) lines.push_back(std::move(line));
  lines.insert(lines.begin() + 5, std::string());  // empty lines are skipped
  lines.push_back(std::string());

  std::vector<std::pair<std::size_t, std::size_t>> calls;
  const std::size_t run = Run(lines, {.max_lines = 500}, [&](std::size_t done, std::size_t total) {
    calls.emplace_back(done, total);
  });

  EXPECT_EQ(run, 1201u);
  EXPECT_EQ(CountRows(), 1200);
  // Day first: 31.12.2017 is a valid date only in the order DMY.
  const DateTime latest{.year = 2017, .month = 12, .day = 31};
  EXPECT_EQ(ReadOne("SELECT MIN(D) FROM T").AsDateTime(), latest);
  EXPECT_EQ(ReadOne("SELECT MAX(D) FROM T").AsDateTime(), latest);
  const std::vector<std::pair<std::size_t, std::size_t>> expected = {
      {0, 1201}, {500, 1201}, {1000, 1201}, {1201, 1201}};
  EXPECT_EQ(calls, expected);
}

TEST_F(ScriptRunnerTest, SmallByteLimitStillRunsEveryLine) {
  EXPECT_EQ(Run(Inserts(30), {.max_lines = 500, .max_bytes = 100}), 30u);
  EXPECT_EQ(CountRows(), 30);
}

TEST_F(ScriptRunnerTest, EmptyScriptNeedsNoServer) {
  Connection connection;
  EXPECT_EQ(RunScript(connection, {"127.0.0.1,1", kUser, kPassword}, kDatabase, {"", ""}), 0u);
}

// A failing statement in a later batch: the line and the server's message come back, and
// the batches that had succeeded before it are rolled back too.
struct FailureCase {
  const char* name;
  std::string bad_line;
  const char* message_part;
  std::size_t bad_index;  // where the line goes among 1100 good ones, batches of 500
};

class ScriptRunnerFailureTest : public ScriptRunnerTest,
                                public ::testing::WithParamInterface<FailureCase> {};

TEST_P(ScriptRunnerFailureTest, NamesTheFailingLineAndLeavesNoRows) {
  const FailureCase& c = GetParam();
  std::vector<std::string> lines = Inserts(1100);
  const std::size_t bad_index = c.bad_index;
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(bad_index), c.bad_line);

  std::vector<std::size_t> progress;
  try {
    Run(lines, {.max_lines = 500},
        [&](std::size_t done, std::size_t) { progress.push_back(done); });
    FAIL() << "the script ran to the end";
  } catch (const ScriptLineError& error) {
    EXPECT_EQ(error.Line(), c.bad_line);
    EXPECT_EQ(error.LineNumber(), bad_index + 1);
    EXPECT_NE(std::string(error.what()).find(c.message_part), std::string::npos) << error.what();
    EXPECT_NE(error.NativeError(), 0);
  }
  EXPECT_EQ(CountRows(), 0);
  // Progress follows the batches that succeeded before the failing one.
  std::vector<std::size_t> expected;
  for (std::size_t done = 0; done <= bad_index; done += 500) expected.push_back(done);
  EXPECT_EQ(progress, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, ScriptRunnerFailureTest,
    ::testing::Values(
        FailureCase{"TooLongValue", "INSERT INTO T(A) VALUES(N'uzun-deger')", "truncated", 1042},
        FailureCase{"FirstLine", "INSERT INTO T(A) VALUES(N'uzun-deger')", "truncated", 0},
        FailureCase{"LastLineOfABatch", "INSERT INTO T(A) VALUES(N'uzun-deger')", "truncated", 999},
        // The duplicate of a row from the first batch fails only once that batch has run, so
        // the search for the line must run the earlier batches again first.
        FailureCase{"DuplicateOfAnEarlierBatch", Insert(7), "UNIQUE", 1042},
        // A missing table stops the batch without XACT_ABORT's rollback.
        FailureCase{"UnknownTable", "INSERT INTO YOK(A) VALUES(1)", "YOK", 1042}),
    [](const ::testing::TestParamInfo<FailureCase>& param_info) { return param_info.param.name; });

TEST_F(ScriptRunnerTest, HalfOfABrokenStatementFailsOnItsOwn) {
  // A text value with a line break splits its statement into two lines; joined in a batch
  // they would make the statement whole again, run alone the first half fails.
  std::vector<std::string> lines = Inserts(10);
  lines.push_back("INSERT INTO T(A) VALUES(N'ab");
  lines.push_back("c')");
  lines.push_back(Insert(11));
  try {
    Run(lines);
    FAIL() << "the broken statement ran";
  } catch (const ScriptLineError& error) {
    EXPECT_EQ(error.Line(), "INSERT INTO T(A) VALUES(N'ab");
    EXPECT_EQ(error.LineNumber(), 11u);
    EXPECT_NE(std::string(error.what()).find("Unclosed quotation mark"), std::string::npos)
        << error.what();
  }
  EXPECT_EQ(CountRows(), 0);
}

TEST_F(ScriptRunnerTest, FailedConnectionIsReportedAgainstTheFirstLine) {
  Connection connection;
  try {
    RunScript(connection, {Server(), kUser, "yanlis"}, kDatabase,
              {"", "SET DATEFORMAT DMY", Insert(1)});
    FAIL() << "connected with a wrong password";
  } catch (const ScriptLineError& error) {
    EXPECT_EQ(error.Line(), "SET DATEFORMAT DMY");
    EXPECT_EQ(error.LineNumber(), 2u);
    EXPECT_NE(std::string(error.what()).find("Login failed"), std::string::npos) << error.what();
  }
  EXPECT_FALSE(connection.Connected());
}

TEST_F(ScriptRunnerTest, AScriptAfterAFailedOneRunsOnTheSameConnectionObject) {
  Connection connection;
  EXPECT_THROW(RunScript(connection, Login(), kDatabase, {Insert(1), Insert(1)}), ScriptLineError);
  EXPECT_EQ(RunScript(connection, Login(), kDatabase, Inserts(3)), 3u);
  EXPECT_EQ(CountRows(), 3);
}

// A server of its own, which each test stops in the middle of a script.
class ScriptRunnerCutTest : public ::testing::Test {
 protected:
  ScriptRunnerCutTest() : sandbox_(Unseeded()) {
    Connection connection;
    RunOnDatabase(connection, Login(), "master", std::string("CREATE DATABASE ") + kDatabase);
    RunOnDatabase(connection, Login(), kDatabase,
                  "CREATE TABLE T(A nvarchar(5), B int, D datetime)");
  }

  static SandboxProcess::Options Unseeded() {
    SandboxProcess::Options options;
    options.seed = false;
    return options;
  }

  ServerLogin Login() const { return {sandbox_.DataSource(), kUser, kPassword}; }

  // Runs ten inserts four to a batch; the server is killed once `run` statements are done.
  void RunCutAfter(std::size_t run) {
    Connection connection;
    RunScript(connection, Login(), kDatabase, Inserts(10),
              [&](std::size_t done, std::size_t) {
                if (done == run) sandbox_.Kill();
              },
              {.max_lines = 4});
  }

  long long RowsAfterRestart() {
    sandbox_.Start();
    Connection reader;
    reader.SetConnectionString(RunnerConnectionString(Login(), kDatabase));
    reader.Connect();
    Query query(reader);
    query.SetSql("SELECT COUNT(*) FROM T");
    query.Open();
    return static_cast<long long>(query.FieldAt(0).AsFloat());
  }

  SandboxProcess sandbox_;
};

// The second batch meets a closed connection: none of its four lines is to blame, and the
// message says so instead of naming one of them.
TEST_F(ScriptRunnerCutTest, AConnectionLostInABatchNamesTheBatchsLines) {
  try {
    RunCutAfter(4);
    FAIL() << "ran on a killed server";
  } catch (const ScriptLineError& error) {
    FAIL() << "blamed line " << error.LineNumber() << ": " << error.what();
  } catch (const ScriptBatchError& error) {
    EXPECT_EQ(error.FirstLine(), 5u);
    EXPECT_EQ(error.LastLine(), 8u);
    EXPECT_EQ(std::string(error.what())
                  .rfind("The connection to the server was lost while lines 5 "
                         "to 8 of the script ran",
                         0),
              0u)
        << error.what();
  }
  EXPECT_EQ(RowsAfterRestart(), 0);
}

// Every line ran; the runner's own COMMIT is no line of the script, and whether it reached
// the server is not known.
TEST_F(ScriptRunnerCutTest, AConnectionLostAtCommitBlamesNoLine) {
  try {
    RunCutAfter(10);
    FAIL() << "committed on a killed server";
  } catch (const ScriptLineError& error) {
    FAIL() << "blamed line " << error.LineNumber() << " (" << error.Line() << "): " << error.what();
  } catch (const ScriptBatchError& error) {
    FAIL() << "blamed lines " << error.FirstLine() << " to " << error.LastLine();
  } catch (const DatabaseError& error) {
    EXPECT_NE(std::string(error.what()).find("whether Deneme holds the script's rows is not known"),
              std::string::npos)
        << error.what();
  }
}

// Lines read through the interface the transfer's spool offers, recording how far the
// runner has read; can be told to fail at one line as a broken disk would.
class WatchedLines final : public ScriptLines {
 public:
  explicit WatchedLines(std::vector<std::string> lines, std::size_t failing_index = SIZE_MAX)
      : lines_(std::move(lines)), in_memory_(lines_), failing_index_(failing_index) {}

  std::size_t Count() const override { return in_memory_.Count(); }
  std::size_t StatementCount() const override { return in_memory_.StatementCount(); }
  void Seek(std::size_t index) override {
    position_ = index;
    in_memory_.Seek(index);
  }
  bool Next(std::string_view& line) override {
    if (position_ == failing_index_) throw std::runtime_error("spool: Input/output error");
    if (!in_memory_.Next(line)) return false;
    ++position_;
    read_ = std::max(read_, position_);
    return true;
  }
  // Lines read from the start, at the furthest.
  std::size_t Read() const noexcept { return read_; }

 private:
  std::vector<std::string> lines_;
  ScriptLinesInMemory in_memory_;
  std::size_t failing_index_;
  std::size_t position_ = 0;
  std::size_t read_ = 0;
};

// The script is never read ahead of the batch under way, so a spooled script is never held
// in memory as a whole.
TEST_F(ScriptRunnerTest, ReadsTheScriptOneBatchAheadAtMost) {
  WatchedLines lines(Inserts(1200));
  std::size_t most_ahead = 0;
  Connection connection;
  const std::size_t run = RunScript(connection, Login(), kDatabase, lines,
                                    [&](std::size_t done, std::size_t) {
                                      most_ahead = std::max(most_ahead, lines.Read() - done);
                                    },
                                    {.max_lines = 100});
  EXPECT_EQ(run, 1200u);
  EXPECT_EQ(lines.Read(), 1200u);
  // The first call comes before any batch, when only the first line has been looked at.
  EXPECT_LE(most_ahead, 1u);
  EXPECT_EQ(CountRows(), 1200);
}

TEST_F(ScriptRunnerTest, AScriptThatCannotBeReadEndsTheRunAndLeavesNoRows) {
  WatchedLines lines(Inserts(1200), 700);
  Connection connection;
  try {
    RunScript(connection, Login(), kDatabase, lines, {}, {.max_lines = 500});
    FAIL() << "the run went past a line it could not read";
  } catch (const ScriptLineError& error) {
    FAIL() << "reported as a failing line: " << error.what();
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "spool: Input/output error");
  }
  EXPECT_FALSE(connection.Connected());
  EXPECT_EQ(CountRows(), 0);
}

}  // namespace
}  // namespace devir::db
