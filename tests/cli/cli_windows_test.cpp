// devir-cli.exe as a Windows user runs it, its output going to files: arguments with Turkish
// letters and blanks arrive whole (Windows hands them over in UTF-16), and what it writes
// to a file is UTF-8. No server is needed: a driver name that no driver manager knows makes
// the connection fail at once, after the password file was read.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"

namespace devir::cli {
namespace {

namespace fs = std::filesystem;
using devir::testing::ProcessResult;
using devir::testing::RunProcess;

std::string Utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::string Describe(const ProcessResult& result) {
  return "exit " + std::to_string(result.exit_code) + "\n--- stdout\n" + result.out +
         "--- stderr\n" + result.err;
}

class CliWindowsTest : public ::testing::Test {
 protected:
  ProcessResult Run(const std::vector<std::string>& args) {
    return RunProcess(
        DEVIR_CLI_EXE, args,
        {{"DEVIR_PASSWORD", std::nullopt}, {"DEVIR_ODBC_DRIVER", "devir test: no such driver"}});
  }

  devir::testing::TempFolder folder_{"devir-cli-"};
  const fs::path password_folder_ = folder_ / fs::path(u8"şifre klasörü ĞÜŞİÖÇ");
  const fs::path password_file_ = password_folder_ / fs::path(u8"şifre dosyası ığüşöç.txt");
};

TEST_F(CliWindowsTest, AnArgumentWithTurkishLettersComesBackInTheMessage) {
  const ProcessResult result = Run({"--target-year", "2ğ18"});
  EXPECT_EQ(result.exit_code, 2) << Describe(result);
  EXPECT_NE(result.err.find("--target-year takes a year of four digits, not '2ğ18'"),
            std::string::npos)
      << Describe(result);
}

TEST_F(CliWindowsTest, APasswordFileNamedInTurkishIsRead) {
  fs::create_directories(password_folder_);
  std::ofstream(password_file_, std::ios::binary) << "gizli\r\n";
  const ProcessResult result =
      Run({"--server", "127.0.0.1,1", "--row-counts", "--password-file", Utf8(password_file_)});
  EXPECT_EQ(result.exit_code, 1) << Describe(result);
  EXPECT_EQ(result.err.find("password file"), std::string::npos) << Describe(result);
  // The connection's stage label, as the window shows it, in UTF-8.
  EXPECT_NE(result.err.find("veritabanına bağlanılamadı"), std::string::npos) << Describe(result);
}

TEST_F(CliWindowsTest, AMissingPasswordFileIsNamedAsGiven) {
  const ProcessResult result =
      Run({"--server", "127.0.0.1,1", "--row-counts", "--password-file", Utf8(password_file_)});
  EXPECT_EQ(result.exit_code, 2) << Describe(result);
  EXPECT_NE(result.err.find("--password-file " + Utf8(password_file_) + ": "), std::string::npos)
      << Describe(result);
}

}  // namespace
}  // namespace devir::cli
