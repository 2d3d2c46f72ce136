#include "sandbox/engine/utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sandbox {
namespace {

std::u32string ReadAll(std::string_view text, char32_t (*next)(std::string_view, std::size_t&)) {
  std::u32string out;
  for (std::size_t i = 0; i < text.size();) out += next(text, i);
  return out;
}

struct DecodeCase {
  const char* name;
  std::string bytes;
  std::u32string strict;  // NextUtf8 / DecodeUtf8
  std::u32string latin1;  // NextUtf8OrLatin1
};

class Utf8DecodeTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(Utf8DecodeTest, StrictAndLatin1ReadersDifferOnlyOnMalformedBytes) {
  const DecodeCase& c = GetParam();
  EXPECT_EQ(DecodeUtf8(c.bytes), c.strict);
  EXPECT_EQ(ReadAll(c.bytes, NextUtf8), c.strict);
  EXPECT_EQ(ReadAll(c.bytes, NextUtf8OrLatin1), c.latin1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Utf8DecodeTest,
    ::testing::Values(DecodeCase{"Turkish", "a\xC4\xB0\xC5\x9F", U"a\u0130\u015F",
                                 U"a\u0130\u015F"},
                      DecodeCase{"FourBytes", "\xF0\x9F\x98\x80", U"\U0001F600", U"\U0001F600"},
                      DecodeCase{"LoneContinuation", "a\x80z", U"a\uFFFDz", U"a\u0080z"},
                      DecodeCase{"CutOffAtEnd", "a\xC4", U"a\uFFFD", U"a\u00C4"},
                      DecodeCase{"BadContinuation", "\xC4z", U"\uFFFDz", U"\u00C4z"},
                      DecodeCase{"Overlong", "\xC0\x80", U"\uFFFD\uFFFD", std::u32string(1, U'\0')},
                      DecodeCase{"Surrogate", "\xED\xA0\x80", U"\uFFFD\uFFFD\uFFFD",
                                 std::u32string(1, char32_t{0xD800})},
                      DecodeCase{"BadLead", "\xFF", U"\uFFFD", U"\u00FF"}),
    [](const ::testing::TestParamInfo<DecodeCase>& param_info) { return param_info.param.name; });

TEST(Utf8Encode, WritesEveryLengthAndRoundTrips) {
  const std::u32string text = U"A\u00E7\u20AC\U0001F600";
  const std::string utf8 = EncodeUtf8(text);
  EXPECT_EQ(utf8, "A\xC3\xA7\xE2\x82\xAC\xF0\x9F\x98\x80");
  EXPECT_EQ(DecodeUtf8(utf8), text);
  std::string appended;
  AppendUtf8(appended, U'\u011F');
  EXPECT_EQ(appended, "\xC4\x9F");
}

}  // namespace
}  // namespace sandbox
