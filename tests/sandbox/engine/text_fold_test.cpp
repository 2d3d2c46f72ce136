// Turkish_CI_AS comparison: the order and equality the stand-in's text columns use.
#include "sandbox/engine/text_fold.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <vector>

#include "sandbox/engine/utf8.h"

namespace sandbox {
namespace {

int Sign(int value) {
  return (value > 0) - (value < 0);
}

struct CompareCase {
  const char* name;
  std::string a;
  std::string b;
  int expected;  // sign of CompareTurkishCi(a, b)
};

class CompareTurkishCiTest : public ::testing::TestWithParam<CompareCase> {};

TEST_P(CompareTurkishCiTest, GivesTheCollationsOrder) {
  const CompareCase& c = GetParam();
  EXPECT_EQ(Sign(CompareTurkishCi(c.a, c.b)), c.expected);
  EXPECT_EQ(Sign(CompareTurkishCi(c.b, c.a)), -c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, CompareTurkishCiTest,
    ::testing::Values(
        CompareCase{"Same", "STK-000123", "STK-000123", 0},
        CompareCase{"TrailingBlanksIgnored", "abc  ", "abc", 0},
        CompareCase{"CaseIgnored", "stk-000123", "STK-000123", 0},
        CompareCase{"DottedIPair", "i", "\xC4\xB0", 0},                        // i and İ
        CompareCase{"DotlessIPair", "\xC4\xB1", "I", 0},                       // ı and I
        CompareCase{"IBeforeDottedI", "I", "i", -1},                           // I < İ
        CompareCase{"CedillaCaseInTheMiddle", "a\xC3\xA7z", "A\xC3\x87Z", 0},  // açz, AÇZ
        CompareCase{"SCedillaCase", "\xC5\x9F", "\xC5\x9E", 0},                // ş, Ş
        CompareCase{"CBeforeCedillaBeforeD", "C", "\xC3\x87", -1},             // C < Ç
        CompareCase{"CedillaBeforeD", "\xC3\x87", "d", -1},                    // Ç < D
        CompareCase{"OUmlautBeforeP", "\xC3\xB6", "p", -1},                    // ö < P
        CompareCase{"PrefixFirst", "ab", "abc", -1},
        CompareCase{"LaterDigitDecides", "STK-000123", "STK-000124", -1},
        // A lone lead byte at the end is a Latin-1 letter, not the start of the other's ç.
        CompareCase{"CutSequenceAfterSamePrefix", "x\xC3", "x\xC3\xA7", 1},
        // Bad bytes in the shared part read the same in both texts.
        CompareCase{"BadBytesInSharedPart", "\xE2\x82x", "\xE2\x82y", -1},
        CompareCase{"ContinuationDiffers", "a\xC3\xA7", "a\xC3\xA8", -1}),
    [](const ::testing::TestParamInfo<CompareCase>& param) { return param.param.name; });

// The comparison character by character, each text decoded from its start.
int ReferenceCompare(std::string_view a, std::string_view b) {
  auto trim = [](std::string_view s) {
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
  };
  a = trim(a);
  b = trim(b);
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    std::string x;
    std::string y;
    AppendUtf8(x, NextUtf8OrLatin1(a, i));
    AppendUtf8(y, NextUtf8OrLatin1(b, j));
    if (const int c = Sign(CompareTurkishCi(x, y)); c != 0) return c;
  }
  return i < a.size() ? 1 : j < b.size() ? -1 : 0;
}

TEST(CompareTurkishCi, AgreesWithCharacterByCharacterComparison) {
  // Letters whose cases differ in bytes, Turkish i forms, lone and cut UTF-8 bytes, blanks.
  const std::array<std::string, 14> pieces = {
      "a",        "A",    "i",    "I", "\xC4\xB1", "\xC4\xB0", "\xC3\xA7",
      "\xC3\x87", "\xC3", "\xA7", " ", "z",        "0",        "\xC5\x9F"};
  std::mt19937 random(2017);
  auto text = [&]() {
    std::string out;
    const int length = static_cast<int>(random() % 6);
    for (int k = 0; k < length; ++k) out += pieces[random() % pieces.size()];
    return out;
  };
  for (int n = 0; n < 20000; ++n) {
    const std::string prefix = text();
    const std::string a = prefix + text();
    const std::string b = prefix + text();
    ASSERT_EQ(Sign(CompareTurkishCi(a, b)), ReferenceCompare(a, b)) << a << " | " << b;
    // The sort key orders (and equals) as the comparison does.
    ASSERT_EQ(Sign(TurkishSortKey(a).compare(TurkishSortKey(b))), ReferenceCompare(a, b))
        << a << " | " << b;
  }
}

TEST(TurkishSortKey, KeysEqualExactlyForTextsTheCollationHoldsEqual) {
  EXPECT_EQ(TurkishSortKey("stk-0001  "), TurkishSortKey("STK-0001"));
  EXPECT_EQ(TurkishSortKey("i\xC5\x9F"), TurkishSortKey("\xC4\xB0\xC5\x9E"));  // iş, İŞ
  EXPECT_NE(TurkishSortKey("i"), TurkishSortKey("I"));
  EXPECT_LT(TurkishSortKey("C"), TurkishSortKey("\xC3\x87"));  // C before Ç
  EXPECT_LT(TurkishSortKey(""), TurkishSortKey(" a"));
}

}  // namespace
}  // namespace sandbox
