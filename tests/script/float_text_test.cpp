#include "script/float_text.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>

#include "db/general_number.h"
#include "tests/script/test_seed.h"

namespace devir::script {
namespace {

// Reads a literal back as a SQL parser would: the "E" form included.
template <typename Number>
Number ReadBack(const std::string& text) {
  Number value{};
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  EXPECT_EQ(result.ec, std::errc()) << text;
  EXPECT_EQ(result.ptr, text.data() + text.size()) << text;
  return value;
}

TEST(ShortestDoubleText, EveryFiniteDoubleReadsBackExactly) {
  const std::uint64_t seed = testing::TestSeed(20171231);
  std::mt19937_64 random(seed);
  for (int i = 0; i < 200000; ++i) {
    const double value = std::bit_cast<double>(random());
    if (!std::isfinite(value) || value == 0) continue;
    const std::string text = ShortestDoubleText(value);
    ASSERT_EQ(std::bit_cast<std::uint64_t>(ReadBack<double>(text)),
              std::bit_cast<std::uint64_t>(value))
        << text << " (seed " << seed << ")";
    ASSERT_EQ(text.find_first_of(",e+"), std::string::npos) << text;
  }
}

TEST(ShortestRealText, EveryFiniteFloatReadsBackExactly) {
  const std::uint64_t seed = testing::TestSeed(20171231);
  std::mt19937 random(static_cast<std::uint32_t>(seed));
  for (int i = 0; i < 200000; ++i) {
    const float value = std::bit_cast<float>(static_cast<std::uint32_t>(random()));
    if (!std::isfinite(value) || value == 0) continue;
    const std::string text = ShortestRealText(value);
    ASSERT_EQ(std::bit_cast<std::uint32_t>(ReadBack<float>(text)),
              std::bit_cast<std::uint32_t>(value))
        << text << " (seed " << seed << ")";
  }
}

// Where fifteen digits hold the value, the literal is the general number text it always was.
TEST(ShortestDoubleText, FifteenDigitValuesKeepTheirGeneralNumberText) {
  const std::uint64_t seed = testing::TestSeed(20171231);
  std::mt19937_64 random(seed);
  std::uniform_int_distribution<std::int64_t> mantissa(1, 999999999999999);
  std::uniform_int_distribution<int> exponent(-30, 30);
  for (int i = 0; i < 100000; ++i) {
    const std::string digits =
        std::to_string(mantissa(random)) + "e" + std::to_string(exponent(random));
    const double value = ReadBack<double>(digits);
    ASSERT_EQ(ShortestDoubleText(value), db::GeneralNumberText(value))
        << digits << " (seed " << seed << ")";
    ASSERT_EQ(ShortestDoubleText(-value), db::GeneralNumberText(-value));
  }
}

TEST(ShortestDoubleText, SwitchesToScientificOutsideTheFixedRange) {
  EXPECT_EQ(ShortestDoubleText(0.0001), "0.0001");
  EXPECT_EQ(ShortestDoubleText(0.00009), "9E-5");
  EXPECT_EQ(ShortestDoubleText(123456789012345.6), "123456789012345.6");
  EXPECT_EQ(ShortestDoubleText(1e15), "1E15");
  EXPECT_EQ(ShortestDoubleText(-1.25e-7), "-1.25E-7");
  EXPECT_EQ(ShortestDoubleText(100), "100");
}

}  // namespace
}  // namespace devir::script
