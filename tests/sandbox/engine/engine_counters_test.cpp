// Identity and row version counters: kept in memory while the session holds the write lock,
// written after a single-row INSERT, given back with every statement or transaction that fails.
#include "tests/sandbox/engine/engine_test_support.h"

namespace sandbox::testing {
namespace {

constexpr const char* kSchema =
    "CREATE TABLE DEPO (ID int IDENTITY(1,1) NOT NULL PRIMARY KEY, KODU nvarchar(10) NOT NULL "
    "UNIQUE, ACILIS datetime NULL, SURUM timestamp NULL)";

class CounterTest : public EngineTest {
 protected:
  CounterTest() : session_(NewDatabase("E2018")) { Ok(*session_, kSchema); }

  // ID of every row, in ID order.
  std::vector<std::int64_t> Ids(Session& session) {
    std::vector<std::int64_t> ids;
    RecordingSink sink = Ok(session, "SELECT ID FROM DEPO ORDER BY ID");
    for (const Row& row : sink.results.at(0).rows) ids.push_back(std::get<std::int64_t>(row[0]));
    return ids;
  }

  // The row versions of every row, in ID order, as numbers.
  std::vector<std::uint64_t> RowVersions() {
    std::vector<std::uint64_t> versions;
    RecordingSink sink = Ok(*session_, "SELECT SURUM FROM DEPO ORDER BY ID");
    for (const Row& row : sink.results.at(0).rows) {
      std::uint64_t value = 0;
      for (unsigned char byte : std::get<Blob>(row[0]).bytes) value = value << 8 | byte;
      versions.push_back(value);
    }
    return versions;
  }

  std::unique_ptr<Session> session_;
};

struct FailedStatement {
  const char* name;
  const char* sql;  // fails after KODU '01' is in
  int error;
};

class FailedStatementTest : public CounterTest,
                            public ::testing::WithParamInterface<FailedStatement> {};

// Within a transaction a failing INSERT takes no identity and no row version: the next row
// gets the values the failed one would have had.
TEST_P(FailedStatementTest, TakesNoIdentityNorRowVersionInATransaction) {
  Ok(*session_, "BEGIN TRANSACTION\nINSERT INTO DEPO(KODU) VALUES('01')");
  RecordingSink failed = Run(*session_, GetParam().sql);
  ASSERT_EQ(failed.errors.size(), 1u);
  EXPECT_EQ(failed.errors[0].number, GetParam().error);
  Ok(*session_, "INSERT INTO DEPO(KODU) VALUES('02')\nCOMMIT TRANSACTION");
  EXPECT_EQ(Ids(*session_), (std::vector<std::int64_t>{1, 2}));
  const std::vector<std::uint64_t> versions = RowVersions();
  ASSERT_EQ(versions.size(), 2u);
  EXPECT_EQ(versions[1], versions[0] + 1);
}

INSTANTIATE_TEST_SUITE_P(
    Statements, FailedStatementTest,
    ::testing::Values(
        FailedStatement{"DuplicateKey", "INSERT INTO DEPO(KODU) VALUES('01')", 2627},
        FailedStatement{"BadDate", "INSERT INTO DEPO(KODU, ACILIS) VALUES('03', 'yarın')", 241},
        FailedStatement{"NullIntoNotNull", "INSERT INTO DEPO(KODU) VALUES(NULL)", 515},
        FailedStatement{"SecondOfTwoRows", "INSERT INTO DEPO(KODU) VALUES('03'), ('01')", 2627}),
    [](const ::testing::TestParamInfo<FailedStatement>& param) { return param.param.name; });

TEST_F(CounterTest, RolledBackTransactionGivesItsIdentitiesBack) {
  Ok(*session_,
     "BEGIN TRANSACTION\nINSERT INTO DEPO(KODU) VALUES('01')\n"
     "INSERT INTO DEPO(KODU) VALUES('02')\nROLLBACK TRANSACTION");
  Ok(*session_, "INSERT INTO DEPO(KODU) VALUES('03')");
  EXPECT_EQ(Ids(*session_), (std::vector<std::int64_t>{1}));
}

TEST_F(CounterTest, SessionsTakingTurnsNeverShareAnIdentity) {
  auto other = engine_->OpenSession("E2018");
  for (int round = 0; round < 3; ++round) {
    const std::string a = std::to_string(round) + "a";
    const std::string b = std::to_string(round) + "b";
    // One session writes inside a transaction, the other one statement at a time.
    Ok(*session_,
       "BEGIN TRANSACTION\nINSERT INTO DEPO(KODU) VALUES('" + a + "')\nCOMMIT TRANSACTION");
    Ok(*other, "INSERT INTO DEPO(KODU) VALUES('" + b + "')");
  }
  EXPECT_EQ(Ids(*other), (std::vector<std::int64_t>{1, 2, 3, 4, 5, 6}));
  const std::vector<std::uint64_t> versions = RowVersions();
  for (size_t i = 1; i < versions.size(); ++i) EXPECT_GT(versions[i], versions[i - 1]);
}

TEST_F(CounterTest, TruncateInATransactionStartsTheIdentityAgain) {
  Ok(*session_,
     "BEGIN TRANSACTION\nINSERT INTO DEPO(KODU) VALUES('01')\nTRUNCATE TABLE DEPO\n"
     "INSERT INTO DEPO(KODU) VALUES('02')\nCOMMIT TRANSACTION");
  EXPECT_EQ(Ids(*session_), (std::vector<std::int64_t>{1}));
}

TEST_F(CounterTest, TableMadeAgainInATransactionStartsAtItsOwnSeed) {
  Ok(*session_,
     "BEGIN TRANSACTION\nCREATE TABLE T (ID int IDENTITY(5,5) NOT NULL, A int NULL)\n"
     "INSERT INTO T(A) VALUES(1)\nDROP TABLE T\n"
     "CREATE TABLE T (ID int IDENTITY(100,1) NOT NULL, A int NULL)\n"
     "INSERT INTO T(A) VALUES(1)\nCOMMIT TRANSACTION");
  RecordingSink sink = Ok(*session_, "SELECT ID FROM T");
  ASSERT_EQ(sink.results.at(0).rows.size(), 1u);
  EXPECT_EQ(sink.results[0].rows[0][0], Value{std::int64_t{100}});
}

TEST_F(CounterTest, FailedExplicitIdentityDoesNotMoveTheCurrentValue) {
  Ok(*session_,
     "BEGIN TRANSACTION\nSET IDENTITY_INSERT DEPO ON\n"
     "INSERT INTO DEPO(ID, KODU) VALUES(50, '01')");
  RecordingSink failed = Run(*session_, "INSERT INTO DEPO(ID, KODU) VALUES(60, '01')");
  ASSERT_EQ(failed.errors.size(), 1u);
  Ok(*session_,
     "SET IDENTITY_INSERT DEPO OFF\nINSERT INTO DEPO(KODU) VALUES('02')\nCOMMIT TRANSACTION");
  EXPECT_EQ(Ids(*session_), (std::vector<std::int64_t>{50, 51}));
}

}  // namespace
}  // namespace sandbox::testing
