#include "db/general_number.h"

#include <gtest/gtest.h>

#include <limits>

namespace devir::db {
namespace {

struct NumberCase {
  double value;
  const char* text;
};

class GeneralNumberTextTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(GeneralNumberTextTest, WritesTheGeneralForm) {
  EXPECT_EQ(GeneralNumberText(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, GeneralNumberTextTest,
    ::testing::Values(NumberCase{1.5, "1.5"}, NumberCase{0.1, "0.1"}, NumberCase{-2.5, "-2.5"},
                      NumberCase{0.0, "0"}, NumberCase{-0.0, "0"}, NumberCase{42.0, "42"},
                      NumberCase{100.0, "100"}, NumberCase{1.0 / 3.0, "0.333333333333333"},
                      NumberCase{2.0 / 3.0, "0.666666666666667"}, NumberCase{1e-5, "1E-5"},
                      NumberCase{1.5e-5, "1.5E-5"}, NumberCase{-1.5e-5, "-1.5E-5"},
                      NumberCase{0.0001, "0.0001"}, NumberCase{0.00012345, "0.00012345"},
                      NumberCase{0.00001, "1E-5"}, NumberCase{1e15, "1E15"},
                      NumberCase{1.5e15, "1.5E15"},
                      NumberCase{999999999999999.0, "999999999999999"},
                      // Rounded to 15 digits it is 1E15, so it is written as one.
                      NumberCase{999999999999999.9, "1E15"},
                      NumberCase{123456789012345678.0, "1.23456789012346E17"},
                      NumberCase{1e100, "1E100"}, NumberCase{1.25e-100, "1.25E-100"},
                      NumberCase{0.1 + 0.2, "0.3"}, NumberCase{12345.678, "12345.678"},
                      NumberCase{static_cast<double>(1.1f), "1.10000002384186"},
                      NumberCase{std::numeric_limits<double>::infinity(), "INF"},
                      NumberCase{-std::numeric_limits<double>::infinity(), "-INF"}));

TEST(GeneralNumberText, NanIsNamed) {
  EXPECT_EQ(GeneralNumberText(std::numeric_limits<double>::quiet_NaN()), "NAN");
}

}  // namespace
}  // namespace devir::db
