// RunOnDatabase against the stand-in, through the real client.
#include <gtest/gtest.h>

#include <memory>

#include "db/connection.h"
#include "db/connection_string.h"
#include "db/database_error.h"
#include "db/query.h"
#include "db/statement_runner.h"
#include "tests/support/sandbox_process.h"

namespace devir::db {
namespace {

using devir::testing::SandboxProcess;

constexpr char kUser[] = "sa";
constexpr char kPassword[] = "qolvanet";

class ServerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { sandbox_ = std::make_unique<SandboxProcess>(); }
  static void TearDownTestSuite() { sandbox_.reset(); }

  static std::string Server() { return sandbox_->DataSource(); }
  static ServerLogin Login() { return {Server(), kUser, kPassword}; }

  // Reads one value through a connection of its own, so that the connection under test is
  // not disturbed.
  static std::string ReadOne(const std::string& database, const std::string& sql) {
    Connection reader;
    reader.SetConnectionString(RunnerConnectionString(Login(), database));
    reader.Connect();
    Query query(reader);
    query.SetSql(sql);
    query.Open();
    EXPECT_FALSE(query.Eof()) << sql;
    return query.Eof() ? std::string() : query.FieldAt(0).AsText();
  }

  static inline std::unique_ptr<SandboxProcess> sandbox_;
};

TEST_F(ServerTest, RunOnDatabaseRunsTheStatementInTheNamedDatabase) {
  Connection connection;
  // sirketler exists only in sirketambar: in any other database this statement fails.
  RunOnDatabase(connection, Login(), "sirketambar",
                "INSERT INTO sirketler(SirketAdi,CalismaYili,DBAdi) "
                "Values('RUNNER','2018','RUNNER')");
  EXPECT_EQ(ReadOne("sirketambar", "SELECT COUNT(*) FROM sirketler WHERE SirketAdi='RUNNER'"), "1");
}

TEST_F(ServerTest, RunOnDatabaseReadsDatesDayFirst) {
  Connection connection;
  RunOnDatabase(connection, Login(), "sirketambar",
                "CREATE TABLE runner_dates (n int, d datetime)");
  RunOnDatabase(connection, Login(), "sirketambar",
                "INSERT INTO runner_dates VALUES (1, '02.01.2018')");
  // The same text through a plain connection, in the server's own (month first) order, shows
  // that the day-first reading comes from the runner.
  {
    Connection plain;
    plain.SetConnectionString(RunnerConnectionString(Login(), "sirketambar"));
    plain.Connect();
    plain.Execute("INSERT INTO runner_dates VALUES (2, '02.01.2018')");
  }
  Connection reader;
  reader.SetConnectionString(RunnerConnectionString(Login(), "sirketambar"));
  reader.Connect();
  Query query(reader);
  query.SetSql("SELECT n, d FROM runner_dates ORDER BY n");
  query.Open();
  ASSERT_FALSE(query.Eof());
  EXPECT_EQ(query.FieldByName("d").AsDateTime(), (DateTime{.year = 2018, .month = 1, .day = 2}));
  query.Next();
  ASSERT_FALSE(query.Eof());
  EXPECT_EQ(query.FieldByName("d").AsDateTime(), (DateTime{.year = 2018, .month = 2, .day = 1}));
}

struct RunCase {
  const char* what;
  std::string database;
  std::string sql;
  std::string password;
  std::string error;  ///< part of the message, empty when the run succeeds
};

class RunOnDatabaseEndTest : public ServerTest, public ::testing::WithParamInterface<RunCase> {};

TEST_P(RunOnDatabaseEndTest, LeavesTheConnectionClosedAndNamingTheDatabase) {
  const RunCase& c = GetParam();
  Connection connection;
  // Connected to the source first, as after ConnectToSource: the runner must close it itself.
  connection.SetConnectionString(RunnerConnectionString(Login(), "E2017"));
  connection.Connect();
  ASSERT_TRUE(connection.Connected());

  if (c.error.empty()) {
    EXPECT_NO_THROW(RunOnDatabase(connection, {Server(), kUser, c.password}, c.database, c.sql));
  } else {
    try {
      RunOnDatabase(connection, {Server(), kUser, c.password}, c.database, c.sql);
      ADD_FAILURE() << "no error";
    } catch (const DatabaseError& error) {
      EXPECT_NE(std::string(error.what()).find(c.error), std::string::npos) << error.what();
    }
  }
  EXPECT_FALSE(connection.Connected());
  const ConnectionSettings settings = ParseAdoConnectionString(connection.ConnectionString());
  EXPECT_EQ(settings.provider, "SQLOLEDB");
  EXPECT_EQ(settings.initial_catalog, c.database);
  // Closed, the connection takes a new string at once.
  EXPECT_NO_THROW(connection.SetConnectionString(RunnerConnectionString(Login(), "master")));
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, RunOnDatabaseEndTest,
    ::testing::Values(
        RunCase{"succeeds", "master", "SELECT name FROM sys.databases", kPassword, ""},
        RunCase{"statement_fails", "master", "SELECT * FROM yok_tablo", kPassword,
                "Invalid object name 'yok_tablo'"},
        RunCase{"database_missing", "yok_db", "SELECT 1", kPassword, "yok_db"},
        RunCase{"login_fails", "master", "SELECT 1", "yanlis", "Login failed for user 'sa'"}),
    [](const ::testing::TestParamInfo<RunCase>& param_info) {
      return std::string(param_info.param.what);
    });

}  // namespace
}  // namespace devir::db
