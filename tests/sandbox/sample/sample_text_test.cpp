// The sample's statement text, without an engine: literals and INSERT statements.
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sandbox/sample/cell.h"
#include "sandbox/sample/insert_sql.h"

namespace sandbox::sample {
namespace {

struct LiteralCase {
  const char* name;
  Cell cell;
  std::string literal;
};

class LiteralTest : public ::testing::TestWithParam<LiteralCase> {};

TEST_P(LiteralTest, WritesTheTsqlLiteral) {
  EXPECT_EQ(ToLiteral(GetParam().cell), GetParam().literal);
}

INSTANTIATE_TEST_SUITE_P(
    Cells, LiteralTest,
    ::testing::Values(LiteralCase{"Null", Null(), "NULL"},
                      LiteralCase{"UnicodeDoublesQuotes", Unicode("O'Brien"), "N'O''Brien'"},
                      LiteralCase{"UnicodeAllQuotes", Unicode("'A''lı'"), "N'''A''''lı'''"},
                      LiteralCase{"EmptyUnicodeIsNotNull", Unicode(""), "N''"},
                      LiteralCase{"AnsiHasNoPrefix", Ansi("2017-01-02 09:15:30.250"),
                                  "'2017-01-02 09:15:30.250'"},
                      LiteralCase{"AnsiKeepsLineBreaks", Ansi("a\r\nb"), "'a\r\nb'"},
                      LiteralCase{"NegativeInteger", Number(std::int64_t{-32768}), "-32768"},
                      LiteralCase{"BigintBeyondDouble", Number(std::int64_t{9007199254740993}),
                                  "9007199254740993"},
                      LiteralCase{"Half", Number(2.5), "2.5"},
                      LiteralCase{"WholeDouble", Number(100.0), "100"},
                      LiteralCase{"InexactDoubleShortest", Number(0.1), "0.1"},
                      LiteralCase{"ThirdKeepsAllDigits", Number(1.0 / 3.0), "0.3333333333333333"},
                      LiteralCase{"TinyAsFloatLiteral", Number(0.00001), "1E-5"},
                      LiteralCase{"HugeAsFloatLiteral", Number(1e15), "1E15"},
                      LiteralCase{"NegativeTiny", Number(-2.5e-7), "-2.5E-7"},
                      LiteralCase{"Zero", Number(0.0), "0"},
                      LiteralCase{"ExactKeepsTrailingZeros", Exact("12.3400"), "12.3400"},
                      LiteralCase{"BinaryHex", Binary(std::string("\x0A\xFF\x00", 3)), "0x0AFF00"},
                      LiteralCase{"EmptyBinary", Binary(""), "0x"}),
    [](const ::testing::TestParamInfo<LiteralCase>& test) { return std::string(test.param.name); });

TEST(LiteralTest, InfinityAndNanHaveNoLiteral) {
  EXPECT_THROW(Number(std::numeric_limits<double>::infinity()), std::invalid_argument);
  EXPECT_THROW(Number(std::nan("")), std::invalid_argument);
}

TEST(LiteralTest, ShortestTextReadsBackAsTheSameDouble) {
  for (const double value : {0.123456789, 1.987654321, 99.999999, 3.3333333, 12.5 * 1.1,
                             1234567.891, 0.0001, 1.0 / 7.0}) {
    EXPECT_EQ(std::stod(ToLiteral(Number(value))), value) << ToLiteral(Number(value));
  }
}

const TableLayout kTwoColumns{"T", {"A", "B"}};

TEST(InsertStatementTest, NamesColumnsOnceAndListsRowsInOrder) {
  const std::vector<SampleRow> rows = {{Unicode("x'y"), Null()}, {Unicode(""), Number(2.5)}};
  EXPECT_EQ(InsertStatement(kTwoColumns, rows),
            "INSERT INTO T(A,B) VALUES (N'x''y',NULL),\n(N'',2.5)");
}

TEST(InsertStatementTest, AcceptsTheServersLimitOfRows) {
  const std::vector<SampleRow> rows(kMaxRowsPerInsert, SampleRow{Null(), Null()});
  EXPECT_NO_THROW(InsertStatement(kTwoColumns, rows));
}

TEST(InsertStatementTest, RefusesWhatTheServerWouldReject) {
  EXPECT_THROW(InsertStatement(kTwoColumns, {}), std::invalid_argument);
  const std::vector<SampleRow> too_many(kMaxRowsPerInsert + 1, SampleRow{Null(), Null()});
  EXPECT_THROW(InsertStatement(kTwoColumns, too_many), std::invalid_argument);
  const std::vector<SampleRow> narrow = {{Null()}};
  EXPECT_THROW(InsertStatement(kTwoColumns, narrow), std::invalid_argument);
}

TEST(RowBuilderTest, UnsetColumnsAreNullAndUnknownColumnsThrow) {
  RowBuilder builder(kTwoColumns);
  const SampleRow row = builder.Set("B", Number(std::int64_t{1})).Take();
  EXPECT_EQ(CellOf(kTwoColumns, row, "A"), Null());
  EXPECT_EQ(ToLiteral(CellOf(kTwoColumns, row, "B")), "1");
  EXPECT_THROW(builder.Set("C", Null()), std::out_of_range);
  EXPECT_EQ(builder.Take(), (SampleRow{Null(), Null()}));
}

}  // namespace
}  // namespace sandbox::sample
