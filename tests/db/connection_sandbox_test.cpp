#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "db/connection.h"
#include "db/connection_string.h"
#include "db/database_error.h"
#include "db/query.h"
#include "tests/support/sandbox_process.h"

namespace devir::db {
namespace {

using devir::testing::SandboxProcess;

std::string AdoString(const std::string& data_source, const std::string& password,
                      const std::string& catalog = "E2017") {
  return BuildAdoConnectionString({"SQLOLEDB", catalog, data_source, "sa", password});
}

std::string Scalar(Connection& connection, const std::string& sql) {
  Query query(connection);
  query.SetSql(sql);
  query.Open();
  EXPECT_FALSE(query.Eof()) << sql;
  return query.Eof() ? std::string() : query.FieldAt(0).AsText();
}

// One stand-in with the default login for the tests that do not need their own.
class SandboxConnectionTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = new SandboxProcess(); }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }

  void ConnectTo(const std::string& catalog = "E2017") {
    connection_.SetConnectionString(AdoString(server_->DataSource(), "qolvanet", catalog));
    connection_.Connect();
  }

  static SandboxProcess* server_;
  Connection connection_;
};

SandboxProcess* SandboxConnectionTest::server_ = nullptr;

TEST_F(SandboxConnectionTest, WindowsOwnStringConnectsToTheSourceDatabase) {
  connection_.SetConnectionString(
      "Provider=SQLOLEDB.1;Persist security info=TRUE;Initial Catalog=E2017;Data Source=" +
      server_->DataSource() + ";User ID=sa;Password=qolvanet");
  connection_.Connect();
  EXPECT_TRUE(connection_.Connected());
  EXPECT_NE(Scalar(connection_, "SELECT COUNT(*) FROM STOK"), "0");
}

TEST_F(SandboxConnectionTest, WrongPasswordGivesTheServersLoginText) {
  connection_.SetConnectionString(AdoString(server_->DataSource(), "wrong-secret"));
  try {
    connection_.Connect();
    FAIL() << "connected with a wrong password";
  } catch (const DatabaseError& error) {
    const std::string message = error.what();
    EXPECT_NE(message.find("Login failed for user 'sa'."), std::string::npos) << message;
    EXPECT_EQ(message.find("wrong-secret"), std::string::npos) << message;
    EXPECT_EQ(error.NativeError(), 18456);
  }
  EXPECT_FALSE(connection_.Connected());
}

TEST_F(SandboxConnectionTest, UnknownDatabaseIsReportedByTheServer) {
  connection_.SetConnectionString(AdoString(server_->DataSource(), "qolvanet", "E1999"));
  try {
    connection_.Connect();
    FAIL() << "connected to a missing database";
  } catch (const DatabaseError& error) {
    EXPECT_NE(std::string(error.what()).find("E1999"), std::string::npos) << error.what();
  }
}

TEST_F(SandboxConnectionTest, ClosingBraceInPasswordIsRefusedBeforeLogin) {
  connection_.SetConnectionString(AdoString(server_->DataSource(), "a}b"));
  try {
    connection_.Connect();
    FAIL() << "a '}' reached the driver";
  } catch (const DatabaseError& error) {
    EXPECT_STREQ(error.what(),
                 "The password contains '}', which the FreeTDS ODBC driver cannot carry.");
  }
}

TEST_F(SandboxConnectionTest, ConnectionStringIsFixedWhileConnected) {
  ConnectTo();
  EXPECT_THROW(connection_.SetConnectionString("Data Source=elsewhere"), DatabaseError);
  connection_.Disconnect();
  connection_.Disconnect();  // harmless when closed
  EXPECT_FALSE(connection_.Connected());
  EXPECT_THROW(connection_.Execute("SELECT 1"), DatabaseError);
}

TEST_F(SandboxConnectionTest, ConnectAgainStartsAFreshSession) {
  ConnectTo();
  connection_.Connect();
  EXPECT_TRUE(connection_.Connected());
  EXPECT_NE(Scalar(connection_, "SELECT COUNT(*) FROM STOK"), "0");
}

TEST_F(SandboxConnectionTest, TurkishLettersRoundTrip) {
  ConnectTo();
  const std::string text = "ğüşİıöçĞÜŞÖÇ";
  connection_.Execute("DELETE FROM DEPO WHERE KODU = N'TR-1'");
  connection_.Execute("INSERT INTO DEPO (KODU, ADI, TELEFON, AKTIF) VALUES (N'TR-1', N'" + text +
                      "', 'çğış', 1)");
  EXPECT_EQ(Scalar(connection_, "SELECT ADI FROM DEPO WHERE KODU = N'TR-1'"), text);
  // varchar holds code page 1254, which has every Turkish letter.
  EXPECT_EQ(Scalar(connection_, "SELECT TELEFON FROM DEPO WHERE KODU = N'TR-1'"), "çğış");
  connection_.Execute("DELETE FROM DEPO WHERE KODU = N'TR-1'");
}

TEST_F(SandboxConnectionTest, ExecuteSurfacesAnErrorOfTheSecondStatement) {
  ConnectTo();
  try {
    connection_.Execute(
        "DELETE FROM DEPO WHERE KODU = N'YOK'; INSERT INTO NO_SUCH_TABLE VALUES (1)");
    FAIL() << "the second statement's error was lost";
  } catch (const DatabaseError& error) {
    EXPECT_EQ(error.NativeError(), 208) << error.what();
    EXPECT_NE(std::string(error.what()).find("Invalid object name 'NO_SUCH_TABLE'."),
              std::string::npos)
        << error.what();
  }
  // The connection is still usable after the failed batch.
  EXPECT_NE(Scalar(connection_, "SELECT COUNT(*) FROM STOK"), "0");
}

TEST_F(SandboxConnectionTest, DeletingNothingIsNoError) {
  ConnectTo();
  EXPECT_NO_THROW(connection_.Execute("DELETE FROM DEPO WHERE KODU = N'YOK'"));
}

TEST_F(SandboxConnectionTest, RollbackUndoesAndCommitKeeps) {
  ConnectTo();
  connection_.Execute("DELETE FROM DEPO WHERE KODU IN (N'TX-1', N'TX-2')");
  connection_.BeginTransaction();
  connection_.Execute("INSERT INTO DEPO (KODU, ADI, AKTIF) VALUES (N'TX-1', N'geri', 1)");
  connection_.Rollback();
  EXPECT_EQ(Scalar(connection_, "SELECT COUNT(*) FROM DEPO WHERE KODU = N'TX-1'"), "0");

  connection_.BeginTransaction();
  connection_.Execute("INSERT INTO DEPO (KODU, ADI, AKTIF) VALUES (N'TX-2', N'kalir', 1)");
  connection_.Commit();
  EXPECT_EQ(Scalar(connection_, "SELECT COUNT(*) FROM DEPO WHERE KODU = N'TX-2'"), "1");
  connection_.Execute("DELETE FROM DEPO WHERE KODU = N'TX-2'");
}

TEST_F(SandboxConnectionTest, DisconnectRollsBackAnOpenTransaction) {
  ConnectTo();
  connection_.BeginTransaction();
  connection_.Execute("INSERT INTO DEPO (KODU, ADI, AKTIF) VALUES (N'TX-3', N'geri', 1)");
  connection_.Disconnect();
  ConnectTo();
  EXPECT_EQ(Scalar(connection_, "SELECT COUNT(*) FROM DEPO WHERE KODU = N'TX-3'"), "0");
}

// Passwords that would change the string's meaning if they were pasted in unquoted: each
// logs in with exactly its own characters and stays in the requested database.
TEST(SandboxPasswordTest, HostilePasswordsLogInAndStayInTheRequestedDatabase) {
  const std::vector<std::pair<std::string, std::string>> logins = {
      {"sa", "x;Database=master"}, {"u1", " {lead"},         {"u2", "tail "},
      {"u3", "ğüşİ ıöç"},          {"u4", "a=b;c='d'\"e\""}, {"u5", ""}};
  SandboxProcess::Options options;
  for (const auto& [user, password] : logins) options.logins.push_back(user + ":" + password);
  SandboxProcess server(options);
  for (const auto& [user, password] : logins) {
    Connection connection;
    connection.SetConnectionString(
        BuildAdoConnectionString({"SQLOLEDB", "E2017", server.DataSource(), user, password}));
    ASSERT_NO_THROW(connection.Connect()) << user;
    // STOK exists in E2017 only.
    EXPECT_NE(Scalar(connection, "SELECT COUNT(*) FROM STOK"), "0") << user;
  }
  // One character less is a wrong password: the value is not trimmed or cut on the way.
  Connection connection;
  connection.SetConnectionString(
      BuildAdoConnectionString({"SQLOLEDB", "E2017", server.DataSource(), "u2", "tail"}));
  EXPECT_THROW(connection.Connect(), DatabaseError);
}

TEST(SandboxDropTest, KilledServerGivesAnErrorNotAHang) {
  SandboxProcess server;
  Connection connection;
  connection.SetConnectionString(AdoString(server.DataSource(), "qolvanet"));
  connection.Connect();
  Query query(connection);
  query.SetSql("SELECT * FROM STOKHAREKET");
  query.Open();
  server.Kill();
  // Rows already on their way may still arrive; the first round trip after them fails.
  bool failed = false;
  try {
    while (!query.Eof()) query.Next();
    connection.Execute("SELECT COUNT(*) FROM STOK");
  } catch (const DatabaseError& error) {
    failed = true;
    EXPECT_EQ(error.SqlState(), "08S01") << error.what();
    EXPECT_NE(std::string(error.what()).find("The connection to the server was lost."),
              std::string::npos)
        << error.what();
  }
  EXPECT_TRUE(failed);
  query.Close();
  connection.Disconnect();
}

// A server that stops answering (hung, or a lock that is never released) must end in an
// error after the command timeout, not freeze the caller.
TEST(SandboxDropTest, FrozenServerTimesOutInsteadOfHanging) {
  SandboxProcess server;
  Connection connection;
  connection.SetCommandTimeout(2);
  connection.SetConnectionString(AdoString(server.DataSource(), "qolvanet"));
  connection.Connect();
  server.Pause();
  EXPECT_THROW(connection.Execute("SELECT COUNT(*) FROM STOK"), DatabaseError);
  server.Resume();
  connection.Disconnect();
}

// An error the server sends after a result's last row must not let the rows pass for a
// complete result: walking to the end throws it.
TEST(SandboxErrorAfterRowsTest, ErrorAfterTheLastRowIsRaised) {
  SandboxProcess server;
  Connection connection;
  connection.SetConnectionString(AdoString(server.DataSource(), "qolvanet"));
  connection.Connect();
  Query query(connection);
  query.SetSql("SELECT KODU FROM DEPO\r\nINSERT INTO DEPO(KODU) VALUES(NULL)");
  try {
    query.Open();
    while (!query.Eof()) query.Next();
    ADD_FAILURE() << "the INSERT's error was lost";
  } catch (const DatabaseError& error) {
    EXPECT_NE(std::string(error.what()).find("Cannot insert the value NULL into column 'KODU'"),
              std::string::npos)
        << error.what();
  }
}

}  // namespace
}  // namespace devir::db
