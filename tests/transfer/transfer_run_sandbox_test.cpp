// The transfer run in process against the stand-in: the sample carried over whole, the
// stages in order, a dry run that changes nothing, and each failure placed where it belongs.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "check/target_empty.h"
#include "db/connection.h"
#include "db/database_error.h"
#include "db/query.h"
#include "db/script_runner.h"
#include "db/server_connection.h"
#include "target/target_year.h"
#include "tests/script/scoped_environment.h"
#include "tests/support/sandbox_process.h"
#include "tests/support/temp_folder.h"
#include "tests/support/transfer_checks.h"
#include "transfer/transfer_run.h"

namespace devir::transfer {
namespace {

namespace fs = std::filesystem;
using devir::testing::SandboxProcess;
namespace checks = devir::testing;

const db::DateTime kOpeningDate{.year = 2018, .month = 1, .day = 1};

class TransferRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sandbox_ = std::make_unique<SandboxProcess>();
    ASSERT_EQ(SandboxProcess::RunTool({"template", "--out", (work_ / "DB").string()}), 0);
    fs::create_directory(spool_);
  }

  std::string Server() const { return sandbox_->DataSource(); }

  TransferSettings Settings() const {
    TransferSettings settings;
    settings.login = {Server(), checks::kTestUser, checks::kTestPassword};
    // Typed without its final separator.
    settings.data_folder = sandbox_->DataDir().string();
    settings.opening_date = kOpeningDate;
    settings.trace_path = work_ / "X.TXT";
    settings.template_folders = {work_ / "DB"};
    return settings;
  }

  // Connects C to the source as the click frame does, then runs the transfer. The script
  // waits in the system's temporary folder, which TMPDIR makes the test's own.
  TransferSummary Run(const TransferSettings& settings) {
    const script::testing::ScopedEnvironment tmpdir("TMPDIR", spool_.string());
    db::Connection connection;
    db::Query query(connection);
    db::ConnectSource(connection, settings.login, "E2017");
    TransferCallbacks callbacks;
    callbacks.set_stage = [this](const std::string& stage) { stages_.push_back(stage); };
    callbacks.data_folder_changed = [this](const std::string& folder) { folder_ = folder; };
    callbacks.progress = [this](std::size_t run, std::size_t total) {
      progress_.emplace_back(run, total);
      spool_files_.push_back(SpoolFiles());
    };
    return TransferRun(connection, query, settings, callbacks);
  }

  // The script's temporary files in the spool folder, each with the number of its lines.
  std::vector<std::size_t> SpoolFiles() const {
    std::vector<std::size_t> lines;
    for (const auto& entry : fs::directory_iterator(spool_)) {
      std::ifstream in(entry.path(), std::ios::binary);
      lines.push_back(static_cast<std::size_t>(
          std::count(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>(), '\n')));
    }
    return lines;
  }

  std::unique_ptr<SandboxProcess> sandbox_;
  devir::testing::TempFolder work_folder_{"devir-run-"};
  const fs::path& work_ = work_folder_.Path();
  const fs::path spool_ = work_ / "spool";
  std::vector<std::vector<std::size_t>> spool_files_;
  std::vector<std::string> stages_;
  std::string folder_;
  std::vector<std::pair<std::size_t, std::size_t>> progress_;
};

TEST_F(TransferRunTest, CarriesTheSampleOverWhole) {
  const TransferSummary summary = Run(Settings());

  EXPECT_EQ(stages_, (std::vector<std::string>{"stok tablosu", "stokhareket tablosu", "depo+hk+dk",
                                               "şirket", "attach", "x.txt"}));
  EXPECT_EQ(folder_, sandbox_->DataDir().string() + "/");
  EXPECT_EQ(summary.data_folder, folder_);
  EXPECT_TRUE(fs::exists(sandbox_->DataDir() / "E2018_Data.MDF"));
  EXPECT_TRUE(fs::exists(sandbox_->DataDir() / "E2018_Log.LDF"));
  checks::ExpectMasterTablesCarried(Server(), "E2017", "E2018");
  checks::ExpectCarryOverMovements(Server(), "E2017", "E2018", kOpeningDate);
  checks::ExpectOneRegistryRow(Server(), 2018);
  const std::size_t traced = checks::ExpectTraceMatchesTarget(work_ / "X.TXT", Server(), "E2018");

  EXPECT_EQ(summary.statements_run, traced);
  EXPECT_EQ(summary.script.lines, traced);
  ASSERT_FALSE(progress_.empty());
  EXPECT_EQ(progress_.back(), std::make_pair(traced, traced));
  // The run read the script from one file in the spool folder, which is gone afterwards. It
  // holds the trace's lines, each ended by LF where the trace has CR LF.
  std::ifstream trace(work_ / "X.TXT", std::ios::binary);
  const std::string trace_text{std::istreambuf_iterator<char>(trace),
                               std::istreambuf_iterator<char>()};
  std::size_t trace_lines = 0;
  for (std::size_t at = trace_text.find("\r\n"); at != std::string::npos;
       at = trace_text.find("\r\n", at + 2)) {
    ++trace_lines;
  }
  for (const auto& files : spool_files_) EXPECT_EQ(files, std::vector<std::size_t>{trace_lines});
  EXPECT_TRUE(SpoolFiles().empty());
  const auto counts = checks::CountCarriedRows(Server(), "E2017");
  std::vector<std::pair<std::string, std::size_t>> read;
  for (const script::ScriptStep& step : summary.script.steps) {
    if (!step.source.empty()) read.emplace_back(step.source, step.rows_read);
  }
  ASSERT_EQ(read.size(), 8u);
  EXPECT_EQ(read[0], std::make_pair(std::string("STOK"), std::size_t(counts.at("STOK"))));
  EXPECT_EQ(read[1].first, "STOKHAREKET balances");
  EXPECT_EQ(read[1].second, summary.script.opening_entries);
  EXPECT_EQ(summary.script.opening_entries,
            std::size_t(checks::CountRows(Server(), "E2018", "STOKHAREKET")));
  EXPECT_EQ(read[2], std::make_pair(std::string("HESAPKODU"), std::size_t(counts.at("HESAPKODU"))));
  EXPECT_EQ(read[7],
            std::make_pair(std::string("DUZEYKODU5"), std::size_t(counts.at("DUZEYKODU5"))));
}

TEST_F(TransferRunTest, DryRunWritesTheTraceAndChangesNothingOnTheServer) {
  const long long registry = checks::CountRows(Server(), "sirketambar", "sirketler");
  TransferSettings settings = Settings();
  settings.dry_run = true;

  const TransferSummary summary = Run(settings);

  EXPECT_EQ(stages_,
            (std::vector<std::string>{"stok tablosu", "stokhareket tablosu", "depo+hk+dk"}));
  EXPECT_EQ(summary.statements_run, 0u);
  EXPECT_GT(summary.script.lines, 1u);
  EXPECT_TRUE(fs::exists(work_ / "X.TXT"));
  EXPECT_FALSE(checks::DatabaseAttached(Server(), "E2018"));
  EXPECT_EQ(checks::CountRows(Server(), "sirketambar", "sirketler"), registry);
  EXPECT_FALSE(fs::exists(sandbox_->DataDir() / "E2018_Data.MDF"));
  EXPECT_TRUE(progress_.empty());
  EXPECT_TRUE(SpoolFiles().empty());
}

// The template is looked for before anything changes on the server.
TEST_F(TransferRunTest, AMissingTemplateFailsAtRegistryNamingWhereItLooked) {
  const long long registry = checks::CountRows(Server(), "sirketambar", "sirketler");
  TransferSettings settings = Settings();
  settings.template_folders = {work_ / "yok", work_ / "bos"};
  try {
    Run(settings);
    FAIL() << "ran without a template";
  } catch (const std::runtime_error& error) {
    const std::string message = error.what();
    EXPECT_NE(message.find((work_ / "yok").string()), std::string::npos) << message;
    EXPECT_NE(message.find((work_ / "bos").string()), std::string::npos) << message;
  }
  EXPECT_EQ(stages_.back(), "şirket");
  EXPECT_TRUE(SpoolFiles().empty());
  EXPECT_FALSE(checks::DatabaseAttached(Server(), "E2018"));
  EXPECT_EQ(checks::CountRows(Server(), "sirketambar", "sirketler"), registry);
}

TEST_F(TransferRunTest, AnAttachedTargetFailsAtAttachWithTheServersMessage) {
  Run(Settings());
  const auto rows = checks::CountCarriedRows(Server(), "E2018");
  stages_.clear();
  try {
    Run(Settings());
    FAIL() << "attached twice";
  } catch (const db::ScriptLineError& error) {
    FAIL() << "failed at a line: " << error.Line();
  } catch (const db::DatabaseError& error) {
    EXPECT_NE(std::string(error.what()).find("Database 'E2018' already exists"), std::string::npos)
        << error.what();
  }
  EXPECT_EQ(stages_.back(), "attach");
  EXPECT_EQ(checks::CountCarriedRows(Server(), "E2018"), rows);
}

TEST_F(TransferRunTest, AFailingLineIsNamedAndLeavesTheTargetWithoutRows) {
  checks::PlaceShortNameTarget(Server(), sandbox_->DataDir(), 2018);
  try {
    Run(Settings());
    FAIL() << "a name of 100 characters fitted into 99";
  } catch (const db::ScriptLineError& error) {
    EXPECT_EQ(error.Line(), checks::FirstTooLongNameLine(work_ / "X.TXT", Server(), "E2017"));
    EXPECT_NE(std::string(error.what()).find("truncated"), std::string::npos) << error.what();
  }
  EXPECT_EQ(stages_.back(), "x.txt");
  EXPECT_TRUE(SpoolFiles().empty());
  ASSERT_TRUE(checks::DatabaseAttached(Server(), "E2018"));
  for (const auto& [table, count] : checks::CountCarriedRows(Server(), "E2018")) {
    EXPECT_EQ(count, 0) << table;
  }
}

// After "DB Sil" the filled files stay and are attached again; the run stops before its first
// line, at "x.txt", and writes nothing.
TEST_F(TransferRunTest, ARetryOntoTheFilesOfAnEarlierTransferStopsBeforeTheFirstLine) {
  Run(Settings());
  const auto rows = checks::CountCarriedRows(Server(), "E2018");
  checks::RunSql(Server(), "master", "sp_detach_db 'E2018'");
  stages_.clear();
  progress_.clear();
  EXPECT_THROW(Run(Settings()), check::TargetNotEmpty);
  EXPECT_EQ(stages_.back(), "x.txt");
  EXPECT_TRUE(progress_.empty()) << "a line ran";
  EXPECT_EQ(checks::CountCarriedRows(Server(), "E2018"), rows);
}

TEST_F(TransferRunTest, TheProofFollowsTheScriptUnderItsOwnStage) {
  TransferSettings settings = Settings();
  settings.source_database = "E2017";
  settings.check_errors_first = true;
  settings.prove = true;
  const TransferSummary summary = Run(settings);
  EXPECT_EQ(stages_, (std::vector<std::string>{"stok tablosu", "stokhareket tablosu", "depo+hk+dk",
                                               "şirket", "attach", "x.txt", "doğrulama"}));
  ASSERT_TRUE(summary.proof);
  EXPECT_TRUE(summary.proof->Passed());
  EXPECT_EQ(summary.proof->lines.size(), 10u);
}

// A server or driver that reports the rowversion column STOK.SURUM as plain binary: the
// catalogue still names it, so the statements leave it out and the server fills it.
TEST_F(TransferRunTest, ARowVersionReportedAsBinaryIsLeftOutByTheCatalogue) {
  sandbox_.reset();
  SandboxProcess::Options options;
  options.serve_options = {"--rowversion-as", "binary"};
  sandbox_ = std::make_unique<SandboxProcess>(options);
  {
    db::Connection connection;
    db::Query query(connection);
    db::ConnectSource(connection, Settings().login, "E2017");
    query.SetSql("SELECT SURUM FROM STOK");
    query.Open();
    ASSERT_EQ(query.FieldAt(0).Type().type_name, "binary");
  }

  Run(Settings());

  checks::ExpectMasterTablesCarried(Server(), "E2017", "E2018");
  EXPECT_EQ(checks::CountRows(Server(), "E2018", "STOK"),
            checks::CountRows(Server(), "E2017", "STOK"));
}

}  // namespace
}  // namespace devir::transfer
