// Alone in its binary: the trace switch is read once, before the first ODBC call.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "db/connection.h"
#include "db/connection_string.h"
#include "db/database_error.h"
#include "tests/support/sandbox_process.h"

namespace devir::db {
namespace {

TEST(OdbcTrace, NamesEveryCallButNeverThePassword) {
  ASSERT_EQ(setenv("DEVIR_ODBC_TRACE", "1", 1), 0);
  devir::testing::SandboxProcess::Options options;
  options.logins = {"sa:Gizli;Parola-42"};
  devir::testing::SandboxProcess server(options);

  ::testing::internal::CaptureStderr();
  {
    Connection connection;
    connection.SetConnectionString(BuildAdoConnectionString(
        {"SQLOLEDB", "E2017", server.DataSource(), "sa", "Gizli;Parola-42"}));
    connection.Connect();
    connection.Execute("DELETE FROM DEPO WHERE KODU = N'YOK'");
    connection.Disconnect();
    connection.SetConnectionString(
        BuildAdoConnectionString({"SQLOLEDB", "E2017", server.DataSource(), "sa", "Gizli;Yanlis"}));
    EXPECT_THROW(connection.Connect(), DatabaseError);
  }
  const std::string trace = ::testing::internal::GetCapturedStderr();

  EXPECT_NE(trace.find("odbc: SQLDriverConnectW -> SQL_SUCCESS"), std::string::npos) << trace;
  EXPECT_NE(trace.find("odbc: SQLDriverConnectW -> SQL_ERROR"), std::string::npos) << trace;
  EXPECT_NE(trace.find("odbc: SQLExecDirectW -> "), std::string::npos) << trace;
  EXPECT_NE(trace.find("odbc: SQLDisconnect -> SQL_SUCCESS"), std::string::npos) << trace;
  EXPECT_NE(trace.find("odbc: connection string "), std::string::npos) << trace;
  EXPECT_NE(trace.find("PWD=***;"), std::string::npos) << trace;
  EXPECT_EQ(trace.find("Gizli"), std::string::npos) << trace;
}

}  // namespace
}  // namespace devir::db
