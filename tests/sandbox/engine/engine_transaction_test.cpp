// Sessions side by side: uncommitted rows stay private, a dropped session rolls back, writers
// wait for each other, the transaction manager requests report their ENVCHANGEs.
#include <thread>

#include "tests/sandbox/engine/engine_test_support.h"

namespace sandbox::testing {
namespace {

class TransactionTest : public EngineTest {
 protected:
  TransactionTest() {
    auto setup = NewDatabase("E2018");
    Ok(*setup, "CREATE TABLE T(A int NOT NULL PRIMARY KEY)");
    first_ = engine_->OpenSession("E2018");
    second_ = engine_->OpenSession("E2018");
  }

  long long Count(Session& session) {
    RecordingSink sink = Ok(session, "SELECT COUNT(*) FROM T");
    return std::get<std::int64_t>(sink.Scalar());
  }

  std::unique_ptr<Session> first_;
  std::unique_ptr<Session> second_;
};

TEST_F(TransactionTest, UncommittedRowsAreInvisibleToOtherSessions) {
  Ok(*first_, "BEGIN TRANSACTION\nINSERT INTO T VALUES(1)");
  EXPECT_EQ(Count(*first_), 1);
  EXPECT_EQ(Count(*second_), 0);
  Ok(*first_, "COMMIT");
  EXPECT_EQ(Count(*second_), 1);
}

TEST_F(TransactionTest, RollbackDiscardsTheRows) {
  Ok(*first_, "BEGIN TRAN\nINSERT INTO T VALUES(1)\nINSERT INTO T VALUES(2)\nROLLBACK TRAN");
  EXPECT_EQ(Count(*first_), 0);
}

TEST_F(TransactionTest, DestroyingASessionMidTransactionRollsBack) {
  Ok(*first_, "BEGIN TRAN\nINSERT INTO T VALUES(1)");
  first_.reset();
  EXPECT_EQ(Count(*second_), 0);
  Ok(*second_, "INSERT INTO T VALUES(1)");  // the lock is gone too
}

TEST_F(TransactionTest, NestedBeginNeedsAsManyCommits) {
  RecordingSink sink = Ok(*first_,
                          "BEGIN TRAN\nBEGIN TRAN\nINSERT INTO T VALUES(1)\nCOMMIT\n"
                          "SELECT @@TRANCOUNT");
  EXPECT_EQ(sink.Scalar(), Value{std::int64_t{1}});
  EXPECT_EQ(Count(*second_), 0);
  Ok(*first_, "COMMIT");
  EXPECT_EQ(Count(*second_), 1);
}

TEST_F(TransactionTest, TransactionManagerRequestsReportEnvChanges) {
  RecordingSink begin;
  first_->BeginTransaction(begin);
  EXPECT_EQ(begin.transactions, (std::vector<int>{8}));
  EXPECT_NE(begin.last_descriptor, 0u);
  EXPECT_EQ(first_->TransactionDescriptor(), begin.last_descriptor);
  EXPECT_TRUE(begin.dones.empty());
  Ok(*first_, "INSERT INTO T VALUES(1)");
  RecordingSink rollback;
  first_->RollbackTransaction(rollback);
  EXPECT_EQ(rollback.transactions, (std::vector<int>{10}));
  EXPECT_EQ(first_->TransactionDescriptor(), 0u);
  EXPECT_EQ(Count(*second_), 0);
  RecordingSink commit;
  first_->CommitTransaction(commit);
  ASSERT_EQ(commit.errors.size(), 1u);
  EXPECT_EQ(commit.errors[0].number, 3902);
}

TEST_F(TransactionTest, WriterWaitsForAnotherWritersCommit) {
  Ok(*first_, "BEGIN TRAN\nINSERT INTO T VALUES(1)");
  std::thread committer([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    RecordingSink sink;
    first_->ExecuteBatch("COMMIT", sink);
  });
  RecordingSink sink = Run(*second_, "INSERT INTO T VALUES(2)");
  committer.join();
  EXPECT_TRUE(sink.errors.empty());
  EXPECT_EQ(Count(*second_), 2);
}

TEST_F(TransactionTest, LockTimeoutReports1222) {
  Ok(*first_, "BEGIN TRAN\nINSERT INTO T VALUES(1)");
  RecordingSink sink = Run(*second_, "SET LOCK_TIMEOUT 50\nINSERT INTO T VALUES(2)");
  ASSERT_EQ(sink.errors.size(), 1u);
  EXPECT_EQ(sink.errors[0].number, 1222);
  EXPECT_STREQ(sink.errors[0].what(), "Lock request time out period exceeded.");
  Ok(*first_, "ROLLBACK");
}

TEST_F(TransactionTest, CreateDatabaseIsRefusedInsideATransaction) {
  RecordingSink sink = Run(*first_, "BEGIN TRAN\nCREATE DATABASE X\nROLLBACK");
  ASSERT_EQ(sink.errors.size(), 1u);
  EXPECT_EQ(sink.errors[0].number, 226);
}

}  // namespace
}  // namespace sandbox::testing
