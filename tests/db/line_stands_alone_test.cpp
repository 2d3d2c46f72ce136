// Which script lines may share a batch: those that end outside literals and comments.
#include <gtest/gtest.h>

#include "db/script_runner.h"

namespace devir::db {
namespace {

TEST(LineStandsAloneTest, TellsWhetherALineEndsOutsideLiteralsAndComments) {
  struct Case {
    const char* line;
    bool alone;
  };
  const Case cases[] = {
      {"INSERT INTO T(A) VALUES(N'x')", true},
      {"INSERT INTO T(A) VALUES(N'x", false},
      {"INSERT INTO T(A) VALUES(N'it''s')", true},
      {"INSERT INTO T(A) VALUES(N'it''", false},
      {"c')", false},  // the second half of a broken statement opens a literal
      {"INSERT INTO [A B](X) VALUES(1)", true},
      {"INSERT INTO [A]]B", false},
      {"SELECT \"a\"\"b\"", true},
      {"SELECT \"a", false},
      {"SELECT 1 -- it's a comment", true},
      {"SELECT 1 /* open", false},
      {"SELECT 1 /* a /* b */ c */", true},
      {"SELECT 1 /* a /* b */", false},
      {"SELECT '--' + '/*'", true},
      {"", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(LineStandsAlone(c.line), c.alone);
  }
}

}  // namespace
}  // namespace devir::db
