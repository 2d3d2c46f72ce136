// What the stand-in answers where clients compare it with SQL Server: error numbers and
// texts, types of literals, DONE's current command, housekeeping values.
#include "sandbox/engine/message_format.h"
#include "tests/sandbox/engine/engine_test_support.h"

namespace sandbox::testing {
namespace {

struct ErrorCase {
  const char* name;
  const char* sql;
  int number;
  const char* text;
  int line;
};

class ErrorAnswers : public EngineTest, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(ErrorAnswers, AreSqlServersOwn) {
  const ErrorCase& c = GetParam();
  auto session = engine_->OpenSession("master");
  RecordingSink sink = Run(*session, c.sql);
  ASSERT_FALSE(sink.errors.empty()) << c.sql;
  const SqlError& e = sink.errors.back();
  EXPECT_EQ(e.number, c.number);
  EXPECT_EQ(std::string(e.what()), c.text);
  EXPECT_EQ(e.line, c.line);
}

INSTANTIATE_TEST_SUITE_P(
    Statements, ErrorAnswers,
    ::testing::Values(
        ErrorCase{"DanglingPlus", "SELECT 1 +", 102, "Incorrect syntax near '+'.", 1},
        ErrorCase{"DivideByZero", "SELECT 1/0", 8134, "Divide by zero error encountered.", 1},
        ErrorCase{"ModuloByZero", "SELECT 1\nSELECT 5 % (2 - 2)", 8134,
                  "Divide by zero error encountered.", 2},
        ErrorCase{"TextToInt", "SELECT CAST('abc' AS int)", 245,
                  "Conversion failed when converting the varchar value 'abc' to data type int.", 1},
        ErrorCase{"UnicodeTextToInt", "SELECT CONVERT(int, N'x1')", 245,
                  "Conversion failed when converting the nvarchar value 'x1' to data type int.", 1},
        ErrorCase{"NotADate", "SELECT CAST('x' AS datetime)", 241,
                  "Conversion failed when converting date and/or time from character string.", 1},
        ErrorCase{"DayMonthOutOfRange", "SET DATEFORMAT DMY\nSELECT CAST('31.02.2017' AS datetime)",
                  242,
                  "The conversion of a varchar data type to a datetime data type resulted in an "
                  "out-of-range value.",
                  2},
        ErrorCase{"NumberedMessage", "RAISERROR(50001, 16, 1)", 18054,
                  "Error 50001, severity 16, state 1 was raised, but no message with that error "
                  "number was found in sys.messages. If error is larger than 50000, make sure the "
                  "user-defined message is added using sp_addmessage.",
                  1},
        ErrorCase{"FatalSeverityWithoutLog", "RAISERROR('x', 20, 1)", 2754,
                  "Error severity levels greater than 18 can only be specified by members of the "
                  "sysadmin role, using the WITH LOG option.",
                  1},
        ErrorCase{"RollbackOfAnotherName", "BEGIN TRAN t1\nROLLBACK TRAN t2", 6401,
                  "Cannot roll back t2. No transaction or savepoint of that name was found.", 2},
        ErrorCase{"SaveOutsideATransaction", "SAVE TRAN s", 628,
                  "Cannot issue SAVE TRANSACTION when there is no active transaction.", 1}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(EngineTest, RaiserrorFormatsItsArgumentsAndTheBatchGoesOn) {
  auto session = engine_->OpenSession("master");
  RecordingSink sink = Run(*session,
                           "RAISERROR(N'Stok %s eksik: %d (%5s)', 16, 3, N'BOS-001', 7, 'ab')\n"
                           "SELECT @@ERROR\nRAISERROR('bilgi', 10, 1)\nSELECT @@ERROR");
  ASSERT_EQ(sink.errors.size(), 1u);
  EXPECT_EQ(sink.errors[0].number, 50000);
  EXPECT_EQ(sink.errors[0].state, 3);
  EXPECT_EQ(std::string(sink.errors[0].what()), "Stok BOS-001 eksik: 7 (   ab)");
  ASSERT_EQ(sink.results.size(), 2u);
  EXPECT_EQ(sink.results[0].rows[0][0], Value{std::int64_t{50000}});
  ASSERT_EQ(sink.infos.size(), 1u);  // severity 10 is a message, not an error
  EXPECT_EQ(sink.infos[0].message, "bilgi");
  EXPECT_EQ(sink.results[1].rows[0][0], Value{std::int64_t{0}});
}

Scalar Number(std::int64_t value) {
  Scalar out;
  out.kind = Scalar::Kind::kInt;
  out.int_value = value;
  return out;
}

Scalar Text(const std::string& text) {
  Scalar out;
  out.kind = Scalar::Kind::kNVarChar;
  out.text = text;
  return out;
}

TEST(RaiserrorMessage, FillsPlaceholdersAsSqlServerDoes) {
  struct Case {
    const char* format;
    std::vector<Scalar> args;
    const char* expected;
  };
  const Case cases[] = {
      {"%s-%d", {Text("ş"), Number(-5)}, "ş--5"},
      {"[%5s][%-5s]", {Text("ab"), Text("ab")}, "[   ab][ab   ]"},
      {"[%05d][%.3d][%*s]", {Number(3), Number(7), Number(4), Text("ab")}, "[    3][007][  ab]"},
      {"%x %X %#x %o %u",
       {Number(255), Number(255), Number(255), Number(8), Number(-1)},
       "ff FF 0xff 10 4294967295"},
      {"%+d|% d|%i", {Number(5), Number(5), Number(6)}, "+5| 5|6"},
      {"100%% %s %s", {Text("a")}, "100% a (null)"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatRaiseErrorMessage(c.format, c.args), c.expected);
  EXPECT_THROW(FormatRaiseErrorMessage("%d", {Text("x")}), SqlError);
  const std::string cut = FormatRaiseErrorMessage(std::string(3000, 'a'), {});
  EXPECT_EQ(cut.size(), 2047u);
  EXPECT_EQ(cut.substr(2041), "aaa...");
}

TEST_F(EngineTest, ADuplicateKeyIsFollowedByStatementTerminated) {
  auto session = NewDatabase("E2018");
  Ok(*session, "CREATE TABLE T (ID int PRIMARY KEY)\nINSERT INTO T VALUES (1)");
  RecordingSink sink = Run(*session, "INSERT INTO T VALUES (1)\nSELECT COUNT(*) FROM T");
  const std::vector<std::string> expected = {"error 2627", "info 3621", "done error", "columns",
                                             "done"};
  EXPECT_EQ(sink.events, expected);
  ASSERT_EQ(sink.infos.size(), 1u);
  EXPECT_EQ(sink.infos[0].message, "The statement has been terminated.");
}

TEST_F(EngineTest, LongLiteralsAreMaxTypesAndEmojiCountsTwoUnits) {
  auto session = engine_->OpenSession("master");
  RecordingSink sink =
      Ok(*session, "SELECT N'" + std::string(4001, 'n') + "', '" + std::string(8001, 'v') +
                       "', N'😀', LEN(N'😀'), DATALENGTH(N'😀'), N'ab'");
  ASSERT_EQ(sink.results.size(), 1u);
  const auto& columns = sink.results[0].columns;
  EXPECT_EQ(columns[0].type, (ColumnType{SqlType::NVarChar, ColumnType::kMax, 0, 0}));
  EXPECT_EQ(columns[1].type, (ColumnType{SqlType::VarChar, ColumnType::kMax, 0, 0}));
  EXPECT_EQ(columns[2].type, (ColumnType{SqlType::NVarChar, 2, 0, 0}));
  EXPECT_EQ(columns[5].type, (ColumnType{SqlType::NVarChar, 2, 0, 0}));
  const Row& row = sink.results[0].rows[0];
  EXPECT_EQ(row[2], Value{std::string("😀")});
  EXPECT_EQ(row[3], Value{std::int64_t{2}});
  EXPECT_EQ(row[4], Value{std::int64_t{4}});
}

TEST_F(EngineTest, CastCutsTextAndTryCastGivesNull) {
  auto session = engine_->OpenSession("master");
  RecordingSink sink = Ok(*session,
                          "SELECT CAST(N'abcdef' AS nvarchar(3)), TRY_CAST('q' AS int), "
                          "CAST('2017-12-31T23:59:59.997' AS datetime)");
  const Row& row = sink.results[0].rows[0];
  EXPECT_EQ(row[0], Value{std::string("abc")});
  EXPECT_EQ(row[1], Value{});
  EXPECT_EQ(row[2], Value{std::string("2017-12-31 23:59:59.997")});
}

TEST_F(EngineTest, OuterJoinedNotNullColumnsMayBeNull) {
  auto session = NewDatabase("E2018");
  Ok(*session, "CREATE TABLE A (K int NOT NULL)\nCREATE TABLE B (K int NOT NULL)");
  RecordingSink sink = Ok(*session, "SELECT A.K, B.K, 1 FROM A LEFT JOIN B ON A.K = B.K");
  const auto& columns = sink.results[0].columns;
  EXPECT_FALSE(columns[0].nullable);
  EXPECT_TRUE(columns[1].nullable);
  EXPECT_FALSE(columns[2].nullable);
}

// Keeps DONE's current command as well as what RecordingSink keeps.
class CommandSink : public RecordingSink {
 public:
  void CommandDone(long long row_count, bool error, DoneCommand command) override {
    commands.push_back(command);
    StatementDone(row_count, error);
  }
  std::vector<DoneCommand> commands;
};

TEST_F(EngineTest, EachDoneNamesItsStatement) {
  auto session = NewDatabase("E2018");
  CommandSink sink;
  session->ExecuteBatch(
      "CREATE TABLE T (ID int)\nINSERT INTO T VALUES (1)\nUPDATE T SET ID = 2\nSELECT ID FROM T\n"
      "DELETE FROM T\nSET NOCOUNT ON\nSET NOCOUNT OFF\nSET DATEFORMAT dmy\nBEGIN TRAN\n"
      "COMMIT\nPRINT 'x'\nDROP TABLE T",
      sink);
  const std::vector<DoneCommand> expected = {
      DoneCommand::kCreateTable, DoneCommand::kInsert,   DoneCommand::kUpdate,
      DoneCommand::kSelect,      DoneCommand::kDelete,   DoneCommand::kSetOn,
      DoneCommand::kSetOff,      DoneCommand::kSetValue, DoneCommand::kBeginTransaction,
      DoneCommand::kCommit,      DoneCommand::kPrint,    DoneCommand::kDropTable};
  EXPECT_EQ(sink.commands, expected);
}

TEST_F(EngineTest, HousekeepingValuesFollowTheInstanceAndTheSession) {
  struct Case {
    const char* instance;
    const char* server_name;
    Value instance_property;
  };
  for (const Case& c : {Case{"SQLEXPRESS", "DEVIR-SANDBOX\\SQLEXPRESS", std::string("SQLEXPRESS")},
                        Case{"MSSQLSERVER", "DEVIR-SANDBOX", Value{}}}) {
    Engine engine(dir_.Path(), {{"sa", "x"}}, c.instance);
    auto session = engine.OpenSession("master");
    RecordingSink sink =
        Ok(*session,
           "SELECT @@SERVERNAME, SERVERPROPERTY('InstanceName'), @@LOCK_TIMEOUT\n"
           "SET LOCK_TIMEOUT 250\nSELECT @@LOCK_TIMEOUT, SERVERPROPERTY('NoSuchProperty')");
    EXPECT_EQ(sink.results[0].rows[0][0], Value{std::string(c.server_name)});
    EXPECT_EQ(sink.results[0].rows[0][1], c.instance_property);
    EXPECT_EQ(sink.results[0].rows[0][2], Value{std::int64_t{-1}});
    EXPECT_EQ(sink.results[1].rows[0][0], Value{std::int64_t{250}});
    EXPECT_EQ(sink.results[1].rows[0][1], Value{});
  }
}

}  // namespace
}  // namespace sandbox::testing
