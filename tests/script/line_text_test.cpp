#include "script/line_text.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "tests/support/line_text.h"

namespace devir::script {
namespace {

using devir::testing::JoinLines;
using devir::testing::SplitLines;

struct SplitCase {
  std::string name;
  std::string text;
  std::vector<std::string> lines;
};

std::ostream& operator<<(std::ostream& out, const SplitCase& c) {
  return out << c.name;
}

class SplitLinesTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitLinesTest, BreaksAsTheLineTextFormSays) {
  EXPECT_EQ(SplitLines(GetParam().text), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, SplitLinesTest,
    ::testing::Values(
        SplitCase{"EmptyTextNoEntries", "", {}}, SplitCase{"LastLineWithoutBreak", "a", {"a"}},
        SplitCase{"TrailingCrLfMakesNoEntry", "a\r\n", {"a"}},
        SplitCase{"TrailingLoneCrMakesNoEntry", "a\r", {"a"}},
        SplitCase{"TrailingLoneLfMakesNoEntry", "a\n", {"a"}},
        SplitCase{"CrLf", "a\r\nb", {"a", "b"}}, SplitCase{"LoneCr", "a\rb", {"a", "b"}},
        SplitCase{"LoneLf", "a\nb", {"a", "b"}},
        SplitCase{"LfCrIsTwoBreaks", "a\n\rb", {"a", "", "b"}},
        SplitCase{"CrCrLfIsTwoBreaks", "a\r\r\nb", {"a", "", "b"}},
        SplitCase{"TwoCrLfGiveEmptyEntry", "a\r\n\r\nb", {"a", "", "b"}},
        SplitCase{"OnlyCrLf", "\r\n", {""}}, SplitCase{"OnlyLf", "\n", {""}},
        SplitCase{"TwoCrLf", "\r\n\r\n", {"", ""}}, SplitCase{"LeadingBreak", "\nb", {"", "b"}},
        SplitCase{"BlanksKept", " a \r\n b ", {" a ", " b "}}),
    [](const ::testing::TestParamInfo<SplitCase>& param_info) { return param_info.param.name; });

TEST(JoinLines, EveryEntryEndsWithCrLf) {
  EXPECT_EQ(JoinLines({}), "");
  EXPECT_EQ(JoinLines({"a"}), "a\r\n");
  EXPECT_EQ(JoinLines({"a", "", "b"}), "a\r\n\r\nb\r\n");
  EXPECT_EQ(JoinLines({""}), "\r\n");
}

TEST(JoinLines, SplitGivesTheSameLinesBack) {
  const std::vector<std::string> lines = {"SET DATEFORMAT DMY", "", "x", "", ""};
  EXPECT_EQ(SplitLines(JoinLines(lines)), lines);
}

// Every text of up to seven characters made of a letter, CR and LF: an entry's lines are
// those of the entry followed by the CR LF that the line text puts after it.
TEST(ForEachEntryLine, MatchesSplittingTheEntryWithItsBreak) {
  const std::string alphabet = "a\r\n";
  std::vector<std::string> texts = {""};
  for (std::size_t start = 0, length = 0; length < 7; ++length) {
    const std::size_t end = texts.size();
    for (std::size_t i = start; i < end; ++i) {
      for (char c : alphabet) texts.push_back(texts[i] + c);
    }
    start = end;
  }
  for (const std::string& entry : texts) {
    std::vector<std::string> lines;
    ForEachEntryLine(entry, [&lines](std::string_view line) { lines.emplace_back(line); });
    ASSERT_EQ(lines, SplitLines(entry + "\r\n")) << ::testing::PrintToString(entry);
  }
  EXPECT_EQ(texts.size(), 3280u);
}

}  // namespace
}  // namespace devir::script
