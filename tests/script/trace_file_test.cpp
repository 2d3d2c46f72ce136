#include "script/trace_file.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "script/system_code_page.h"
#include "tests/script/leak_check_pause.h"
#include "tests/script/scoped_environment.h"
#include "tests/support/temp_folder.h"

namespace devir::script {
namespace {

namespace fs = std::filesystem;
using testing::LeakCheckPause;
using testing::ScopedEnvironment;

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// What an error text names the file by: UTF-8 on every platform.
std::string Utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

class TraceFileTest : public ::testing::Test {
 protected:
  devir::testing::TempFolder folder_{"devir-trace-"};
  const fs::path& dir_ = folder_.Path();
};

// The trace's code page on Windows is the ANSI code page, with tests of its own
// (system_code_page_windows_test.cpp); here it comes from the locale.
#ifndef _WIN32
TEST_F(TraceFileTest, EachLineEndsWithCrLfWithoutByteOrderMark) {
  ScopedEnvironment all("LC_ALL", "C.UTF-8");
  const fs::path path = dir_ / "X.TXT";
  WriteTraceFile({"SET DATEFORMAT DMY", "", "INSERT INTO DEPO(KODU,ADI) VALUES('01','Ğ')"}, path);
  EXPECT_EQ(ReadBytes(path),
            "SET DATEFORMAT DMY\r\n\r\nINSERT INTO DEPO(KODU,ADI) VALUES('01','Ğ')\r\n");
}
#endif

TEST_F(TraceFileTest, EmptyScriptGivesEmptyFile) {
  const fs::path path = dir_ / "X.TXT";
  WriteTraceFile({}, path);
  EXPECT_TRUE(fs::exists(path));
  EXPECT_EQ(fs::file_size(path), 0u);
}

TEST_F(TraceFileTest, ReplacesAnEarlierFile) {
  const fs::path path = dir_ / "X.TXT";
  std::ofstream(path, std::ios::binary) << std::string(100000, 'z');
  WriteTraceFile({"A"}, path);
  EXPECT_EQ(ReadBytes(path), "A\r\n");
}

#ifndef _WIN32
TEST_F(TraceFileTest, WrittenInTheLocalesEightBitCodePage) {
  ScopedEnvironment locale_path("LOCPATH", DEVIR_TEST_LOCALE_DIR);
  ScopedEnvironment all("LC_ALL", "tr_TR.CP1254");
  const LeakCheckPause pause;
  if (SystemCodePage().Name() != "CP1254") {
    GTEST_SKIP() << "locale tr_TR.CP1254 is not available in " << DEVIR_TEST_LOCALE_DIR;
  }
  const fs::path path = dir_ / "X.TXT";
  const TraceFileReport report = WriteTraceFile({"N'Şeker ğ' 😀"}, path);
  EXPECT_EQ(ReadBytes(path),
            "N'\xDE"
            "eker \xF0' ?\r\n");
  EXPECT_EQ(report.charset, "CP1254");
  EXPECT_EQ(report.replaced, 1u);
}
#endif

TEST_F(TraceFileTest, FolderThatDoesNotExistNamesPathAndSystemMessage) {
  const fs::path path = dir_ / "yok" / "X.TXT";
  try {
    WriteTraceFile({"A"}, path);
    FAIL() << "no exception";
  } catch (const std::runtime_error& error) {
    EXPECT_EQ(std::string(error.what()),
              Utf8(path) + ": " + std::generic_category().message(ENOENT));
  }
}

TEST_F(TraceFileTest, FolderInPlaceOfTheFileFails) {
  const fs::path path = dir_ / "X.TXT";
  fs::create_directory(path);
#ifdef _WIN32
  const int expected = EACCES;  // Windows refuses to open a folder as a file
#else
  const int expected = EISDIR;
#endif
  try {
    WriteTraceFile({"A"}, path);
    FAIL() << "no exception";
  } catch (const std::runtime_error& error) {
    EXPECT_EQ(std::string(error.what()),
              Utf8(path) + ": " + std::generic_category().message(expected));
  }
}

TEST_F(TraceFileTest, ErrorNamesAPathOutsideTheCodePageInUtf8) {
  const fs::path path = dir_ / fs::path(u8"yok ğüşİ") / "X.TXT";
  try {
    WriteTraceFile({"A"}, path);
    FAIL() << "no exception";
  } catch (const std::runtime_error& error) {
    EXPECT_NE(std::string(error.what()).find("yok ğüşİ"), std::string::npos) << error.what();
  }
}

#ifdef _WIN32
TEST(DefaultTracePath, XTxtAtTheRootOfDriveC) {
  EXPECT_EQ(DefaultTracePath().wstring(), L"C:\\X.TXT");
}
#else

TEST(DefaultTracePath, XTxtInTheHomeDirectory) {
  ScopedEnvironment home("HOME", "/home/muhasebe");
  EXPECT_EQ(DefaultTracePath(), fs::path("/home/muhasebe/X.TXT"));
}

TEST(DefaultTracePath, AccountsHomeWithoutHomeVariable) {
  ScopedEnvironment home("HOME", std::nullopt);
  const passwd* account = getpwuid(getuid());
  ASSERT_NE(account, nullptr);
  EXPECT_EQ(DefaultTracePath(), fs::path(account->pw_dir) / "X.TXT");
}
#endif

}  // namespace
}  // namespace devir::script
