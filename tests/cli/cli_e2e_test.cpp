// devir-cli as a user runs it, a child process against the stand-in: the sample carried
// over, a dry run, each failure with its exit code and message, "DB Sil" and a second
// transfer, another target year, and the row counts side by side. The source files stay
// byte for byte as they were through every run.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <system_error>
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

const db::DateTime kOpeningDate{.year = 2018, .month = 1, .day = 1};

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Runs sql on a file of the stand-in while it is stopped: a value T-SQL would refuse.
void WriteIntoDataFile(const fs::path& file, const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK) << file;
  char* error = nullptr;
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK)
      << (error != nullptr ? error : "");
  sqlite3_free(error);
  sqlite3_close(db);
}

std::string Describe(const CliResult& result) {
  return "exit " + std::to_string(result.exit_code) + "\n--- stdout\n" + result.out +
         "--- stderr\n" + result.err;
}

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sandbox_ = std::make_unique<SandboxProcess>();
    ASSERT_EQ(SandboxProcess::RunTool({"template", "--out", Templates().string()}), 0);
  }

  std::string Server() const { return sandbox_->DataSource(); }
  fs::path Trace() const { return work_ / "X.TXT"; }
  fs::path Templates() const { return work_ / "template"; }

  // devir-cli against the stand-in, the password from the environment, the stand-in's data
  // folder typed without its final separator, the trace in the test's folder. The build's
  // devir-cli is given the template's folder; a copy finds its own beside it.
  CliResult Run(std::vector<std::string> args, const fs::path& exe = DEVIR_CLI_EXE,
                testing::Environment environment = {}) {
    std::vector<std::string> all = {"--server",   Server(),
                                    "--data-dir", sandbox_->DataDir().string(),
                                    "--trace",    Trace().string()};
    if (exe == DEVIR_CLI_EXE) {
      all.push_back("--template-dir");
      all.push_back(Templates().string());
    }
    all.insert(all.end(), args.begin(), args.end());
    environment.emplace("DEVIR_PASSWORD", checks::kTestPassword);
    environment.emplace("HOME", work_.string());
    return testing::RunProcess(exe, all, environment);
  }

  // Run, with the source's files compared before and after while the stand-in is stopped.
  CliResult RunKeepingTheSource(std::vector<std::string> args,
                                const fs::path& exe = DEVIR_CLI_EXE) {
    sandbox_->Stop();
    const checks::FilesSnapshot before =
        checks::SnapshotDatabaseFiles(sandbox_->DataDir(), "E2017");
    sandbox_->Start();
    CliResult result = Run(std::move(args), exe);
    sandbox_->Stop();
    EXPECT_EQ(checks::SnapshotDatabaseFiles(sandbox_->DataDir(), "E2017"), before)
        << "the source's files changed";
    sandbox_->Start();
    return result;
  }

  // A copy of devir-cli in a folder of its own, with `templates` (file name -> the file to
  // copy) in `template_folder` relative to it: "DB" beside it, as on Windows and in the build
  // folder, or "../share/devir/DB", as the installed package has it.
  fs::path CopyOfTheCli(const std::map<std::string, fs::path>& templates,
                        const fs::path& template_folder = "DB") {
    const fs::path folder = work_ / "bin";
    fs::create_directories(folder / template_folder);
    fs::copy_file(DEVIR_CLI_EXE, folder / "devir-cli", fs::copy_options::overwrite_existing);
    for (const auto& [name, file] : templates) {
      fs::copy_file(file, folder / template_folder / name);
    }
    return folder / "devir-cli";
  }

  void ExpectTheSampleCarriedOver(const CliResult& result) {
    ASSERT_EQ(result.exit_code, 0) << Describe(result);
    EXPECT_TRUE(fs::exists(sandbox_->DataDir() / "E2018_Data.MDF"));
    EXPECT_TRUE(fs::exists(sandbox_->DataDir() / "E2018_Log.LDF"));
    checks::ExpectMasterTablesCarried(Server(), "E2017", "E2018");
    checks::ExpectCarryOverMovements(Server(), "E2017", "E2018", kOpeningDate);
    checks::ExpectOneRegistryRow(Server(), 2018);
    const std::size_t lines = checks::ExpectTraceMatchesTarget(Trace(), Server(), "E2018");
    const std::string run = std::to_string(lines);
    EXPECT_NE(result.out.find("statements run: " + run + " of " + run + "\n"), std::string::npos)
        << result.out;
  }

  std::unique_ptr<SandboxProcess> sandbox_;
  devir::testing::TempFolder work_folder_{"devir-cli-"};
  const fs::path& work_ = work_folder_.Path();
};

TEST_F(CliTest, CarriesTheSampleOverAndSumsItUp) {
  const CliResult result = RunKeepingTheSource({"--date", "01.01.2018"});
  ExpectTheSampleCarriedOver(result);

  // The stages in the window's order, then the summary.
  const std::regex stages(
      "stok tablosu\n.*stokhareket tablosu\n.*depo\\+hk\\+dk\n.*şirket\n.*attach\n.*x\\.txt\n");
  EXPECT_TRUE(std::regex_search(result.err, stages)) << result.err;
  const auto counts = checks::CountCarriedRows(Server(), "E2017");
  const std::regex stok_read("\n  STOK +" + std::to_string(counts.at("STOK")) + "\n");
  EXPECT_TRUE(std::regex_search(result.out, stok_read)) << result.out;
  const std::string entries = std::to_string(checks::CountRows(Server(), "E2018", "STOKHAREKET"));
  EXPECT_NE(result.out.find("opening entries written: " + entries + "\n"), std::string::npos)
      << result.out;
  EXPECT_TRUE(std::regex_search(result.out, std::regex("\nelapsed: [0-9]+\\.[0-9] s\n")))
      << result.out;
}

TEST_F(CliTest, DryRunWritesTheTraceAndChangesNothingOnTheServer) {
  sandbox_->Stop();
  const checks::FilesSnapshot server_files = checks::SnapshotDatabaseFiles(sandbox_->DataDir(), "");
  sandbox_->Start();

  const CliResult result = Run({"--dry-run"});

  ASSERT_EQ(result.exit_code, 0) << Describe(result);
  EXPECT_NE(result.out.find("nothing was changed on the server"), std::string::npos);
  EXPECT_NE(result.out.find("statements run: 0 of "), std::string::npos) << result.out;
  EXPECT_TRUE(fs::exists(Trace()));
  EXPECT_EQ(result.err.find("şirket"), std::string::npos) << result.err;
  sandbox_->Stop();
  EXPECT_EQ(checks::SnapshotDatabaseFiles(sandbox_->DataDir(), ""), server_files)
      << "a file of the server changed";
  sandbox_->Start();
  EXPECT_FALSE(checks::DatabaseAttached(Server(), "E2018"));
}

// Under the C locale of cron jobs and containers the trace keeps every Turkish letter.
TEST_F(CliTest, UnderTheCLocaleTheTraceIsWrittenInUtf8) {
  const CliResult result = Run({"--dry-run"}, DEVIR_CLI_EXE, {{"LC_ALL", "C"}});
  ASSERT_EQ(result.exit_code, 0) << Describe(result);
  std::ifstream in(Trace(), std::ios::binary);
  const std::string trace((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(trace.find("N'Şişe ğüşıöç ĞÜŞİÖÇ'"), std::string::npos);
  EXPECT_EQ(trace.find('?'), std::string::npos);
  EXPECT_NE(result.out.find("trace file: " + Trace().string() + " (UTF-8)\n"), std::string::npos)
      << result.out;
}

// The sample's own oddities are warnings; a depot that DEPO lacks and a float SQL Server
// cannot store are errors, and a transfer then stops before anything changes.
TEST_F(CliTest, CheckReportsEachFindingWithItsKeysAndExitsOneOnAnError) {
  const CliResult clean = RunKeepingTheSource({"--check"});
  EXPECT_EQ(clean.exit_code, 0) << Describe(clean);
  for (const char* part :
       {"warning: movements whose item has no stock card: 1 (", ", STOKKODU KARTSIZ-01\n",
        "warning: negative remaining quantities per depot and item: ",
        "warning: depots whose opening entries refer to a depot the new year's DEPO will not "
        "hold: 6 (",
        "\n  depot 02 (ŞUBE DEPO)\n", "\n0 errors, 3 warnings\n"}) {
    EXPECT_TRUE(Has(clean.out, part)) << part << "\n" << clean.out;
  }

  checks::RunSql(Server(), "E2017",
                 "INSERT INTO STOKHAREKET(TARIH,GDEPO,STOKKODU,ADET,FIYAT) "
                 "VALUES('30.12.2017','09',N'TAM-001',5,1)");
  sandbox_->Stop();
  WriteIntoDataFile(sandbox_->DataDir() / "E2017_Data.MDF",
                    "UPDATE STOK SET HACIM = 9e999 WHERE STOKKODU COLLATE BINARY = 'TAM-002'");
  sandbox_->Start();
  const CliResult broken = RunKeepingTheSource({"--check"});
  EXPECT_EQ(broken.exit_code, 1) << Describe(broken);
  for (const char* part :
       {"error: depots used by movements that are not in DEPO: 1 (", "\n  depot 09: 1 movements\n",
        "error: floats the script cannot carry (NaN or infinite): 1 (",
        "\n  STOK STOKKODU TAM-002, HACIM: INF\n", "\n2 errors, 3 warnings\n"}) {
    EXPECT_TRUE(Has(broken.out, part)) << part << "\n" << broken.out;
  }

  const long long registry = checks::CountRows(Server(), "sirketambar", "sirketler");
  const CliResult transfer = RunKeepingTheSource({});
  EXPECT_EQ(transfer.exit_code, 1) << Describe(transfer);
  EXPECT_TRUE(Has(transfer.err, "\nerror: floats the script cannot carry")) << transfer.err;
  EXPECT_TRUE(Has(transfer.err, "the checks found errors; nothing was changed")) << transfer.err;
  EXPECT_FALSE(checks::DatabaseAttached(Server(), "E2018"));
  EXPECT_EQ(checks::CountRows(Server(), "sirketambar", "sirketler"), registry);
  EXPECT_FALSE(fs::exists(sandbox_->DataDir() / "E2018_Data.MDF"));
}

TEST_F(CliTest, CheckFindsALoginWithoutTheRightToAttach) {
  SandboxProcess::Options options;
  options.logins = {"sa:qolvanet", "muhasebe:Gizli1"};
  sandbox_ = std::make_unique<SandboxProcess>(options);
  const CliResult result =
      Run({"--check", "--user", "muhasebe"}, DEVIR_CLI_EXE, {{"DEVIR_PASSWORD", "Gizli1"}});
  EXPECT_EQ(result.exit_code, 1) << Describe(result);
  EXPECT_TRUE(Has(result.out, "error: the login lacks the right to attach a database: 1 ("))
      << result.out;
  EXPECT_TRUE(Has(result.out, "\n  login muhasebe\n")) << result.out;
}

// After "DB Sil" the filled files stay in the data folder and are attached again: the run stops
// before the first line instead of doubling the year.
TEST_F(CliTest, ARetryAfterASuccessfulTransferStopsAtXTxtAndDoublesNothing) {
  const CliResult first = Run({"--no-verify"});
  ASSERT_EQ(first.exit_code, 0) << Describe(first);
  EXPECT_FALSE(Has(first.out, "proof")) << first.out;
  const auto rows = checks::CountCarriedRows(Server(), "E2018");
  ASSERT_EQ(Run({"--detach"}).exit_code, 0);

  const CliResult retry = RunKeepingTheSource({});

  EXPECT_EQ(retry.exit_code, 1) << Describe(retry);
  EXPECT_TRUE(Has(retry.err, "\nx.txt\nE2018 is not empty: STOK " +
                                 std::to_string(rows.at("STOK")) + " rows, STOKHAREKET " +
                                 std::to_string(rows.at("STOKHAREKET")) + " rows, DEPO 1 row, "))
      << retry.err;
  for (const std::string& part :
       {std::string("The attached files are those of an earlier transfer"),
        std::string("Nothing was written to E2018"), std::string("(\"DB Sil\")"),
        (sandbox_->DataDir() / "E2018_Data.MDF").string() + " and " +
            (sandbox_->DataDir() / "E2018_Log.LDF").string()}) {
    EXPECT_TRUE(Has(retry.err, part)) << part << "\n" << retry.err;
  }
  EXPECT_EQ(checks::CountCarriedRows(Server(), "E2018"), rows);
}

TEST_F(CliTest, TheProofHoldsAfterATransferAndNamesEachChangeMadeSince) {
  const CliResult transfer = Run({"--date", "01.01.2018"});
  ASSERT_EQ(transfer.exit_code, 0) << Describe(transfer);
  EXPECT_TRUE(Has(transfer.out, "\nproof:\ncheck ")) << transfer.out;
  EXPECT_TRUE(Has(transfer.out, "\nthe proof holds: E2018 holds what E2017 had\n")) << transfer.out;

  const CliResult clean = RunKeepingTheSource({"--verify"});
  EXPECT_EQ(clean.exit_code, 0) << Describe(clean);
  const std::string stok = std::to_string(checks::CountRows(Server(), "E2017", "STOK"));
  EXPECT_TRUE(std::regex_search(
      clean.out, std::regex("\nSTOK +" + stok + " +" + stok + " +" + stok + " +0\n")))
      << clean.out;

  checks::RunSql(Server(), "E2018",
                 "UPDATE STOK SET STOKADI = N'Değişti' WHERE STOKKODU = N'TAM-001'\n"
                 "DELETE FROM STOKHAREKET WHERE STOKKODU = N'KESIR-01'\n"
                 "INSERT INTO HESAPKODU(KODU, ADI) VALUES(N'999', N'Fazla')");
  const CliResult changed = Run({"--verify"});
  EXPECT_EQ(changed.exit_code, 3) << Describe(changed);
  for (const char* part :
       {"\n  STOK, STOKKODU TAM-001, STOKADI: '", "' | 'Değişti'\n",
        "\n  STOKHAREKET, GDEPO 07, STOKKODU KESIR-01, (row): (present) | (none)\n",
        "\n  HESAPKODU, KODU 999, (row): (none) | (present)\n",
        "\nthe proof FAILED: E2018 does not hold what E2017 had\n"}) {
    EXPECT_TRUE(Has(changed.out, part)) << part << "\n" << changed.out;
  }
}

TEST_F(CliTest, AFailingLineIsPrintedWithTheServersMessageAndLeavesNoRows) {
  checks::PlaceShortNameTarget(Server(), sandbox_->DataDir(), 2018);
  const CliResult result = RunKeepingTheSource({});

  EXPECT_EQ(result.exit_code, 1) << Describe(result);
  const std::string line = checks::FirstTooLongNameLine(Trace(), Server(), "E2017");
  const auto at = result.err.find("\n" + line + "\n");
  ASSERT_NE(at, std::string::npos) << result.err;
  EXPECT_NE(result.err.find("truncated", at), std::string::npos) << result.err;
  EXPECT_EQ(result.out, "");
  for (const auto& [table, count] : checks::CountCarriedRows(Server(), "E2018")) {
    EXPECT_EQ(count, 0) << table;
  }
}

// The script waits in the system's temporary folder; one that is not there stops the run
// before anything changes on the server, with the stage and the system's own message.
TEST_F(CliTest, AMissingTemporaryFolderIsNamedWithTheSystemsMessage) {
  const fs::path missing = work_ / "yok";
  const CliResult result = Run({}, DEVIR_CLI_EXE, {{"TMPDIR", missing.string()}});
  EXPECT_EQ(result.exit_code, 1) << Describe(result);
  // The file is made once the script outgrows its buffer, or at its end: in a stage of the
  // script's either way.
  const std::string message = "\nthe script's temporary file in " + missing.string() + ": " +
                              std::generic_category().message(ENOENT) + "\n";
  const auto at = result.err.find(message);
  ASSERT_NE(at, std::string::npos) << result.err;
  const std::string stage = result.err.substr(result.err.rfind('\n', at - 1) + 1);
  EXPECT_TRUE(stage.starts_with("depo+hk+dk\n") || stage.starts_with("stokhareket tablosu\n") ||
              stage.starts_with("stok tablosu\n"))
      << result.err;
  EXPECT_FALSE(checks::DatabaseAttached(Server(), "E2018"));
}

// The checks find it before anything changes; the server's own message at the attach is the
// transfer run's test (transfer_run_sandbox_test).
TEST_F(CliTest, AnAttachedTargetIsFoundByTheChecksBeforeAnythingChanges) {
  ASSERT_EQ(Run({}).exit_code, 0);
  const CliResult result = RunKeepingTheSource({});
  EXPECT_EQ(result.exit_code, 1) << Describe(result);
  EXPECT_NE(result.err.find("\nerror: the target database is already attached: 1"),
            std::string::npos)
      << result.err;
  EXPECT_NE(result.err.find("the checks found errors; nothing was changed"), std::string::npos)
      << result.err;
  EXPECT_EQ(result.err.find("\nşirket\n"), std::string::npos) << result.err;
}

TEST_F(CliTest, AMissingTemplateIsFoundByTheChecksNamingBothPlacesLookedIn) {
  const fs::path cli = CopyOfTheCli({});
  const CliResult result = RunKeepingTheSource({}, cli);
  EXPECT_EQ(result.exit_code, 1) << Describe(result);
  EXPECT_NE(result.err.find("\nerror: template files missing: 1"), std::string::npos) << result.err;
  EXPECT_EQ(result.err.find("\nşirket\n"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("E2018_Data.MDF"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find((cli.parent_path() / "DB").string()), std::string::npos) << result.err;
  EXPECT_NE(result.err.find((work_ / "share" / "devir" / "DB").string()), std::string::npos)
      << result.err;
  EXPECT_FALSE(checks::DatabaseAttached(Server(), "E2018"));
}

TEST_F(CliTest, AnInstalledProgramFindsItsTemplateUnderShare) {
  const fs::path cli = CopyOfTheCli({{"E2018_Data.MDF", Templates() / "E2018_Data.MDF"},
                                     {"E2018_Log.LDF", Templates() / "E2018_Log.LDF"}},
                                    fs::path("..") / "share" / "devir" / "DB");
  ExpectTheSampleCarriedOver(RunKeepingTheSource({"--date", "01.01.2018"}, cli));
}

TEST_F(CliTest, AfterAFailedRunDetachAndASecondTransferSucceed) {
  // A mistyped movement whose carry-over amount overflows: the run fails at that entry.
  checks::RunSql(Server(), "E2017",
                 "INSERT INTO STOKHAREKET(TARIH,GDEPO,STOKKODU,ADET,FIYAT) "
                 "VALUES('30.12.2017','01',N'ASIRI',1E308,1E308)");
  const CliResult failed = RunKeepingTheSource({"--date", "01.01.2018"});
  EXPECT_EQ(failed.exit_code, 1) << Describe(failed);
  EXPECT_TRUE(std::regex_search(failed.err, std::regex("\nINSERT INTO STOKHAREKET\\(.*N'ASIRI'")))
      << failed.err;
  EXPECT_EQ(checks::CountRows(Server(), "E2018", "STOK"), 0);

  checks::RunSql(Server(), "E2017",
                 "UPDATE STOKHAREKET SET ADET = 1, FIYAT = 2 WHERE STOKKODU = N'ASIRI'");
  const CliResult detached = RunKeepingTheSource({"--detach"});
  ASSERT_EQ(detached.exit_code, 0) << Describe(detached);
  EXPECT_FALSE(checks::DatabaseAttached(Server(), "E2018"));
  EXPECT_TRUE(fs::exists(sandbox_->DataDir() / "E2018_Data.MDF"));

  ExpectTheSampleCarriedOver(RunKeepingTheSource({"--date", "01.01.2018"}));
}

TEST_F(CliTest, DetachingWhatIsNotAttachedFailsWithTheServersMessage) {
  const CliResult result = RunKeepingTheSource({"--detach"});
  EXPECT_EQ(result.exit_code, 1) << Describe(result);
  EXPECT_NE(result.err.find("\nveritabanına bağlanılamadı\n[FreeTDS][SQL Server]The database "
                            "'E2018' does not exist"),
            std::string::npos)
      << result.err;
}

TEST_F(CliTest, AnotherTargetYearNamesEverythingAfterIt) {
  const fs::path templates = Templates();
  const fs::path cli = CopyOfTheCli({{"E2019_Data.MDF", templates / "E2018_Data.MDF"},
                                     {"E2019_Log.LDF", templates / "E2018_Log.LDF"}});

  const CliResult result = RunKeepingTheSource(
      {"--target-year", "2019", "--source", "E2017", "--date", "01.01.2019"}, cli);

  ASSERT_EQ(result.exit_code, 0) << Describe(result);
  EXPECT_TRUE(fs::exists(sandbox_->DataDir() / "E2019_Data.MDF"));
  EXPECT_FALSE(fs::exists(sandbox_->DataDir() / "E2018_Data.MDF"));
  EXPECT_TRUE(checks::DatabaseAttached(Server(), "E2019"));
  EXPECT_FALSE(checks::DatabaseAttached(Server(), "E2018"));
  checks::ExpectOneRegistryRow(Server(), 2019);
  checks::ExpectMasterTablesCarried(Server(), "E2017", "E2019");
  checks::ExpectCarryOverMovements(Server(), "E2017", "E2019",
                                   {.year = 2019, .month = 1, .day = 1});

  const CliResult detached = Run({"--detach", "--target-year", "2019", "--source", "E2017"}, cli);
  EXPECT_EQ(detached.exit_code, 0) << Describe(detached);
  EXPECT_FALSE(checks::DatabaseAttached(Server(), "E2019"));
}

TEST_F(CliTest, RowCountsShowSourceAndTargetSideBySide) {
  const fs::path password = work_ / "password";
  std::ofstream(password) << checks::kTestPassword << "\n";
  ASSERT_EQ(Run({}).exit_code, 0);

  // The password from a file this time; the environment's would be wrong.
  const CliResult result = testing::RunProcess(
      DEVIR_CLI_EXE, {"--server", Server(), "--password-file", password.string(), "--row-counts"},
      {{"DEVIR_PASSWORD", "yanlis"}});

  ASSERT_EQ(result.exit_code, 0) << Describe(result);
  EXPECT_TRUE(std::regex_search(result.out, std::regex("^table +E2017 +E2018\n"))) << result.out;
  const auto source = checks::CountCarriedRows(Server(), "E2017");
  const auto target = checks::CountCarriedRows(Server(), "E2018");
  for (const std::string& table : checks::CarriedTables()) {
    const std::regex line("\n" + table + " +" + std::to_string(source.at(table)) + " +" +
                          std::to_string(target.at(table)) + "\n");
    EXPECT_TRUE(std::regex_search(result.out, line)) << table << "\n" << result.out;
  }
}

TEST_F(CliTest, AWrongPasswordFailsAtTheConnection) {
  const CliResult result =
      testing::RunProcess(DEVIR_CLI_EXE, {"--server", Server()}, {{"DEVIR_PASSWORD", "yanlis"}});
  EXPECT_EQ(result.exit_code, 1) << Describe(result);
  EXPECT_NE(result.err.find("\nveritabanına bağlanılamadı\n"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("Login failed for user 'sa'"), std::string::npos) << result.err;
  EXPECT_EQ(result.err.find("yanlis"), std::string::npos) << "the password was printed";
}

TEST(CliUsageTest, BadUsageExitsWithTwoAndHelpWithZero) {
  const CliResult password = testing::RunProcess(DEVIR_CLI_EXE, {"--password", "qolvanet"}, {});
  EXPECT_EQ(password.exit_code, 2) << Describe(password);
  EXPECT_NE(password.err.find("Usage: devir-cli"), std::string::npos);
  EXPECT_EQ(password.err.find("qolvanet"), std::string::npos) << "the password was printed";

  // No file, no variable, and no terminal to ask on.
  const CliResult no_password =
      testing::RunProcess(DEVIR_CLI_EXE, {}, {{"DEVIR_PASSWORD", std::nullopt}});
  EXPECT_EQ(no_password.exit_code, 2) << Describe(no_password);
  EXPECT_NE(no_password.err.find("no password"), std::string::npos) << no_password.err;

  const CliResult help = testing::RunProcess(DEVIR_CLI_EXE, {"--help"}, {});
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_EQ(help.out.rfind("Usage: devir-cli", 0), 0u) << help.out;
}

}  // namespace
}  // namespace devir::cli
