// Writers that wait for each other as SQL Server's do, named transactions and savepoints,
// and the reset a pooled connection asks for.
#include <thread>

#include "tests/sandbox/engine/engine_test_support.h"

namespace sandbox::testing {
namespace {

// A sink another thread can cancel.
class CancellableSink : public RecordingSink {
 public:
  bool Cancelled() override { return cancel; }
  std::atomic<bool> cancel = false;
};

class LockTest : public EngineTest {
 protected:
  void SetUp() override {
    Ok(*NewDatabase("E2018"),
       "CREATE TABLE T (ID int PRIMARY KEY, V int)\nINSERT INTO T VALUES (1, 0)");
  }
  std::unique_ptr<Session> Open() { return engine_->OpenSession("E2018"); }
};

TEST_F(LockTest, ConcurrentWritersWaitInsteadOfFailing) {
  // Each transaction reads before it writes: such a snapshot once made writers fail with 1222.
  constexpr int kThreads = 8;
  constexpr int kRounds = 15;
  std::vector<std::thread> threads;
  std::atomic<int> failures = 0;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      auto session = Open();
      for (int r = 0; r < kRounds; ++r) {
        const std::string id = std::to_string(100 + t * kRounds + r);
        RecordingSink sink = Run(*session,
                                 "BEGIN TRAN\nSELECT COUNT(*) FROM T\nUPDATE T SET V = V + 1 WHERE "
                                 "ID = 1\nINSERT INTO T VALUES (" +
                                     id + ", 0)\nROLLBACK");
        failures += static_cast<int>(sink.errors.size());
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(Ok(*Open(), "SELECT V FROM T WHERE ID = 1").Scalar(), Value{std::int64_t{0}});
}

TEST_F(LockTest, AWaitingWriterGoesOnWhenTheHolderCommits) {
  auto holder = Open();
  Ok(*holder, "BEGIN TRAN\nUPDATE T SET V = 5 WHERE ID = 1");
  RecordingSink waited;
  std::thread writer([&] { waited = Run(*Open(), "UPDATE T SET V = V + 1 WHERE ID = 1"); });
  Ok(*holder, "COMMIT");
  writer.join();
  EXPECT_TRUE(waited.errors.empty());
  EXPECT_EQ(Ok(*holder, "SELECT V FROM T WHERE ID = 1").Scalar(), Value{std::int64_t{6}});
}

TEST_F(LockTest, LockTimeoutZeroFailsAtOnceAndTheTransactionStays) {
  auto holder = Open();
  Ok(*holder, "BEGIN TRAN\nUPDATE T SET V = 5 WHERE ID = 1");
  auto other = Open();
  RecordingSink sink = Run(
      *other, "SET LOCK_TIMEOUT 0\nBEGIN TRAN\nINSERT INTO T VALUES (2, 0)\nSELECT @@TRANCOUNT");
  ASSERT_EQ(sink.errors.size(), 1u);
  EXPECT_EQ(sink.errors[0].number, 1222);
  EXPECT_EQ(std::string(sink.errors[0].what()), "Lock request time out period exceeded.");
  EXPECT_EQ(sink.Scalar(), Value{std::int64_t{1}});
  Ok(*holder, "ROLLBACK");
  Ok(*other, "INSERT INTO T VALUES (2, 0)\nCOMMIT");
}

TEST_F(LockTest, AWaitingWriterSeesTheCancel) {
  auto holder = Open();
  Ok(*holder, "BEGIN TRAN\nUPDATE T SET V = 5 WHERE ID = 1");
  CancellableSink sink;
  std::thread writer([&] { Open()->ExecuteBatch("UPDATE T SET V = 7 WHERE ID = 1", sink); });
  sink.cancel = true;
  writer.join();
  EXPECT_TRUE(sink.errors.empty());
  EXPECT_TRUE(sink.dones.empty());  // the attention acknowledgement ends the reply
  Ok(*holder, "COMMIT");
  EXPECT_EQ(Ok(*holder, "SELECT V FROM T WHERE ID = 1").Scalar(), Value{std::int64_t{5}});
}

TEST_F(LockTest, OneOfTwoCrossedWritersIsTheDeadlockVictim) {
  Ok(*engine_->OpenSession("master"), "CREATE DATABASE E2019");
  Ok(*engine_->OpenSession("E2019"), "CREATE TABLE U (ID int)");
  auto first = Open();
  auto second = engine_->OpenSession("E2019");
  Ok(*first, "BEGIN TRAN\nUPDATE T SET V = 1 WHERE ID = 1");
  Ok(*second, "BEGIN TRAN\nINSERT INTO U VALUES (1)");
  RecordingSink crossed;
  std::thread thread([&] { crossed = Run(*first, "INSERT INTO E2019.dbo.U VALUES (2)"); });
  RecordingSink back = Run(*second, "UPDATE E2018.dbo.T SET V = 2 WHERE ID = 1");
  thread.join();
  // Whoever waits second closes the cycle and is chosen; its rollback lets the other go on.
  ASSERT_EQ(crossed.errors.size() + back.errors.size(), 1u);
  const RecordingSink& victim = crossed.errors.empty() ? back : crossed;
  EXPECT_EQ(victim.errors[0].number, 1205);
  EXPECT_EQ(victim.transactions, std::vector<int>{10});
}

TEST_F(LockTest, NamedTransactionsAndSavepoints) {
  auto session = Open();
  RecordingSink sink;
  session->TransactionRequest(TransactionVerb::kBegin, "outer", sink);
  Ok(*session, "INSERT INTO T VALUES (2, 0)");
  session->TransactionRequest(TransactionVerb::kSave, "point", sink);
  Ok(*session, "INSERT INTO T VALUES (3, 0)");
  session->TransactionRequest(TransactionVerb::kRollback, "point", sink);
  session->TransactionRequest(TransactionVerb::kRollback, "Outer", sink);  // case counts
  session->TransactionRequest(TransactionVerb::kCommit, "", sink);
  ASSERT_EQ(sink.errors.size(), 1u);
  EXPECT_EQ(sink.errors[0].number, 6401);
  EXPECT_EQ(sink.transactions, (std::vector<int>{8, 9}));
  EXPECT_EQ(Ok(*session, "SELECT COUNT(*) FROM T").Scalar(), Value{std::int64_t{2}});
}

TEST_F(LockTest, ResetReturnsToTheLoginsDatabaseAndDefaults) {
  auto session = engine_->OpenSession("master");
  Ok(*session,
     "USE E2018\nSET DATEFORMAT dmy\nSET LOCK_TIMEOUT 5\nSET NOCOUNT ON\nBEGIN TRAN\n"
     "INSERT INTO T VALUES (2, 0)");
  RecordingSink keep;
  session->Reset(true, keep);
  EXPECT_EQ(Ok(*session, "SELECT @@TRANCOUNT").Scalar(), Value{std::int64_t{1}});
  RecordingSink reset;
  session->Reset(false, reset);
  EXPECT_EQ(reset.transactions, std::vector<int>{10});
  RecordingSink after = Ok(*session,
                           "SELECT DB_NAME(), @@LOCK_TIMEOUT, @@TRANCOUNT, "
                           "MONTH(CAST('01.02.2017' AS datetime))");
  const Row expected = {std::string("master"), std::int64_t{-1}, std::int64_t{0}, std::int64_t{1}};
  EXPECT_EQ(after.results[0].rows[0], expected);
  EXPECT_EQ(after.dones.at(0).rows, 1);  // NOCOUNT is off again
  EXPECT_EQ(Ok(*session, "SELECT COUNT(*) FROM E2018.dbo.T").Scalar(), Value{std::int64_t{1}});
}

}  // namespace
}  // namespace sandbox::testing
