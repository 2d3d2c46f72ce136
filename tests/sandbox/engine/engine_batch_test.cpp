// How a batch is split and run: line numbers, compile errors, errors that end the batch,
// XACT_ABORT, NOCOUNT, one DONE per statement.
#include "tests/sandbox/engine/engine_test_support.h"

namespace sandbox::testing {
namespace {

class BatchTest : public EngineTest {
 protected:
  BatchTest() : session_(NewDatabase("E2018")) {
    Ok(*session_, "CREATE TABLE T(A int NOT NULL PRIMARY KEY, B nvarchar(10) NULL)");
  }

  long long Count() {
    RecordingSink sink = Ok(*session_, "SELECT COUNT(*) FROM T");
    return std::get<std::int64_t>(sink.Scalar());
  }

  std::unique_ptr<Session> session_;
};

TEST_F(BatchTest, StatementsOnLinesWithAndWithoutSemicolons) {
  RecordingSink sink = Ok(*session_,
                          "INSERT INTO T VALUES(1, 'a')\n"
                          "INSERT INTO T VALUES(2, 'b');\n"
                          "INSERT INTO T VALUES(3, 'c'); INSERT INTO T VALUES(4, 'd')\n"
                          "SELECT A FROM T WHERE A > 2 ORDER BY A SELECT COUNT(*) FROM T");
  ASSERT_EQ(sink.dones.size(), 6u);
  EXPECT_EQ(sink.dones[0].rows, 1);
  EXPECT_EQ(sink.dones[4].rows, 2);
  ASSERT_EQ(sink.results.size(), 2u);
  EXPECT_EQ(sink.results[1].rows.at(0).at(0), Value{std::int64_t{4}});
}

TEST_F(BatchTest, ErrorCarriesTheLineWhereItsStatementStarts) {
  RecordingSink sink = Run(*session_,
                           "INSERT INTO T VALUES(1, 'a')\n"
                           "\n"
                           "INSERT INTO T\n"
                           "  VALUES(1, 'b')\n"
                           "INSERT INTO T VALUES(2, 'c')");
  ASSERT_EQ(sink.errors.size(), 1u);
  EXPECT_EQ(sink.errors[0].number, 2627);
  EXPECT_EQ(sink.errors[0].line, 3);
  // A statement error does not end the batch.
  EXPECT_EQ(Count(), 2);
  ASSERT_EQ(sink.dones.size(), 3u);
  EXPECT_FALSE(sink.dones[0].error);
  EXPECT_TRUE(sink.dones[1].error);
  EXPECT_FALSE(sink.dones[2].error);
}

TEST_F(BatchTest, SyntaxErrorAnywhereRunsNothing) {
  RecordingSink sink = Run(*session_,
                           "INSERT INTO T VALUES(1, 'a')\n"
                           "SELEC * FROM T\n"
                           "INSERT INTO T VALUES(2, 'b')");
  ASSERT_EQ(sink.errors.size(), 1u);
  EXPECT_EQ(sink.errors[0].number, 102);
  EXPECT_EQ(sink.errors[0].severity, 15);
  EXPECT_EQ(sink.errors[0].line, 2);
  EXPECT_EQ(Count(), 0);
  ASSERT_EQ(sink.dones.size(), 1u);
  EXPECT_TRUE(sink.dones[0].error);
}

TEST_F(BatchTest, SyntaxErrorTextNamesTheToken) {
  struct Case {
    const char* sql;
    int number;
    const char* message;
  };
  const Case cases[] = {
      {"SELECT * FROM T WHERE", 156, "Incorrect syntax near the keyword 'WHERE'."},
      {"INSERT INTO T VALUES(1, 'a'", 102, "Incorrect syntax near 'a'."},
      {"CREATE TABLE X(A int", 102, "Incorrect syntax near 'int'."},
      {"SELECT 'abc", 105, "Unclosed quotation mark after the character string 'abc'."},
      {"BOGUS", 2812, "Could not find stored procedure 'BOGUS'."},
      {"SELECT 1\nBOGUS STUFF", 102, nullptr},
  };
  for (const Case& c : cases) {
    RecordingSink sink = Run(*session_, c.sql);
    ASSERT_FALSE(sink.errors.empty()) << c.sql;
    EXPECT_EQ(sink.errors[0].number, c.number) << c.sql;
    if (c.message) {
      EXPECT_STREQ(sink.errors[0].what(), c.message) << c.sql;
    }
  }
}

// The session reuses its token list from batch to batch: a short batch after a long one must
// end where its own text ends.
TEST_F(BatchTest, AShortBatchAfterALongOneSeesOnlyItsOwnTokens) {
  Ok(*session_,
     "INSERT INTO T VALUES(1, N'uzun kısa')\n"
     "INSERT INTO T VALUES(2, 'b')\nSELECT A, B FROM T WHERE A > 0 ORDER BY A");
  // An incomplete batch is reported at its own last token.
  RecordingSink incomplete = Run(*session_, "INSERT INTO T VALUES(3, 'c'");
  ASSERT_EQ(incomplete.errors.size(), 1u);
  EXPECT_STREQ(incomplete.errors[0].what(), "Incorrect syntax near 'c'.");
  RecordingSink unclosed = Run(*session_, "SELECT 'x");
  ASSERT_FALSE(unclosed.errors.empty());
  EXPECT_EQ(unclosed.errors[0].number, 105);
  EXPECT_EQ(Ok(*session_, "SELECT N'kısa'").Scalar(), Value{std::string("kısa")});
}

TEST_F(BatchTest, InvalidObjectEndsTheBatch) {
  RecordingSink sink = Run(*session_,
                           "INSERT INTO T VALUES(1, 'a')\n"
                           "SELECT * FROM dbo.YOK\n"
                           "INSERT INTO T VALUES(2, 'b')");
  ASSERT_EQ(sink.errors.size(), 1u);
  EXPECT_EQ(sink.errors[0].number, 208);
  EXPECT_STREQ(sink.errors[0].what(), "Invalid object name 'dbo.YOK'.");
  EXPECT_EQ(sink.errors[0].line, 2);
  EXPECT_EQ(Count(), 1);
}

TEST_F(BatchTest, XactAbortOffKeepsTheTransactionAndGoesOn) {
  RecordingSink sink = Run(*session_,
                           "BEGIN TRAN\n"
                           "INSERT INTO T VALUES(1, 'a')\n"
                           "INSERT INTO T VALUES(1, 'b')\n"
                           "INSERT INTO T VALUES(2, 'c')\n"
                           "COMMIT");
  ASSERT_EQ(sink.errors.size(), 1u);
  EXPECT_EQ(Count(), 2);
  EXPECT_EQ(sink.transactions, (std::vector<int>{8, 9}));
}

TEST_F(BatchTest, XactAbortOnRollsBackAndEndsTheBatch) {
  RecordingSink sink = Run(*session_,
                           "SET XACT_ABORT ON\n"
                           "BEGIN TRAN\n"
                           "INSERT INTO T VALUES(1, 'a')\n"
                           "INSERT INTO T VALUES(1, 'b')\n"
                           "INSERT INTO T VALUES(2, 'c')\n"
                           "COMMIT");
  ASSERT_EQ(sink.errors.size(), 1u);
  EXPECT_EQ(sink.errors[0].number, 2627);
  EXPECT_EQ(sink.transactions, (std::vector<int>{8, 10}));
  EXPECT_EQ(session_->TransactionDescriptor(), 0u);
  EXPECT_EQ(Count(), 0);
  EXPECT_EQ(Ok(*session_, "SELECT @@TRANCOUNT").Scalar(), Value{std::int64_t{0}});
}

TEST_F(BatchTest, XactAbortOnWithoutTransactionStillEndsTheBatch) {
  RecordingSink sink = Run(*session_,
                           "SET XACT_ABORT ON\n"
                           "INSERT INTO T VALUES(NULL, 'a')\n"
                           "INSERT INTO T VALUES(2, 'c')");
  ASSERT_EQ(sink.errors.size(), 1u);
  EXPECT_EQ(sink.errors[0].number, 515);
  EXPECT_EQ(Count(), 0);
}

TEST_F(BatchTest, NocountDropsRowCounts) {
  RecordingSink sink = Ok(*session_, "SET NOCOUNT ON\nINSERT INTO T VALUES(1, 'a')");
  ASSERT_EQ(sink.dones.size(), 2u);
  EXPECT_EQ(sink.dones[1].rows, -1);
  RecordingSink counted = Ok(*session_, "SET NOCOUNT OFF\nINSERT INTO T VALUES(2, 'a')");
  EXPECT_EQ(counted.dones.at(1).rows, 1);
}

TEST_F(BatchTest, CommentsAndBracketsAreUnderstood) {
  RecordingSink sink = Ok(*session_,
                          "/* a comment\n spanning lines */ INSERT INTO [dbo].[T] ([A], \"B\") "
                          "VALUES (1, N'x') -- trailing\n"
                          "SELECT [B] FROM E2018.dbo.T");
  EXPECT_EQ(sink.results.at(0).rows.at(0).at(0), Value{std::string("x")});
}

TEST_F(BatchTest, CommitAndRollbackWithoutTransactionFail) {
  RecordingSink commit = Run(*session_, "COMMIT TRAN");
  ASSERT_EQ(commit.errors.size(), 1u);
  EXPECT_EQ(commit.errors[0].number, 3902);
  EXPECT_STREQ(commit.errors[0].what(),
               "The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION.");
  RecordingSink rollback = Run(*session_, "ROLLBACK");
  ASSERT_EQ(rollback.errors.size(), 1u);
  EXPECT_EQ(rollback.errors[0].number, 3903);
  EXPECT_STREQ(rollback.errors[0].what(),
               "The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION.");
}

TEST_F(BatchTest, IfExistsChoosesABranch) {
  Ok(*session_,
     "IF OBJECT_ID('T') IS NOT NULL DROP TABLE T\n"
     "IF NOT EXISTS (SELECT * FROM sys.tables WHERE name = 'T') "
     "CREATE TABLE T(C int) ELSE SELECT 1");
  RecordingSink sink = Ok(*session_, "SELECT * FROM T");
  EXPECT_EQ(sink.results.at(0).columns.at(0).name, "C");
}

TEST_F(BatchTest, UnknownSetOptionIsRefusedAndHarmlessOnesAccepted) {
  Ok(*session_,
     "SET ANSI_NULLS ON\nSET QUOTED_IDENTIFIER ON\nSET TEXTSIZE 2147483647\n"
     "SET LOCK_TIMEOUT -1\nSET DATEFORMAT ydm\nSET LANGUAGE us_english");
  RecordingSink sink = Run(*session_, "SET YOK ON");
  ASSERT_EQ(sink.errors.size(), 1u);
  EXPECT_EQ(sink.errors[0].number, 195);
}

}  // namespace
}  // namespace sandbox::testing
