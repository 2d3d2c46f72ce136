// devir-sandbox run: a script file run in one transaction, batch by batch, without the wire.
#include "sandbox/sample/script_file.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "sandbox/engine/engine.h"
#include "tests/sandbox/sample/engine_session.h"

namespace sandbox::sample {
namespace {

using testing::Query;
using testing::Scalar;
using testing::TempFolder;

class ScriptFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    engine_ = std::make_unique<Engine>(folder_.Path(), std::vector<struct Engine::Login>{});
    auto master = engine_->OpenSession("master");
    Query(*master, "CREATE DATABASE E2018");
    session_ = engine_->OpenSession("E2018");
    Query(*session_,
          "CREATE TABLE T (ID int IDENTITY(1,1) PRIMARY KEY, KODU nvarchar(10) NOT NULL UNIQUE, "
          "TARIH datetime NULL)");
  }

  std::int64_t Rows() {
    return std::get<std::int64_t>(Scalar(*session_, "SELECT COUNT(*) FROM T"));
  }

  TempFolder folder_;
  std::unique_ptr<Engine> engine_;
  std::unique_ptr<Session> session_;
};

TEST_F(ScriptFileTest, RunsEveryLineInBatchesAndCommits) {
  std::string script;
  for (int i = 1; i <= 7; ++i) {
    script += "INSERT INTO T(KODU) VALUES (N'K" + std::to_string(i) + "')\r\n";
    if (i == 3) script += "\r\n";  // empty lines are skipped, not counted
  }
  std::istringstream in(script);
  const ScriptRunSummary summary = RunScript(*session_, in, {3, 1u << 20});
  EXPECT_EQ(summary.statements, 7u);
  EXPECT_EQ(summary.batches, 3u);  // 3 + 3 + 1
  EXPECT_EQ(Rows(), 7);
  EXPECT_EQ(std::get<std::int64_t>(Scalar(*session_, "SELECT @@TRANCOUNT")), 0);
}

TEST_F(ScriptFileTest, DatesAreReadDayFirstAsDevirSetsThem) {
  std::istringstream in("INSERT INTO T(KODU, TARIH) VALUES (N'A', '02.01.2018')\n");
  RunScript(*session_, in);
  EXPECT_EQ(std::get<std::string>(Scalar(*session_, "SELECT TARIH FROM T")),
            "2018-01-02 00:00:00.000");
}

TEST_F(ScriptFileTest, FailingLineIsNamedAndNothingIsKept) {
  std::istringstream in(
      "INSERT INTO T(KODU) VALUES (N'A')\n"
      "\n"
      "INSERT INTO T(KODU) VALUES (N'B')\n"
      "INSERT INTO T(KODU) VALUES (N'a')\n"  // duplicate of A under Turkish_CI_AS
      "INSERT INTO T(KODU) VALUES (N'C')\n");
  try {
    RunScript(*session_, in);
    FAIL() << "the duplicate key was not reported";
  } catch (const ScriptLineFailure& failure) {
    EXPECT_EQ(failure.line, 4u);
    EXPECT_NE(std::string(failure.what()).find("Msg 2627"), std::string::npos) << failure.what();
  }
  EXPECT_EQ(Rows(), 0);
  EXPECT_EQ(std::get<std::int64_t>(Scalar(*session_, "SELECT @@TRANCOUNT")), 0);
}

TEST_F(ScriptFileTest, LineWithAnOpenStringRunsAloneAndFailsAlone) {
  std::istringstream in(
      "INSERT INTO T(KODU) VALUES (N'A')\n"
      "INSERT INTO T(KODU) VALUES (N'B\n"
      "INSERT INTO T(KODU) VALUES (N'C')\n");
  try {
    RunScript(*session_, in);
    FAIL() << "the open string was not reported";
  } catch (const ScriptLineFailure& failure) {
    EXPECT_EQ(failure.line, 2u);
    EXPECT_NE(std::string(failure.what()).find("Msg 105"), std::string::npos) << failure.what();
  }
  EXPECT_EQ(Rows(), 0);
}

struct StandsAloneCase {
  const char* line;
  bool stands_alone;
};

class LineStandsAloneTest : public ::testing::TestWithParam<StandsAloneCase> {};

TEST_P(LineStandsAloneTest, OpenStringsNamesAndCommentsAreSeen) {
  EXPECT_EQ(LineStandsAlone(GetParam().line), GetParam().stands_alone) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(Lines, LineStandsAloneTest,
                         ::testing::Values(StandsAloneCase{"INSERT INTO T VALUES (N'a''b')", true},
                                           StandsAloneCase{"INSERT INTO T VALUES (N'a''", false},
                                           StandsAloneCase{"SELECT [a]]b] FROM T", true},
                                           StandsAloneCase{"SELECT [a FROM T", false},
                                           StandsAloneCase{"SELECT \"a FROM T", false},
                                           StandsAloneCase{"SELECT 1 -- it's a comment", true},
                                           StandsAloneCase{"SELECT 1 /* a /* nested */ comment */",
                                                           true},
                                           StandsAloneCase{"SELECT 1 /* a /* nested */", false},
                                           StandsAloneCase{"SELECT '/*' + '--'", true}));

}  // namespace
}  // namespace sandbox::sample
