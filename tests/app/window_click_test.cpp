// Clicks on the real window against the stand-in: the source connection, its failure, and
// "DB Sil" with and without an attached target. (The transfer itself: window_transfer_test.)
#include <gtest/gtest.h>

#include <QPushButton>
#include <filesystem>
#include <memory>

#include "app/fdevir.h"
#include "app/labeled_edit.h"
#include "db/connection.h"
#include "db/connection_string.h"
#include "db/query.h"
#include "db/statement_runner.h"
#include "tests/app/scoped_home.h"
#include "tests/app/scripted_dialogs.h"
#include "tests/support/sandbox_process.h"

namespace devir::app {
namespace {

using devir::testing::SandboxProcess;
using testing::FixedClock;
using testing::ScopedHome;
using testing::ScriptedDialogs;

const QString kConnectStage = "veritabanına bağlanılamadı";

class WindowClickTest : public ::testing::Test {
 protected:
  void StartSandbox(SandboxProcess::Options options = {}) {
    sandbox_ = std::make_unique<SandboxProcess>(std::move(options));
    dialogs_.answers = {sandbox_->DataSource()};
    // A click on Button1 carries the year over: into the stand-in's own data folder.
    window_.LabeledEdit3->setText(QString::fromStdString(sandbox_->DataDir().string() + "/"));
    window_.show();
  }

  int CountDatabases(const std::string& name) {
    db::Connection connection;
    connection.SetConnectionString(
        db::RunnerConnectionString({sandbox_->DataSource(), "sa", "qolvanet"}, "master"));
    connection.Connect();
    db::Query query(connection);
    query.SetSql("SELECT COUNT(*) FROM sys.databases WHERE name = '" + name + "'");
    query.Open();
    return static_cast<int>(query.FieldAt(0).AsFloat());
  }

  ScopedHome home_;
  std::unique_ptr<SandboxProcess> sandbox_;
  ScriptedDialogs dialogs_;
  FixedClock clock_{QDate(2018, 6, 15)};
  TFdevir window_{dialogs_, clock_};
};

TEST_F(WindowClickTest, TransferButtonConnectsToTheSourceNamedInTheField) {
  StartSandbox();
  // A database without the year's tables: connecting succeeds, reading STOK does not.
  window_.LabeledEdit1->setText("sirketambar");
  window_.Button1->click();

  EXPECT_EQ(dialogs_.prompts.size(), 1u);
  ASSERT_EQ(dialogs_.messages.size(), 2) << dialogs_.messages.join(" | ").toStdString();
  EXPECT_TRUE(dialogs_.messages[0].startsWith("stok tablosu\r\n"))
      << dialogs_.messages[0].toStdString();
  EXPECT_TRUE(dialogs_.messages[0].contains("STOK")) << dialogs_.messages[0].toStdString();
  EXPECT_EQ(dialogs_.messages[1], "Bitti");
  EXPECT_FALSE(window_.isVisible());
  EXPECT_FALSE(window_.Button1->isEnabled());
  EXPECT_FALSE(window_.Button2->isEnabled());
  EXPECT_EQ(window_.ServerAddress(), sandbox_->DataSource());
  ASSERT_TRUE(window_.C.Connected());
  const db::ConnectionSettings settings =
      db::ParseAdoConnectionString(window_.C.ConnectionString());
  EXPECT_EQ(settings.provider, "SQLOLEDB.1");
  EXPECT_EQ(settings.initial_catalog, "sirketambar");
  EXPECT_EQ(settings.data_source, sandbox_->DataSource());
}

TEST_F(WindowClickTest, FieldsAreReadWhenThePromptIsAnswered) {
  StartSandbox();
  window_.lveriyolu->setText("yanlis");
  // The user corrects the password while the prompt is open.
  dialogs_.while_prompting = [this] { window_.lveriyolu->setText("qolvanet"); };
  window_.Button1->click();
  EXPECT_EQ(dialogs_.messages, QStringList{"Bitti"});
}

TEST_F(WindowClickTest, WrongPasswordShowsTheStageAndTheDriversTextThenBitti) {
  StartSandbox();
  window_.lveriyolu->setText("yanlis");
  window_.Button1->click();

  EXPECT_EQ(dialogs_.prompts.size(), 1u) << "one attempt only";
  ASSERT_EQ(dialogs_.messages.size(), 2);
  EXPECT_TRUE(dialogs_.messages[0].startsWith(kConnectStage + "\r\n"))
      << dialogs_.messages[0].toStdString();
  EXPECT_TRUE(dialogs_.messages[0].contains("Login failed for user 'sa'"))
      << dialogs_.messages[0].toStdString();
  EXPECT_EQ(dialogs_.messages[1], "Bitti");
  EXPECT_FALSE(window_.isVisible());
  EXPECT_FALSE(window_.C.Connected());
}

TEST_F(WindowClickTest, PasswordWithSemicolonCarriesTheYearOver) {
  SandboxProcess::Options options;
  options.logins = {"sa:qo;lva"};
  StartSandbox(std::move(options));
  window_.lveriyolu->setText("qo;lva");
  window_.Button1->click();
  // Every connection of the run (source, registry, attach, script) logged in with it.
  EXPECT_EQ(dialogs_.messages, QStringList{"Bitti"});
  EXPECT_EQ(window_.Stage(), "doğrulama");
  EXPECT_FALSE(window_.C.Connected());
}

TEST_F(WindowClickTest, DbSilDetachesTheAttachedTargetAndEnablesOnlyButton1) {
  StartSandbox();
  // The template files, attached as E2018 as a transfer would have left them.
  const std::filesystem::path folder = sandbox_->DataDir() / "hedef";
  ASSERT_EQ(SandboxProcess::RunTool({"template", "--out", folder.string()}), 0);
  const std::filesystem::path data = folder / "E2018_Data.MDF";
  const std::filesystem::path log = folder / "E2018_Log.LDF";
  {
    db::Connection connection;
    db::RunOnDatabase(connection, {sandbox_->DataSource(), "sa", "qolvanet"}, "master",
                      "sp_attach_db 'E2018','" + data.string() + "', '" + log.string() + "'");
  }
  ASSERT_EQ(CountDatabases("E2018"), 1);

  window_.Button2->click();

  EXPECT_TRUE(dialogs_.messages.isEmpty()) << dialogs_.messages.join(" | ").toStdString();
  EXPECT_EQ(dialogs_.prompts.size(), 1u);
  EXPECT_TRUE(window_.isVisible());
  EXPECT_TRUE(window_.Button1->isEnabled());
  EXPECT_FALSE(window_.Button2->isEnabled());
  EXPECT_FALSE(window_.C.Connected());
  EXPECT_EQ(CountDatabases("E2018"), 0);
  EXPECT_TRUE(std::filesystem::exists(data));
  EXPECT_TRUE(std::filesystem::exists(log));
}

TEST_F(WindowClickTest, DbSilWithNothingAttachedShowsTheServersMessageThenBitti) {
  StartSandbox();
  ASSERT_EQ(CountDatabases("E2018"), 0);

  window_.Button2->click();

  ASSERT_EQ(dialogs_.messages.size(), 2) << dialogs_.messages.join(" | ").toStdString();
  EXPECT_TRUE(dialogs_.messages[0].startsWith(kConnectStage + "\r\n"))
      << dialogs_.messages[0].toStdString();
  EXPECT_TRUE(dialogs_.messages[0].contains("The database 'E2018' does not exist"))
      << dialogs_.messages[0].toStdString();
  EXPECT_EQ(dialogs_.messages[1], "Bitti");
  EXPECT_FALSE(window_.isVisible());
  EXPECT_FALSE(window_.Button1->isEnabled());
  EXPECT_FALSE(window_.Button2->isEnabled());
}

}  // namespace
}  // namespace devir::app
