#include "script/entry_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/line_text.h"

namespace devir::script {
namespace {

using devir::testing::JoinLines;
using devir::testing::SplitLines;

// The list as it was always built: entries joined into line text and split again.
std::vector<std::string> JoinedAndSplit(const std::vector<std::string>& entries) {
  return SplitLines(JoinLines(entries));
}

std::vector<std::string> PassedOn(const std::vector<std::string>& entries) {
  StatementList lines;
  EntryLines splitter(lines);
  for (const std::string& entry : entries) splitter.Add(entry);
  return lines.Take();
}

TEST(EntryLines, TableScriptEntryLeavesOneEmptyLine) {
  const std::vector<std::string> entries = {"SET DATEFORMAT DMY", "A\r\nB\r\n", "C"};
  EXPECT_EQ(PassedOn(entries), (std::vector<std::string>{"SET DATEFORMAT DMY", "A", "B", "", "C"}));
}

TEST(EntryLines, EmptyEntryIsOneEmptyLine) {
  EXPECT_EQ(PassedOn({"A", "", "B"}), (std::vector<std::string>{"A", "", "B"}));
}

// Every sequence of three entries made of awkward pieces: the lines are those the joined and
// split list holds.
TEST(EntryLines, SameLinesAsJoiningAndSplittingTheList) {
  const std::vector<std::string> pieces = {"",       "a",   "\r",     "\n",    "b\r\n",     "\r\nc",
                                           "d\n\re", "f\r", "\r\r\n", "g\n\n", "h\r\ni\r\n"};
  for (const std::string& first : pieces) {
    for (const std::string& second : pieces) {
      for (const std::string& third : pieces) {
        const std::vector<std::string> entries = {first, second, third};
        ASSERT_EQ(PassedOn(entries), JoinedAndSplit(entries)) << ::testing::PrintToString(entries);
      }
    }
  }
}

}  // namespace
}  // namespace devir::script
