// No input crashes or hangs the engine: garbage, truncated statements, odd bytes.
#include <random>

#include "tests/sandbox/engine/engine_test_support.h"

namespace sandbox::testing {
namespace {

TEST_F(EngineTest, GarbageBatchesGiveErrorsNotCrashes) {
  auto session = NewDatabase("E2018");
  Ok(*session, "CREATE TABLE T(A int, B nvarchar(10))");
  const char* fragments[] = {
      "SELECT",       "INSERT",  "INTO",   "T",     "(",       ")",      ",",    "'x'",   "N'y'",
      "VALUES",       "FROM",    "WHERE",  "=",     "1",       "1.5",    "0x1F", "[",     "]",
      "\"",           "/*",      "*/",     "--",    "\n",      ";",      "*",    "dbo",   ".",
      "BEGIN",        "TRAN",    "COMMIT", "CASE",  "END",     "TOP",    "@@",   "@x",    "SET",
      "ON",           "CREATE",  "TABLE",  "DROP",  "UPDATE",  "DELETE", "IF",   "ELSE",  "EXEC",
      "sp_attach_db", "\xC3",    "\xFF",   "NULL",  "DEFAULT", "+",      "-",    "GROUP", "BY",
      "ORDER",        "(SELECT", "USE",    "master"};
  std::mt19937 random(2017);
  std::uniform_int_distribution<size_t> pick(0, std::size(fragments) - 1);
  std::uniform_int_distribution<int> length(1, 12);
  for (int i = 0; i < 400; ++i) {
    std::string sql;
    int n = length(random);
    for (int k = 0; k < n; ++k) sql += std::string(fragments[pick(random)]) + " ";
    RecordingSink sink;
    session->ExecuteBatch(sql, sink);
    // Every statement ends with exactly one DONE, errors included.
    EXPECT_FALSE(sink.dones.empty() && !sink.errors.empty()) << sql;
    if (session->CurrentDatabase() != "E2018") Ok(*session, "USE E2018");
    if (session->TransactionDescriptor() != 0) Run(*session, "ROLLBACK");
  }
  Ok(*session, "SELECT COUNT(*) FROM T");
}

TEST_F(EngineTest, EmptyAndBlankBatchesDoNothing) {
  auto session = engine_->OpenSession("master");
  for (const char* sql : {"", "   ", "\n\n", "-- only a comment", "/* c */", ";;"}) {
    RecordingSink sink = Run(*session, sql);
    EXPECT_TRUE(sink.errors.empty()) << sql;
  }
}

}  // namespace
}  // namespace sandbox::testing

namespace sandbox::testing {
namespace {

TEST_F(EngineTest, DeepNestingIsRefusedNotOverflowed) {
  auto session = NewDatabase("E2018");
  Ok(*session, "CREATE TABLE T(A int)");
  std::string deep_values =
      "INSERT INTO T VALUES(" + std::string(5000, '(') + "1" + std::string(5000, ')') + ")";
  std::string deep_select = "SELECT 1";
  for (int i = 0; i < 300; ++i) deep_select = "SELECT (" + deep_select + ")";
  std::string deep_blocks;
  for (int i = 0; i < 300; ++i) deep_blocks += "BEGIN ";
  for (const std::string& sql : {deep_values, deep_select, deep_blocks}) {
    RecordingSink sink = Run(*session, sql);
    ASSERT_FALSE(sink.errors.empty()) << sql.substr(0, 40);
    EXPECT_EQ(sink.errors[0].severity, 15) << sql.substr(0, 40);
  }
}

}  // namespace
}  // namespace sandbox::testing
