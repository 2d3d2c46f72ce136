// devir-cli given what users mistype and what hostile input looks like, each with its
// outcome: bad usage ends at once with exit code 2 and a line naming the option; a wrong
// server, login or database ends at the connection; a folder or file that cannot serve ends
// at its step with the system's cause; and what is merely unusual (letters of any script,
// quotes, ';', braces in names and paths) works. After every case the source is as it was,
// and a failed run left no database, registry row or file behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "tests/cli/cli_process.h"
#include "tests/support/sandbox_process.h"
#include "tests/support/temp_folder.h"
#include "tests/support/transfer_checks.h"

namespace devir::cli {
namespace {

namespace fs = std::filesystem;
namespace checks = devir::testing;
using devir::testing::SandboxProcess;
using testing::CliResult;

constexpr int kUsage = 2;
constexpr int kFailed = 1;
constexpr int kDone = 0;

struct BadInput {
  const char* name;
  /// Put after the options that point at the stand-in (a later option wins). In them, {PORT}
  /// is the stand-in's port, {WORK} a folder of the test's and {DATA} the server's data folder.
  std::vector<std::string> args;
  int exit_code;
  std::string error_has;  ///< what stderr holds (stdout too for a finished run)
  testing::Environment environment = {};
};

std::ostream& operator<<(std::ostream& out, const BadInput& c) {
  return out << c.name;
}

std::string Replaced(std::string text, const std::map<std::string, std::string>& values) {
  for (const auto& [key, value] : values) {
    for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key, at)) {
      text.replace(at, key.size(), value);
      at += value.size();
    }
  }
  return text;
}

class CliBadInputTest : public ::testing::TestWithParam<BadInput> {
 protected:
  static void SetUpTestSuite() {
    sandbox_ = std::make_unique<SandboxProcess>();
    work_ = std::make_unique<devir::testing::TempFolder>("devir-bad-input-");
    const fs::path work = work_->Path();
    ASSERT_EQ(SandboxProcess::RunTool({"template", "--out", (work / "DB").string()}), 0);
    fs::create_directories(work / "a-folder");
    std::ofstream(work / "a-file") << "in the way\n";
    std::ofstream(work / "pw-empty");
    std::ofstream(work / "pw-crlf", std::ios::binary) << checks::kTestPassword << "\r\nmore\n";
    std::ofstream(work / "pw-bom", std::ios::binary) << "\xEF\xBB\xBF" << checks::kTestPassword;
    std::ofstream(work / "pw-long", std::ios::binary) << std::string(5000, 'a');
    std::ofstream(work / "pw-wrong", std::ios::binary) << "yanlis\n";
    std::ofstream(work / "pw-latin5", std::ios::binary) << "\xFE"
                                                        << "ifre\n";  // ş in CP1254
    for (const char* folder : {"Данные", "O'Brien's data", "a;b{c}d", "veri 😀", "  spaced  "}) {
      fs::create_directories(sandbox_->DataDir() / folder);
    }
    source_rows_ = checks::CountCarriedRows(sandbox_->DataSource(), "E2017");
    registry_rows_ = checks::CountRows(sandbox_->DataSource(), "sirketambar", "sirketler");
  }
  static void TearDownTestSuite() {
    work_.reset();
    sandbox_.reset();
  }

  // Takes away what a finished transfer left, so that the next case starts as this one did.
  static void Reset() {
    const std::string server = sandbox_->DataSource();
    if (checks::DatabaseAttached(server, "E2018")) {
      checks::RunSql(server, "master", "sp_detach_db 'E2018'");
    }
    checks::RunSql(server, "sirketambar", "DELETE FROM sirketler WHERE SirketAdi = 'E2018'");
    for (const auto& entry : fs::recursive_directory_iterator(sandbox_->DataDir())) {
      if (entry.path().filename().string().starts_with("E2018_")) fs::remove(entry.path());
    }
  }

  static inline std::unique_ptr<SandboxProcess> sandbox_;
  static inline std::unique_ptr<devir::testing::TempFolder> work_;
  static inline std::map<std::string, long long> source_rows_;
  static inline long long registry_rows_ = 0;
};

TEST_P(CliBadInputTest, EndsAsExpectedAndLeavesNothingBehind) {
  const BadInput& c = GetParam();
  const std::string server = sandbox_->DataSource();
  const std::map<std::string, std::string> values = {{"{PORT}", std::to_string(sandbox_->Port())},
                                                     {"{WORK}", work_->Path().string()},
                                                     {"{DATA}", sandbox_->DataDir().string()}};
  std::vector<std::string> args = {"--server",       server,
                                   "--data-dir",     sandbox_->DataDir().string(),
                                   "--trace",        (work_->Path() / "X.TXT").string(),
                                   "--template-dir", (work_->Path() / "DB").string(),
                                   "--date",         "01.01.2018"};
  for (const std::string& arg : c.args) args.push_back(Replaced(arg, values));
  testing::Environment environment = {{"DEVIR_PASSWORD", checks::kTestPassword},
                                      {"HOME", work_->Path().string()}};
  for (const auto& [name, value] : c.environment) {
    environment[name] = value ? std::optional(Replaced(*value, values)) : std::nullopt;
  }

  const CliResult result = testing::RunProcess(DEVIR_CLI_EXE, args, environment);

  EXPECT_EQ(result.exit_code, c.exit_code) << result.err << result.out;
  const std::string error_has = Replaced(c.error_has, values);
  EXPECT_NE((result.err + result.out).find(error_has), std::string::npos)
      << "wanted: " << error_has << "\n"
      << result.err << result.out;
  if (c.exit_code == kUsage) {
    EXPECT_NE(result.err.find("Usage: devir-cli"), std::string::npos) << result.err;
  }
  EXPECT_EQ(result.err.find(checks::kTestPassword), std::string::npos) << "the password shows";
  EXPECT_EQ(checks::CountCarriedRows(server, "E2017"), source_rows_);
  if (c.exit_code == kDone) {
    EXPECT_TRUE(checks::DatabaseAttached(server, "E2018"));
    Reset();
  } else {
    EXPECT_FALSE(checks::DatabaseAttached(server, "E2018"));
    EXPECT_EQ(checks::CountRows(server, "sirketambar", "sirketler"), registry_rows_);
    for (const auto& entry : fs::recursive_directory_iterator(sandbox_->DataDir())) {
      EXPECT_FALSE(entry.path().filename().string().starts_with("E2018_")) << entry.path();
    }
  }
}

const char* const kConnect = "\nveritabanına bağlanılamadı\n";

INSTANTIATE_TEST_SUITE_P(
    Usage, CliBadInputTest,
    ::testing::Values(
        BadInput{"EmptyServer", {"--server", ""}, kUsage, "--server must not be empty"},
        BadInput{"BlankServer", {"--server", "   "}, kUsage, "--server must not be empty"},
        BadInput{"EmptyUser", {"--user", ""}, kUsage, "--user must not be empty"},
        BadInput{"TabUser", {"--user", "\t"}, kUsage, "--user must not be empty"},
        BadInput{"EmptySource", {"--source", ""}, kUsage, "--source must not be empty"},
        BadInput{"BlankSource", {"--source", " "}, kUsage, "--source must not be empty"},
        BadInput{"EmptyDataFolder", {"--data-dir", ""}, kUsage, "--data-dir must not be empty"},
        BadInput{"BlankDataFolder", {"--data-dir", "  "}, kUsage, "--data-dir must not be empty"},
        BadInput{"EmptyTrace", {"--trace", ""}, kUsage, "--trace must not be empty"},
        BadInput{"EmptyTemplateFolder",
                 {"--template-dir", ""},
                 kUsage,
                 "--template-dir must not be empty"},
        BadInput{"EmptyPasswordFile",
                 {"--password-file", ""},
                 kUsage,
                 "--password-file must not be empty"},
        BadInput{"SourceIsTheTarget", {"--source", "E2018"}, kUsage, "is the database"},
        BadInput{"SourceIsTheTargetInLowerCase", {"--source", "e2018"}, kUsage, "is the database"},
        BadInput{"TargetYearOfTheSource",
                 {"--target-year", "2017", "--source", "E2017"},
                 kUsage,
                 "is the database"},
        BadInput{"TwoDigitYear", {"--target-year", "18"}, kUsage, "--target-year"},
        BadInput{"LettersForAYear", {"--target-year", "abcd"}, kUsage, "--target-year"},
        BadInput{"YearTooEarly", {"--target-year", "1700"}, kUsage, "--target-year"},
        BadInput{"EmptyDate", {"--date", ""}, kUsage, "--date"},
        BadInput{"DayThirtyTwo", {"--date", "32.01.2018"}, kUsage, "--date"},
        BadInput{"NoLeapDay", {"--date", "29.02.2019"}, kUsage, "--date"},
        BadInput{"IsoDate", {"--date", "2018-01-01"}, kUsage, "--date"},
        BadInput{"DateBeforeDatetime", {"--date", "1.1.1752"}, kUsage, "--date"},
        BadInput{"NegativeTimeout", {"--timeout", "-5"}, kUsage, "--timeout"},
        BadInput{"WordTimeout", {"--timeout", "uzun"}, kUsage, "--timeout"},
        BadInput{"PasswordArgument", {"--password", "x"}, kUsage, "never taken as an argument"},
        BadInput{"PasswordArgumentJoined", {"--password=x"}, kUsage, "never taken as an argument"},
        BadInput{"UnknownOption", {"--frobnicate"}, kUsage, "unknown option --frobnicate"},
        BadInput{"Positional", {"E2017"}, kUsage, "unknown option E2017"},
        BadInput{"MissingValue", {"--server"}, kUsage, "option --server needs a value"},
        BadInput{"TwoCommands", {"--detach", "--dry-run"}, kUsage, "a run of their own"},
        BadInput{"SourceNotUtf8", {"--source", "E2017\xFF"}, kUsage, "--source is not UTF-8"},
        BadInput{"ServerNotUtf8", {"--server", "\xC3("}, kUsage, "--server is not UTF-8"},
        BadInput{"DataFolderCutUtf8",
                 {"--data-dir", "/veri\xE2\x82"},
                 kUsage,
                 "--data-dir is not UTF-8"},
        BadInput{"NoPasswordFile",
                 {"--password-file", "{WORK}/yok"},
                 kUsage,
                 "--password-file {WORK}/yok: "},
        BadInput{"PasswordFileIsAFolder",
                 {"--password-file", "{WORK}/a-folder"},
                 kUsage,
                 "Is a directory"},
        BadInput{"PasswordFileWithoutEnd",
                 {"--password-file", "/dev/zero"},
                 kUsage,
                 "longer than 4096 bytes"},
        BadInput{"EmptyPasswordFileItself",
                 {"--password-file", "{WORK}/pw-empty"},
                 kUsage,
                 "it is empty"},
        BadInput{"LongPasswordLine",
                 {"--password-file", "{WORK}/pw-long"},
                 kUsage,
                 "longer than 4096 bytes"},
        BadInput{"PasswordFileNotUtf8",
                 {"--password-file", "{WORK}/pw-latin5"},
                 kUsage,
                 "the password from the password file is not UTF-8"},
        BadInput{"PasswordVariableNotUtf8",
                 {},
                 kUsage,
                 "DEVIR_PASSWORD is not UTF-8",
                 {{"DEVIR_PASSWORD", "\xFE"}}},
        BadInput{"NoPasswordAnywhere", {}, kUsage, "no password", {{"DEVIR_PASSWORD", {}}}}),
    [](const ::testing::TestParamInfo<BadInput>& param_info) { return param_info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Connection, CliBadInputTest,
    ::testing::Values(
        BadInput{"NothingListens", {"--server", "127.0.0.1,1"}, kFailed, kConnect},
        BadInput{"UnknownHost", {"--server", "devir-yok.invalid"}, kFailed, kConnect},
        BadInput{
            "PortOutOfRange", {"--server", "127.0.0.1,70000"}, kFailed, "has no valid port number"},
        BadInput{"PortWithTextAfterIt",
                 {"--server", "127.0.0.1,{PORT};Database=master"},
                 kFailed,
                 "has no valid port number"},
        BadInput{"InstanceNobodyAnswers",
                 {"--server", "127.0.0.1\\DEVIR_YOK"},
                 kFailed,
                 "SQL Server Browser"},
        BadInput{"WrongUser", {"--user", "sa;x"}, kFailed, "Login failed for user 'sa;x'"},
        BadInput{"WrongPassword",
                 {},
                 kFailed,
                 "Login failed for user 'sa'",
                 {{"DEVIR_PASSWORD", "yanlis"}}},
        BadInput{"PasswordNamingAnotherDatabase",
                 {},
                 kFailed,
                 "Login failed",
                 {{"DEVIR_PASSWORD", "x;Database=master"}}},
        BadInput{"WrongPasswordFromAFile",
                 {"--password-file", "{WORK}/pw-wrong"},
                 kFailed,
                 "Login failed"},
        BadInput{"BraceInUser", {"--user", "sa}"}, kFailed, "cannot carry"},
        BadInput{"TurkishUser", {"--user", "şef"}, kFailed, "Login failed for user 'şef'"},
        BadInput{"NoSuchSource", {"--source", "YOK"}, kFailed, "Cannot open database \"YOK\""},
        BadInput{"InjectionInSource",
                 {"--source", "E2017'; DROP TABLE STOK--"},
                 kFailed,
                 "Cannot open database"},
        BadInput{"BracketedSource", {"--source", "[E2017]"}, kFailed, "Cannot open database"},
        BadInput{"SemicolonInSource",
                 {"--source", "E2017;Database=master"},
                 kFailed,
                 "Cannot open database"},
        BadInput{"VeryLongSource", {"--source", std::string(10000, 'E')}, kFailed, kConnect},
        BadInput{"VeryLongServer", {"--server", std::string(10000, 'h')}, kFailed, kConnect}),
    [](const ::testing::TestParamInfo<BadInput>& param_info) { return param_info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Steps, CliBadInputTest,
    ::testing::Values(
        BadInput{"NoSuchDataFolder",
                 {"--data-dir", "{WORK}/yok/veri"},
                 kFailed,
                 "\nşirket\n{WORK}/yok/veri/E2018_Data.MDF: No such file or directory"},
        BadInput{"AFileInTheWayOfTheDataFolder",
                 {"--data-dir", "{WORK}/a-file/"},
                 kFailed,
                 "{WORK}/a-file/E2018_Data.MDF: Not a directory"},
        BadInput{"DataFolderNameTooLong",
                 {"--data-dir", "{WORK}/" + std::string(300, 'v')},
                 kFailed,
                 "File name too long"},
        BadInput{"DataFolderOfTenThousandLetters",
                 {"--data-dir", std::string(10000, 'v')},
                 kFailed,
                 "File name too long"},
        BadInput{"ReadOnlyDataFolder", {"--data-dir", "/proc/"}, kFailed, "\nşirket\n/proc/"},
        BadInput{"NoTemplateFolder",
                 {"--template-dir", "{WORK}/yok"},
                 kFailed,
                 "are in none of these folders: {WORK}/yok"},
        BadInput{"NoTemplateForTheYear",
                 {"--target-year", "2019", "--source", "E2017"},
                 kFailed,
                 "E2019_Data.MDF and E2019_Log.LDF are in none of these folders"},
        BadInput{"TraceInAMissingFolder",
                 {"--trace", "{WORK}/yok/X.TXT"},
                 kFailed,
                 "the trace file cannot be written: 1 (the transfer would stop at \"depo+hk+dk\")\n"
                 "  {WORK}/yok/X.TXT: No such file or directory"},
        BadInput{"TraceIsAFolder",
                 {"--trace", "{WORK}/a-folder"},
                 kFailed,
                 "{WORK}/a-folder: Is a directory"},
        BadInput{"TraceOnAFullDisk", {"--trace", "/dev/full"}, kFailed, "No space left"}),
    [](const ::testing::TestParamInfo<BadInput>& param_info) { return param_info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Works, CliBadInputTest,
    ::testing::Values(
        BadInput{"CyrillicDataFolder", {"--data-dir", "{DATA}/Данные"}, kDone, "carried over"},
        BadInput{"QuotesInTheDataFolder",
                 {"--data-dir", "{DATA}/O'Brien's data/"},
                 kDone,
                 "carried over"},
        BadInput{"SemicolonAndBracesInTheDataFolder",
                 {"--data-dir", "{DATA}/a;b{c}d"},
                 kDone,
                 "carried over"},
        BadInput{"EmojiInTheDataFolder", {"--data-dir", "{DATA}/veri 😀"}, kDone, "carried over"},
        BadInput{"BlanksAroundTheDataFolderName",
                 {"--data-dir", "{DATA}/  spaced  "},
                 kDone,
                 "carried over"},
        BadInput{"TurkishTrace", {"--trace", "{WORK}/iz ş ğ.txt"}, kDone, "carried over"},
        BadInput{
            "BlanksAroundTheServer", {"--server", " 127.0.0.1,{PORT} "}, kDone, "carried over"},
        BadInput{"TcpPrefix", {"--server", "tcp:127.0.0.1,{PORT}"}, kDone, "carried over"},
        BadInput{"LocalhostName", {"--server", "localhost,{PORT}"}, kDone, "carried over"},
        BadInput{"OneDigitDate", {"--date", "1.1.2018"}, kDone, "carried over"},
        BadInput{"PasswordFileWithCrLf",
                 {"--password-file", "{WORK}/pw-crlf"},
                 kDone,
                 "carried over",
                 {{"DEVIR_PASSWORD", "yanlis"}}},
        BadInput{"PasswordFileWithByteOrderMark",
                 {"--password-file", "{WORK}/pw-bom"},
                 kDone,
                 "carried over"},
        BadInput{"NoTimeLimit", {"--timeout", "0"}, kDone, "carried over"}),
    [](const ::testing::TestParamInfo<BadInput>& param_info) { return param_info.param.name; });

}  // namespace
}  // namespace devir::cli
