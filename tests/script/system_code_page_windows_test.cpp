// The trace in the ANSI code page Windows runs under: Turkish letters in code page 1254, and
// in code page 1252 that code page's default character '?' where it has no letter, never a
// look-alike (ş as s, ı as i). CTest runs this binary once under each code page (Wine takes
// it from the name of the locale in LC_ALL) and names the one meant in
// DEVIR_TEST_ANSI_CODE_PAGE.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "script/system_code_page.h"
#include "script/trace_file.h"
#include "tests/support/temp_folder.h"

namespace devir::script {
namespace {

namespace fs = std::filesystem;

struct Case {
  const char* what;
  std::string utf8;
  std::string cp1254;
  std::string cp1252;
};

const Case kCases[] = {
    {"ASCII", "SET DATEFORMAT DMY", "SET DATEFORMAT DMY", "SET DATEFORMAT DMY"},
    {"Turkish letters", "ĞÜŞİÖÇğüşıöç", "\xD0\xDC\xDE\xDD\xD6\xC7\xF0\xFC\xFE\xFD\xF6\xE7",
     "?\xDC??\xD6\xC7?\xFC??\xF6\xE7"},
    {"a statement", "N'Şeker ğ'",
     "N'\xDE"
     "eker \xF0'",
     "N'?eker ?'"},
    {"euro sign", "1€", "1\x80", "1\x80"},
    {"outside both", "a😀b", "a?b", "a?b"},
    {"broken UTF-8", "x\xC3", "x?", "x?"},
};

// The code page this run is meant for, checked against the one Windows reports, so that a
// run in the wrong code page fails instead of testing the other one twice.
std::string CodePageUnderTest() {
  const std::string actual = SystemCodePage().Name();
  if (const char* meant = std::getenv("DEVIR_TEST_ANSI_CODE_PAGE")) {
    EXPECT_EQ(actual, meant) << "the ANSI code page of this run";
  }
  return actual;
}

const std::string* Expected(const Case& c, const std::string& code_page) {
  if (code_page == "1254") return &c.cp1254;
  if (code_page == "1252") return &c.cp1252;
  return nullptr;
}

TEST(AnsiCodePage, TextBecomesTheCodePagesBytesWithoutLookAlikes) {
  const std::string code_page = CodePageUnderTest();
  SystemCodePage converter;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    const std::string* expected = Expected(c, code_page);
    if (expected == nullptr) GTEST_SKIP() << "no expectations for code page " << code_page;
    EXPECT_EQ(converter.FromUtf8(c.utf8), *expected);
  }
}

TEST(AnsiCodePage, TraceFileNamedInTurkishHoldsTheCodePagesBytes) {
  const std::string code_page = CodePageUnderTest();
  const devir::testing::TempFolder folder("devir-trace-");
  const fs::path path = folder / fs::path(u8"İz dosyası ğ.TXT");
  std::vector<std::string> lines;
  std::string expected;
  for (const Case& c : kCases) {
    const std::string* bytes = Expected(c, code_page);
    if (bytes == nullptr) GTEST_SKIP() << "no expectations for code page " << code_page;
    lines.push_back(c.utf8);
    expected += *bytes + "\r\n";
  }
  WriteTraceFile(lines, path);
  std::ifstream in(path, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()),
            expected);
}

}  // namespace
}  // namespace devir::script
