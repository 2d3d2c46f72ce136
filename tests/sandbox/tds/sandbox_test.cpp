// devir-sandbox as the other tests and tools use it: a child process on a free port, seeded
// with the small sample, driven by tsql, the FreeTDS ODBC driver and raw sockets.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "tests/sandbox/tds/client_tools.h"
#include "tests/sandbox/tds/odbc_probe.h"
#include "tests/support/sandbox_process.h"
#include "tests/support/stock_balance_lines.h"

namespace sandbox::tds::testing {
namespace {

using devir::testing::SandboxProcess;

std::string StockBalanceQuery(const std::string& line_break) {
  std::string sql;
  for (const std::string& line : devir::testing::kStockBalanceLines) {
    if (!sql.empty()) sql += line_break;
    sql += line;
  }
  return sql;
}

SandboxProcess::Options Unseeded() {
  SandboxProcess::Options options;
  options.seed = false;
  return options;
}

class SandboxTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { sandbox_ = std::make_unique<SandboxProcess>(); }
  static void TearDownTestSuite() { sandbox_.reset(); }
  static int Port() { return sandbox_->Port(); }

  static std::unique_ptr<SandboxProcess> sandbox_;
};

std::unique_ptr<SandboxProcess> SandboxTest::sandbox_;

TEST_F(SandboxTest, TsqlLogsInAndListsTheDatabases) {
  const std::string out = RunTsql(Port(), "SELECT name FROM sys.databases\ngo");
  EXPECT_NE(out.find("\nmaster\n"), std::string::npos) << out;
  EXPECT_NE(out.find("\nsirketambar\n"), std::string::npos) << out;
  EXPECT_NE(out.find("\nE2017\n"), std::string::npos) << out;
}

TEST_F(SandboxTest, TsqlRunsTheStockBalanceQueryOnTheSample) {
  const std::string out =
      RunTsql(Port(), StockBalanceQuery("\n") + "\ngo", "sa", "qolvanet", "E2017");
  EXPECT_NE(out.find("DEPOADI\tDEPOKODU\tSTOKKODU\tSTOKADI\tBIRIM"), std::string::npos) << out;
  EXPECT_NE(out.find("rows affected)"), std::string::npos) << out;
  EXPECT_EQ(out.find("Msg "), std::string::npos) << out;
}

TEST_F(SandboxTest, OdbcReadsTheStockBalanceQueryWithCrLf) {
  OdbcProbe db(ConnectionString(Port(), "sa", "qolvanet", "E2017"));
  db.Execute(StockBalanceQuery("\r\n"));
  const auto columns = db.Describe();
  ASSERT_EQ(columns.size(), 15u);
  EXPECT_EQ(columns[0].name, "DEPOADI");
  EXPECT_EQ(columns[13].name, "KALAN");
  EXPECT_EQ(columns[14].name, "FIYAT");
  std::size_t rows = 0;
  while (!db.FetchText().empty()) ++rows;
  EXPECT_GT(rows, 0u);
}

TEST_F(SandboxTest, TsqlWrongPasswordIsRefusedWith18456) {
  const std::string out = RunTsql(Port(), "SELECT 1\ngo", "sa", "yanlis");
  EXPECT_NE(out.find("Msg 18456"), std::string::npos) << out;
  EXPECT_NE(out.find("Login failed for user 'sa'."), std::string::npos) << out;
}

TEST_F(SandboxTest, OdbcUnknownDatabaseReads4060Then18456) {
  try {
    OdbcProbe db(ConnectionString(Port(), "sa", "qolvanet", "E1999"));
    FAIL() << "connected to a database that does not exist";
  } catch (const OdbcError& e) {
    const std::string what = e.what();
    const auto cannot_open = what.find(" 4060 [FreeTDS][SQL Server]Cannot open database \"E1999\"");
    const auto login_failed = what.find(" 18456 [FreeTDS][SQL Server]Login failed for user 'sa'.");
    EXPECT_NE(cannot_open, std::string::npos) << what;
    EXPECT_NE(login_failed, std::string::npos) << what;
  }
}

TEST_F(SandboxTest, TurkishLettersRoundTripThroughVarcharAndNvarchar) {
  const std::string letters = "ÇĞİÖŞÜçğıöşü";
  RunTsql(Port(),
          "INSERT INTO DEPO (KODU, ADI, TELEFON) VALUES (N'TR1', N'" + letters + "', '" + letters +
              "')\ngo",
          "sa", "qolvanet", "E2017");
  const std::string out = RunTsql(Port(), "SELECT ADI, TELEFON FROM DEPO WHERE KODU = N'TR1'\ngo",
                                  "sa", "qolvanet", "E2017");
  EXPECT_NE(out.find(letters + "\t" + letters), std::string::npos) << out;

  OdbcProbe db(ConnectionString(Port(), "sa", "qolvanet", "E2017"));
  db.Execute("SELECT ADI, TELEFON FROM DEPO WHERE KODU = N'TR1'");
  EXPECT_EQ(db.FetchText(), (std::vector<std::string>{letters, letters}));
}

TEST_F(SandboxTest, AnErrorCarriesItsNumberAndLine) {
  const std::string out =
      RunTsql(Port(), "SELECT 1\nSELECT * FROM YOKTABLO\ngo", "sa", "qolvanet", "E2017");
  EXPECT_NE(out.find("Msg 208 (severity 16, state 1) from DEVIR-SANDBOX Line 2"), std::string::npos)
      << out;
  EXPECT_NE(out.find("Invalid object name 'YOKTABLO'."), std::string::npos) << out;
}

TEST_F(SandboxTest, GarbageClosesOnlyThatConnection) {
  RawConnection raw(Port());
  raw.Send({'G', 'E', 'T', ' ', '/', '\r', '\n', '\r', '\n'});
  EXPECT_TRUE(raw.WaitForClose(10000));
  OdbcProbe db(ConnectionString(Port()));
  db.Execute("SELECT name FROM sys.databases");
  EXPECT_FALSE(db.FetchText().empty());
}

TEST_F(SandboxTest, AClientThatLeavesMidTransactionIsRolledBack) {
  // tsql reaches the end of its input without COMMIT and closes the connection.
  RunTsql(Port(), "BEGIN TRANSACTION\nINSERT INTO DEPO (KODU, ADI) VALUES (N'GONE1', N'x')\ngo",
          "sa", "qolvanet", "E2017");
  OdbcProbe db(ConnectionString(Port(), "sa", "qolvanet", "E2017"));
  db.Execute("SELECT COUNT(*) FROM DEPO WHERE KODU = N'GONE1'");
  EXPECT_EQ(db.FetchText(), std::vector<std::string>{"0"});
}

TEST_F(SandboxTest, AnOpenTransactionIsRolledBackWhenTheServerStops) {
  {
    OdbcProbe db(ConnectionString(Port(), "sa", "qolvanet", "E2017"));
    db.CheckConnection(SQLSetConnectAttr(db.ConnectionHandle(), SQL_ATTR_AUTOCOMMIT,
                                         reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0));
    db.Execute("INSERT INTO DEPO (KODU, ADI) VALUES (N'STOP1', N'x')");
    sandbox_->Stop();
  }
  sandbox_->Start();
  OdbcProbe db(ConnectionString(Port(), "sa", "qolvanet", "E2017"));
  db.Execute("SELECT COUNT(*) FROM DEPO WHERE KODU = N'STOP1'");
  EXPECT_EQ(db.FetchText(), std::vector<std::string>{"0"});
}

TEST_F(SandboxTest, ManualCommitKeepsTheRow) {
  {
    OdbcProbe db(ConnectionString(Port(), "sa", "qolvanet", "E2017"));
    db.CheckConnection(SQLSetConnectAttr(db.ConnectionHandle(), SQL_ATTR_AUTOCOMMIT,
                                         reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0));
    db.Execute("INSERT INTO DEPO (KODU, ADI) VALUES (N'KEEP1', N'x')");
    db.CheckConnection(SQLEndTran(SQL_HANDLE_DBC, db.ConnectionHandle(), SQL_COMMIT));
  }
  OdbcProbe db(ConnectionString(Port(), "sa", "qolvanet", "E2017"));
  db.Execute("SELECT COUNT(*) FROM DEPO WHERE KODU = N'KEEP1'");
  EXPECT_EQ(db.FetchText(), std::vector<std::string>{"1"});
}

TEST(SandboxCommandLine, HelpSucceedsAndBadUsageExitsWith2) {
  EXPECT_EQ(SandboxProcess::RunTool({"--help"}), 0);
  EXPECT_EQ(SandboxProcess::RunTool({}), 2);
  EXPECT_EQ(SandboxProcess::RunTool({"serve"}), 2);
  EXPECT_EQ(SandboxProcess::RunTool({"serve", "--data", "/tmp", "--port", "70000"}), 2);
  EXPECT_EQ(SandboxProcess::RunTool({"frobnicate"}), 2);
}

TEST(SandboxCommandLine, ServeFailsWith1WhenThePortIsTaken) {
  SandboxProcess running(Unseeded());
  EXPECT_EQ(SandboxProcess::RunTool({"serve", "--data", running.DataDir().string(), "--port",
                                     std::to_string(running.Port()), "--browser-port", "0"}),
            1);
}

TEST(SandboxCommandLine, TemplateWritesTheTwoDatabaseFiles) {
  std::string pattern = (std::filesystem::temp_directory_path() / "devir-template-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  const std::filesystem::path dir = pattern;
  EXPECT_EQ(SandboxProcess::RunTool({"template", "--out", dir.string()}), 0);
  EXPECT_TRUE(std::filesystem::exists(dir / "E2018_Data.MDF"));
  EXPECT_TRUE(std::filesystem::exists(dir / "E2018_Log.LDF"));
  std::filesystem::remove_all(dir);
}

TEST(SandboxProcessTest, KillEndsTheServerAndStartServesAgain) {
  SandboxProcess sandbox(Unseeded());
  sandbox.Kill();
  sandbox.Start();
  OdbcProbe db(ConnectionString(sandbox.Port()));
  db.Execute("SELECT name FROM sys.databases");
  EXPECT_FALSE(db.FetchText().empty());
}

}  // namespace
}  // namespace sandbox::tds::testing
