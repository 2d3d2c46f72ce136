#include "script/text_literal.h"

#include <gtest/gtest.h>

#include <string>

namespace devir::script {
namespace {

// SQL Server cuts a "+" of non-max strings at 8000 bytes (4000 unicode characters); a long
// value with a line break must therefore start as a max type.
TEST(TextLiteral, LongVarcharWithBreakStartsAsMaxType) {
  const std::string value = std::string(4000, 'a') + "\n" + std::string(4000, 'b');
  const std::string literal = TextLiteral(value, false);
  EXPECT_EQ(literal, "CAST('' AS varchar(max))+'" + std::string(4000, 'a') + "'+CHAR(10)+'" +
                         std::string(4000, 'b') + "'");
}

TEST(TextLiteral, VarcharUpToTheLimitNeedsNoMaxType) {
  const std::string value = std::string(3999, 'a') + "\n" + std::string(4000, 'b');
  EXPECT_EQ(TextLiteral(value, false).rfind("CAST", 0), std::string::npos);
}

TEST(TextLiteral, UnicodeLimitCountsUtf16Units) {
  // 1999 letters outside the basic plane are 3998 UTF-16 units; with CR LF 4000: no cast.
  std::string value;
  for (int i = 0; i < 1999; ++i) value += "😀";
  EXPECT_EQ(TextLiteral(value + "\r\n", true).rfind("CAST", 0), std::string::npos);
  // One more Turkish letter (one unit, two UTF-8 bytes) goes over.
  EXPECT_EQ(TextLiteral(value + "ş\r\n", true).rfind("CAST(N'' AS nvarchar(max))+N'", 0), 0u);
}

// Appended to a statement, the literal's pieces join among themselves only: text before it
// (even a literal ending in "+") takes no part.
TEST(AppendTextLiteral, AppendsTheSameLiteralAfterWhatIsThere) {
  for (const std::string& value :
       {std::string(""), std::string("O'Brien ''"), std::string("\r\n"), std::string("\nbaş"),
        std::string("a\r"), std::string(4001, 'x') + "\n", std::string("a\n\nb")}) {
    for (const bool unicode : {false, true}) {
      std::string out = "INSERT INTO T(A,B) VALUES('x'+";
      AppendTextLiteral(out, value, unicode);
      EXPECT_EQ(out, "INSERT INTO T(A,B) VALUES('x'+" + TextLiteral(value, unicode))
          << ::testing::PrintToString(value) << (unicode ? " unicode" : "");
    }
  }
  EXPECT_EQ(TextLiteral("\nbaş", true), "NCHAR(10)+N'baş'");
  EXPECT_EQ(TextLiteral("O'Brien ''", false), "'O''Brien '''''");
}

TEST(TextLiteral, LongValueWithoutBreakIsOneLiteral) {
  const std::string value(9000, 'x');
  EXPECT_EQ(TextLiteral(value, false), "'" + value + "'");
}

}  // namespace
}  // namespace devir::script
