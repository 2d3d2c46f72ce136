#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "db/connection.h"
#include "db/connection_string.h"
#include "db/query.h"
#include "tests/support/sandbox_process.h"

namespace devir::db {
namespace {

using devir::testing::SandboxProcess;

// The window's default address: FreeTDS asks the SQL Server Browser on UDP 1434 for the
// instance's port. Skipped when another process holds that port.
TEST(SandboxBrowserTest, DefaultLocalNamedInstanceIsFoundThroughTheBrowser) {
  SandboxProcess::Options options;
  options.browser_port = 1434;
  options.instance = "SQLEXPRESS";
  std::unique_ptr<SandboxProcess> server;
  try {
    server = std::make_unique<SandboxProcess>(options);
  } catch (const std::exception& error) {
    GTEST_SKIP() << "no SQL Server Browser on UDP 1434: " << error.what();
  }
  Connection connection;
  connection.SetConnectionString(
      BuildAdoConnectionString({"SQLOLEDB", "E2017", ".\\SQLExpress", "sa", "qolvanet"}));
  connection.Connect();
  Query query(connection);
  query.SetSql("SELECT COUNT(*) FROM STOK");
  query.Open();
  ASSERT_FALSE(query.Eof());
  EXPECT_NE(query.FieldAt(0).AsText(), "0");
}

}  // namespace
}  // namespace devir::db
