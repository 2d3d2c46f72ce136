#include "script/system_code_page.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "tests/script/scoped_environment.h"

namespace devir::script {
namespace {

using testing::ScopedEnvironment;

TEST(SystemCodePage, TurkishLettersBecomeWindows1254Bytes) {
  SystemCodePage code_page("CP1254");
  EXPECT_EQ(code_page.FromUtf8("ĞÜŞİÖÇğüşıöç€"),
            "\xD0\xDC\xDE\xDD\xD6\xC7\xF0\xFC\xFE\xFD\xF6\xE7\x80");
}

TEST(SystemCodePage, CharacterOutsideTheCodePageBecomesQuestionMark) {
  SystemCodePage code_page("ISO-8859-9");
  EXPECT_EQ(code_page.FromUtf8("a€b😀c"), "a?b?c");
}

TEST(SystemCodePage, BrokenUtf8BecomesQuestionMark) {
  SystemCodePage code_page("CP1254");
  EXPECT_EQ(code_page.FromUtf8("x\xC3"), "x?");
  EXPECT_EQ(code_page.FromUtf8("\xC3(y"), "?(y");
}

TEST(SystemCodePage, AsciiLocaleKeepsOnlyAscii) {
  SystemCodePage code_page("ANSI_X3.4-1968");
  EXPECT_EQ(code_page.FromUtf8("aĞb"), "a?b");
}

TEST(SystemCodePage, Utf8KeepsTheBytes) {
  SystemCodePage code_page("UTF-8");
  EXPECT_EQ(code_page.FromUtf8("ğ😀\xC3"), "ğ😀\xC3");
}

TEST(SystemCodePage, LongTextIsConvertedWhole) {
  SystemCodePage code_page("CP1254");
  std::string text;
  for (int i = 0; i < 10000; ++i) text += "Ğ";
  EXPECT_EQ(code_page.FromUtf8(text), std::string(10000, '\xD0'));
}

TEST(SystemCodePage, UnknownCharacterSetIsNamed) {
  try {
    SystemCodePage code_page("NO-SUCH-SET");
    FAIL() << "no exception";
  } catch (const std::runtime_error& error) {
    EXPECT_NE(std::string(error.what()).find("NO-SUCH-SET"), std::string::npos) << error.what();
  }
}

TEST(SystemCodePage, FollowsTheEnvironmentsLocale) {
  ScopedEnvironment all("LC_ALL", "C.UTF-8");
  EXPECT_EQ(SystemCodePage().Name(), "UTF-8");
}

// The C and POSIX locales of cron jobs and containers name plain ASCII: every Turkish letter
// would become '?', so the system's code page is UTF-8 there.
TEST(SystemCodePage, ThePlainAsciiLocaleGivesUtf8) {
  for (const char* locale : {"C", "POSIX"}) {
    ScopedEnvironment all("LC_ALL", locale);
    SystemCodePage code_page;
    EXPECT_EQ(code_page.Name(), "UTF-8") << locale;
    EXPECT_EQ(code_page.FromUtf8("Şişe"), "Şişe") << locale;
    EXPECT_EQ(code_page.Replaced(), 0u) << locale;
  }
}

TEST(SystemCodePage, CountsTheCharactersItReplaces) {
  SystemCodePage code_page("ISO-8859-9");
  code_page.FromUtf8("a€b😀c");
  code_page.FromUtf8("ğ\xC3");
  EXPECT_EQ(code_page.Replaced(), 3u);
}

TEST(SystemCodePage, AWindowsCodePageByItsNumber) {
  SystemCodePage code_page(1254);
  EXPECT_EQ(code_page.FromUtf8("Ğ€Ω"), "\xD0\x80?");
  EXPECT_EQ(code_page.Replaced(), 1u);
}

}  // namespace
}  // namespace devir::script
