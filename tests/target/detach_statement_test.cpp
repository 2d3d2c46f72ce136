// The detach statement names exactly the database given, whatever quotes it holds.
#include <gtest/gtest.h>

#include "target/detach.h"
#include "target/target_year.h"

namespace devir::target {
namespace {

TEST(DetachStatementTest, QuotesTheNameAndDoublesItsQuotes) {
  struct Case {
    std::string database;
    std::string expected;
  };
  const Case cases[] = {
      {TargetDatabaseName(), "sp_detach_db N'E2018'"},
      {"O'Brien", "sp_detach_db N'O''Brien'"},
      {"x'; DROP DATABASE E2017; --", "sp_detach_db N'x''; DROP DATABASE E2017; --'"},
      {"''", "sp_detach_db N''''''"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.database);
    EXPECT_EQ(DetachStatement(c.database), c.expected);
  }
}

}  // namespace
}  // namespace devir::target
