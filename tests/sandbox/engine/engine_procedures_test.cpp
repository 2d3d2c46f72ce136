// Procedure calls as RPC brings them: sp_executesql and the prepare/execute family with
// typed parameters, sp_attach_db and sp_detach_db, sp_datatype_info.
#include "sandbox/engine/parameters.h"
#include "tests/sandbox/engine/engine_test_support.h"

namespace sandbox::testing {
namespace {

// Keeps the procedure's return status and OUTPUT values too.
class ProcedureSink : public RecordingSink {
 public:
  void ReturnStatus(int status) override { statuses.push_back(status); }
  void ReturnValue(int, const std::string& name, const ColumnType&, const Value& value) override {
    outputs.emplace_back(name, value);
  }
  std::vector<int> statuses;
  std::vector<std::pair<std::string, Value>> outputs;
};

ProcedureArgument Text(const std::string& text, const std::string& name = {}) {
  return {name, {SqlType::NVarChar, 4000, 0, 0}, text, false, false};
}

ProcedureArgument Int(Value value, const std::string& name = {}, bool output = false) {
  return {name, {SqlType::Int, 0, 0, 0}, std::move(value), output, false};
}

class ProcedureTest : public EngineTest {
 protected:
  ProcedureSink Call(Session& session, const std::string& procedure,
                     std::vector<ProcedureArgument> arguments) {
    ProcedureSink sink;
    session.ExecuteProcedure({procedure, std::move(arguments)}, sink);
    return sink;
  }
};

TEST_F(ProcedureTest, ExecuteSqlBindsTypedParametersAsVariables) {
  auto session = engine_->OpenSession("master");
  ProcedureSink sink =
      Call(*session, "sp_executesql",
           {Text("SELECT @a + 1, @b, @d"),
            Text("@a int, @b nvarchar(10), @d datetime"),
            Int(41),
            Text("şğ"),
            {"@d", {SqlType::DateTime2, 0, 0, 7}, std::string("2017-12-01 10:20:30.5")}});
  ASSERT_TRUE(sink.errors.empty()) << sink.errors[0].what();
  ASSERT_EQ(sink.results.size(), 1u);
  const Row& row = sink.results[0].rows[0];
  EXPECT_EQ(row[0], Value{std::int64_t{42}});
  EXPECT_EQ(row[1], Value{std::string("şğ")});
  EXPECT_EQ(row[2], Value{std::string("2017-12-01 10:20:30.500")});
  const auto& columns = sink.results[0].columns;
  EXPECT_EQ(columns[1].type, (ColumnType{SqlType::NVarChar, 10, 0, 0}));
  EXPECT_TRUE(columns[1].nullable);  // a parameter may be NULL
  EXPECT_EQ(sink.statuses, std::vector<int>{0});
}

TEST_F(ProcedureTest, DatesAreReadTheSameUnderEveryDateFormat) {
  auto session = engine_->OpenSession("master");
  Ok(*session, "SET DATEFORMAT dmy");
  ProcedureSink sink =
      Call(*session, "sp_executesql",
           {Text("SELECT MONTH(@d), MONTH(@e)"),
            Text("@d datetime, @e date"),
            {"", {SqlType::DateTime, 0, 0, 0}, std::string("2017-12-01 00:00:00.000")},
            {"", {SqlType::Date, 0, 0, 0}, std::string("2017-12-01")}});
  ASSERT_TRUE(sink.errors.empty()) << sink.errors[0].what();
  EXPECT_EQ(sink.results[0].rows[0][0], Value{std::int64_t{12}});
  EXPECT_EQ(sink.results[0].rows[0][1], Value{std::int64_t{12}});
}

TEST_F(ProcedureTest, ErrorsInsideKeepTheirLineAndMissingParametersAreNamed) {
  auto session = engine_->OpenSession("master");
  ProcedureSink failed =
      Call(*session, "sp_executesql", {Text("SELECT 1\nSELECT @a / 0"), Text("@a int"), Int(1)});
  ASSERT_EQ(failed.errors.size(), 1u);
  EXPECT_EQ(failed.errors[0].number, 8134);
  EXPECT_EQ(failed.errors[0].line, 2);
  EXPECT_TRUE(failed.statuses.empty());

  ProcedureSink missing = Call(*session, "sp_executesql", {Text("SELECT @a"), Text("@a int")});
  ASSERT_EQ(missing.errors.size(), 1u);
  EXPECT_EQ(missing.errors[0].number, 8178);
  EXPECT_EQ(std::string(missing.errors[0].what()),
            "The parameterized query '(@a int)SELECT @a' expects the parameter '@a', which was "
            "not supplied.");

  ProcedureSink narrow =
      Call(*session, "sp_executesql",
           {{"", {SqlType::VarChar, 10, 0, 0}, std::string("SELECT 1"), false, false}});
  ASSERT_EQ(narrow.errors.size(), 1u);
  EXPECT_EQ(narrow.errors[0].number, 214);
}

TEST_F(ProcedureTest, OutputParametersComeBackAndUnknownOnesAreRefused) {
  auto session = engine_->OpenSession("master");
  ProcedureSink sink =
      Call(*session, "sp_executesql",
           {Text("SELECT 1"), Text("@o int OUTPUT"), Int(std::int64_t{7}, "@o", true)});
  ASSERT_EQ(sink.outputs.size(), 1u);
  EXPECT_EQ(sink.outputs[0].first, "@o");
  EXPECT_EQ(sink.outputs[0].second, Value{std::int64_t{7}});

  ProcedureSink unknown =
      Call(*session, "sp_executesql", {Text("SELECT 1"), Text("@o int"), Int(1, "@x")});
  ASSERT_EQ(unknown.errors.size(), 1u);
  EXPECT_EQ(unknown.errors[0].number, 8145);
}

TEST_F(ProcedureTest, PreparedStatementsRunUntilUnprepared) {
  auto session = engine_->OpenSession("master");
  ProcedureSink prepared =
      Call(*session, "sp_prepare",
           {Int(Value{}, "@handle", true), Text("@x int"), Text("SELECT @x * 2")});
  ASSERT_EQ(prepared.outputs.size(), 1u);
  const Value handle = prepared.outputs[0].second;
  for (std::int64_t x : {3, 5}) {
    ProcedureSink run = Call(*session, "sp_execute", {Int(handle), Int(x)});
    ASSERT_TRUE(run.errors.empty()) << run.errors[0].what();
    EXPECT_EQ(run.Scalar(), Value{x * 2});
  }
  ProcedureSink both = Call(*session, "sp_prepexec",
                            {Int(Value{}, "", true), Text("@y int"), Text("SELECT @y"), Int(9)});
  EXPECT_EQ(both.Scalar(), Value{std::int64_t{9}});
  ASSERT_EQ(both.outputs.size(), 1u);
  EXPECT_NE(both.outputs[0].second, handle);

  EXPECT_TRUE(Call(*session, "sp_unprepare", {Int(handle)}).errors.empty());
  ProcedureSink gone = Call(*session, "sp_execute", {Int(handle), Int(1)});
  ASSERT_EQ(gone.errors.size(), 1u);
  EXPECT_EQ(gone.errors[0].number, 8179);
}

TEST_F(ProcedureTest, AttachAndDetachTakeNamedArguments) {
  auto master = engine_->OpenSession("master");
  Ok(*master, "CREATE DATABASE E2019");
  const std::string data = (dir_.Path() / "E2019_Data.MDF").string();
  const std::string log = (dir_.Path() / "E2019_Log.LDF").string();
  EXPECT_TRUE(Call(*master, "sp_detach_db", {Text("E2019", "@dbname")}).errors.empty());
  EXPECT_EQ(Call(*master, "sp_detach_db", {Text("E2019")}).errors.at(0).number, 15010);
  ProcedureSink attached =
      Call(*master, "sp_attach_db",
           {Text("E2019", "@dbname"), Text(data, "@filename1"), Text(log, "@filename2")});
  EXPECT_TRUE(attached.errors.empty());
  EXPECT_EQ(attached.statuses, std::vector<int>{0});
  EXPECT_EQ(Ok(*master, "SELECT DB_ID('E2019')").results[0].rows[0][0] == Value{}, false);
}

TEST_F(ProcedureTest, AttachReportsAFailingFileAsItselfNotAsABadHeader) {
  auto master = engine_->OpenSession("master");
  Ok(*master, "CREATE DATABASE E2019\nEXEC sp_detach_db 'E2019'");
  const std::filesystem::path data = dir_.Path() / "E2019_Data.MDF";
  // The write-ahead log cannot be made: the file system refuses, as a full disk would.
  std::filesystem::create_directory(data.string() + "-wal");
  ProcedureSink sink = Call(*master, "sp_attach_db", {Text("E2019"), Text(data.string())});
  ASSERT_EQ(sink.errors.size(), 2u);
  EXPECT_EQ(sink.errors[0].number, 5120);
  EXPECT_NE(std::string(sink.errors[0].what()).find("Operating system error"), std::string::npos)
      << sink.errors[0].what();
  EXPECT_EQ(sink.errors[1].number, 1802);
}

TEST_F(ProcedureTest, UnknownProceduresAreNotFound) {
  auto session = engine_->OpenSession("master");
  ProcedureSink sink = Call(*session, "sp_who", {});
  ASSERT_EQ(sink.errors.size(), 1u);
  EXPECT_EQ(sink.errors[0].number, 2812);
}

TEST_F(ProcedureTest, TypeInfoDescribesDatetimeFirst) {
  auto session = engine_->OpenSession("master");
  // FreeTDS sends SQLGetTypeInfo as a batch: "sp_datatype_info_100 93,3".
  RecordingSink sink = Ok(*session, "sp_datatype_info_100 93,3");
  ASSERT_EQ(sink.results.size(), 1u);
  ASSERT_GE(sink.results[0].rows.size(), 2u);
  EXPECT_EQ(sink.results[0].rows[0][0], Value{std::string("datetime")});
  EXPECT_EQ(sink.results[0].rows[0][2], Value{std::int64_t{23}});
  for (const Row& row : sink.results[0].rows) EXPECT_EQ(row[1], Value{std::int64_t{93}});
}

TEST_F(ProcedureTest, ExecuteSqlInABatchLeavesTheBatchIntact) {
  auto session = engine_->OpenSession("master");
  RecordingSink sink = Ok(*session, "EXEC sp_executesql N'SELECT @x', N'@x int', @x = 7\nSELECT 8");
  ASSERT_EQ(sink.results.size(), 2u);
  EXPECT_EQ(sink.results[0].rows[0][0], Value{std::int64_t{7}});
  EXPECT_EQ(sink.results[1].rows[0][0], Value{std::int64_t{8}});
}

struct LiteralCase {
  const char* name;
  ColumnType sent;
  Value value;
  const char* expression;
};

class ParameterLiterals : public ::testing::TestWithParam<LiteralCase> {};

TEST_P(ParameterLiterals, MeanTheSameUnderEveryDateFormat) {
  const LiteralCase& c = GetParam();
  BoundParameter parameter{"@p", c.sent, c.sent, c.value};
  EXPECT_EQ(ParameterExpression(parameter), c.expression);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ParameterLiterals,
    ::testing::Values(
        LiteralCase{"Null", {SqlType::Int, 0, 0, 0}, Value{}, "CAST(NULL AS int)"},
        LiteralCase{"Negative", {SqlType::BigInt, 0, 0, 0}, std::int64_t{-5}, "CAST(-5 AS bigint)"},
        LiteralCase{"Float", {SqlType::Float, 0, 0, 0}, 0.1, "CAST(0.1E0 AS float)"},
        LiteralCase{"Decimal",
                    {SqlType::Decimal, 0, 10, 2},
                    std::string("-1.50"),
                    "CAST(-1.50 AS decimal(10,2))"},
        LiteralCase{"Date",
                    {SqlType::Date, 0, 0, 0},
                    std::string("2017-12-01"),
                    "CAST('20171201' AS date)"},
        LiteralCase{"DateTime",
                    {SqlType::DateTime, 0, 0, 0},
                    std::string("2017-12-01 10:00:00.000"),
                    "CAST('2017-12-01T10:00:00.000' AS datetime)"},
        LiteralCase{"Offset",
                    {SqlType::DateTimeOffset, 0, 0, 2},
                    std::string("2017-12-01 10:00:00.00 +03:00"),
                    "CAST('2017-12-01T10:00:00.00+03:00' AS datetimeoffset(2))"},
        LiteralCase{"Quote",
                    {SqlType::NVarChar, 5, 0, 0},
                    std::string("a'b"),
                    "CAST(N'a''b' AS nvarchar(5))"},
        LiteralCase{"Binary",
                    {SqlType::VarBinary, ColumnType::kMax, 0, 0},
                    Blob{"\x01\xAB"},
                    "CAST(0x01AB AS varbinary(max))"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(ParameterDeclarations, ParseNamesTypesAndOutput) {
  const auto declarations =
      ParseParameterDeclarations("@P1 int,@P2 nvarchar(50) OUTPUT, @P3 decimal(10, 2)");
  ASSERT_EQ(declarations.size(), 3u);
  EXPECT_EQ(declarations[1].name, "@P2");
  EXPECT_EQ(declarations[1].type, (ColumnType{SqlType::NVarChar, 50, 0, 0}));
  EXPECT_TRUE(declarations[1].output);
  EXPECT_EQ(declarations[2].type, (ColumnType{SqlType::Decimal, 0, 10, 2}));
  EXPECT_THROW(ParseParameterDeclarations("@a nosuchtype"), SqlError);
  EXPECT_THROW(ParseParameterDeclarations("@a int,"), SqlError);
}

}  // namespace
}  // namespace sandbox::testing
