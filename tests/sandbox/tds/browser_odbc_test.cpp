// Instance lookup through the SQL Server Browser on UDP 1434, as a client finds
// "127.0.0.1\SQLEXPRESS". Binds the fixed port, so CTest runs it alone (RESOURCE_LOCK).
#include <gtest/gtest.h>

#include "tests/sandbox/tds/odbc_probe.h"
#include "tests/support/sandbox_process.h"

namespace sandbox::tds::testing {
namespace {

using devir::testing::SandboxProcess;

TEST(BrowserLookup, OdbcFindsTheInstanceByName) {
  SandboxProcess::Options options;
  options.seed = false;
  options.browser_port = 1434;
  SandboxProcess sandbox(options);
  OdbcProbe db(std::string("Driver={") + kFreeTdsDriver +
               "};Server=127.0.0.1\\SQLEXPRESS;UID=sa;PWD=qolvanet;TDS_Version=7.4;");
  db.Execute("SELECT name FROM sys.databases");
  EXPECT_FALSE(db.FetchText().empty());
}

}  // namespace
}  // namespace sandbox::tds::testing
