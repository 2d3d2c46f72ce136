#include "script/balance_query.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/line_text.h"
#include "tests/support/stock_balance_lines.h"

namespace devir::script {
namespace {

using devir::testing::JoinLines;

std::string JoinedByCrLf(const std::vector<std::string>& lines) {
  std::string text = JoinLines(lines);
  text.resize(text.size() - 2);  // no break after the last line
  return text;
}

TEST(BalanceQuery, PerItemQueryOnlyNamesTheInnerTablesOfTheQuantitySubqueries) {
  std::vector<std::string> lines = devir::testing::kStockBalanceLines;
  lines[3] += " G";
  lines[6] += " C";
  EXPECT_EQ(BalanceQuerySql(), JoinedByCrLf(lines));
}

}  // namespace
}  // namespace devir::script
