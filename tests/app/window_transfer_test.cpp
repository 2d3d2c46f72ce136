// The transfer button of the real window (offscreen) against the stand-in, as a user runs it:
// the sample carried over, a failing line that keeps the window open, an attached target, and
// a second transfer after "DB Sil". The source files stay byte for byte as they were.
#include <gtest/gtest.h>

#include <QEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "app/fdevir.h"
#include "app/labeled_edit.h"
#include "tests/app/scoped_home.h"
#include "tests/app/scripted_dialogs.h"
#include "tests/support/sandbox_process.h"
#include "tests/support/stock_balance_lines.h"
#include "tests/support/transfer_checks.h"

namespace devir::app {
namespace {

namespace fs = std::filesystem;
namespace checks = devir::testing;
using devir::testing::SandboxProcess;
using testing::FixedClock;
using testing::ScopedHome;
using testing::ScriptedDialogs;

const db::DateTime kOpeningDate{.year = 2018, .month = 1, .day = 1};

// Records what the stage label showed each time it was painted during a click, and whether
// either button was enabled then.
class PaintRecorder : public QObject {
 public:
  explicit PaintRecorder(TFdevir& window) : window_(window) {
    window_.Label1->installEventFilter(this);
  }
  ~PaintRecorder() override { window_.Label1->removeEventFilter(this); }

  QStringList stages;
  int paints_with_a_button_enabled = 0;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      if (stages.isEmpty() || stages.back() != window_.Label1->text()) {
        stages.append(window_.Label1->text());
      }
      if (window_.Button1->isEnabled() || window_.Button2->isEnabled()) {
        ++paints_with_a_button_enabled;
      }
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  TFdevir& window_;
};

class WindowTransferTest : public ::testing::Test {
 protected:
  void SetUp() override { sandbox_ = std::make_unique<SandboxProcess>(); }

  std::string Server() const { return sandbox_->DataSource(); }

  // A window as the program opens it (the clock reads 15 June 2018), pointed at the
  // stand-in's data folder typed without its final separator.
  std::unique_ptr<TFdevir> OpenWindow() {
    auto window = std::make_unique<TFdevir>(dialogs_, clock_);
    window->LabeledEdit3->setText(QString::fromStdString(sandbox_->DataDir().string()));
    window->show();
    return window;
  }

  // Clicks a button of window and checks that the source's files came through unchanged:
  // compared while the stand-in is stopped, so that nothing waits in its write-ahead log.
  void ClickLeavingTheSourceUnchanged(TFdevir& window, QPushButton* TFdevir::*button) {
    sandbox_->Stop();
    const checks::FilesSnapshot before =
        checks::SnapshotDatabaseFiles(sandbox_->DataDir(), "E2017");
    ASSERT_FALSE(before.files.empty());
    sandbox_->Start();
    dialogs_.answers = {Server()};
    (window.*button)->click();
    sandbox_->Stop();
    EXPECT_EQ(checks::SnapshotDatabaseFiles(sandbox_->DataDir(), "E2017"), before);
    sandbox_->Start();
  }

  ScopedHome home_;
  std::unique_ptr<SandboxProcess> sandbox_;
  ScriptedDialogs dialogs_;
  FixedClock clock_{QDate(2018, 6, 15)};
};

TEST_F(WindowTransferTest, CarriesTheSampleOverThenSaysBittiAndCloses) {
  auto window = OpenWindow();
  PaintRecorder painted(*window);
  ClickLeavingTheSourceUnchanged(*window, &TFdevir::Button1);

  // Each stage was on the screen while the run went on, and no button was usable meanwhile.
  EXPECT_EQ(painted.stages,
            (QStringList{"veritabanına bağlanılamadı", "stok tablosu", "stokhareket tablosu",
                         "depo+hk+dk", "şirket", "attach", "x.txt", "doğrulama"}));
  EXPECT_EQ(painted.paints_with_a_button_enabled, 0);

  EXPECT_EQ(dialogs_.messages, QStringList{"Bitti"});
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(window->LabeledEdit3->text().toStdString(), sandbox_->DataDir().string() + "/");
  // The proof held: it showed its stage and said nothing.
  EXPECT_EQ(window->Stage(), "doğrulama");
  EXPECT_EQ(window->Label1->text(), "doğrulama");
  EXPECT_EQ(window->ProgressBar1->value(), window->ProgressBar1->maximum());
  EXPECT_TRUE(fs::exists(sandbox_->DataDir() / "E2018_Data.MDF"));
  EXPECT_TRUE(fs::exists(sandbox_->DataDir() / "E2018_Log.LDF"));
  checks::ExpectMasterTablesCarried(Server(), "E2017", "E2018");
  checks::ExpectCarryOverMovements(Server(), "E2017", "E2018", kOpeningDate);
  checks::ExpectOneRegistryRow(Server(), 2018);
  const std::size_t lines = checks::ExpectTraceMatchesTarget(home_.TraceFile(), Server(), "E2018");
  EXPECT_EQ(window->ProgressBar1->text().toStdString(),
            std::to_string(lines) + " / " + std::to_string(lines));
}

// The balance query as it was first printed gives each item of a depot the whole depot's
// balance: the proof recomputes the balances and shows what differs before "Bitti".
TEST_F(WindowTransferTest, AFailingProofIsShownUnderItsStageBeforeBitti) {
  auto window = OpenWindow();
  window->ADOQuery1.SetSql(checks::PrintedBalanceQuerySql());
  ClickLeavingTheSourceUnchanged(*window, &TFdevir::Button1);

  ASSERT_EQ(dialogs_.messages.size(), 2) << dialogs_.messages.join(" | ").toStdString();
  const std::string shown = dialogs_.messages[0].toStdString();
  EXPECT_TRUE(dialogs_.messages[0].startsWith(
      "doğrulama\r\nThe proof that E2018 holds what E2017 had failed:\n"
      "opening entries (STOKHAREKET): "))
      << shown;
  EXPECT_TRUE(dialogs_.messages[0].contains(QRegularExpression(
      "\nSTOKHAREKET GDEPO 0\\d, STOKKODU [^,]+, ADET: -?[0-9.]+ in E2017, -?[0-9.]+ in E2018")))
      << shown;
  EXPECT_FALSE(dialogs_.messages[0].contains("\nSTOK:")) << "the copied tables were equal";
  EXPECT_EQ(dialogs_.messages[1], "Bitti");
  EXPECT_FALSE(window->isVisible());
}

TEST_F(WindowTransferTest, AFailingLineIsShownAndTheWindowStaysWithBothButtonsDisabled) {
  checks::PlaceShortNameTarget(Server(), sandbox_->DataDir(), 2018);
  auto window = OpenWindow();
  ClickLeavingTheSourceUnchanged(*window, &TFdevir::Button1);

  ASSERT_EQ(dialogs_.messages.size(), 1) << dialogs_.messages.join(" | ").toStdString();
  const std::string line = checks::FirstTooLongNameLine(home_.TraceFile(), Server(), "E2017");
  const QString expected_head = QString::fromStdString(line) + "\r\n";
  EXPECT_TRUE(dialogs_.messages[0].startsWith(expected_head)) << dialogs_.messages[0].toStdString();
  EXPECT_TRUE(dialogs_.messages[0].contains("truncated")) << dialogs_.messages[0].toStdString();
  EXPECT_TRUE(window->isVisible());
  EXPECT_FALSE(window->Button1->isEnabled());
  EXPECT_FALSE(window->Button2->isEnabled());
  ASSERT_TRUE(checks::DatabaseAttached(Server(), "E2018"));
  for (const auto& [table, count] : checks::CountCarriedRows(Server(), "E2018")) {
    EXPECT_EQ(count, 0) << table;
  }
}

// The checks before "şirket" find it before anything changes; the server's own message at the
// attach is the transfer run's test (transfer_run_sandbox_test).
TEST_F(WindowTransferTest, AnAttachedTargetIsFoundByTheChecksThenBitti) {
  auto first = OpenWindow();
  dialogs_.answers = {Server()};
  first->Button1->click();
  ASSERT_EQ(dialogs_.messages, QStringList{"Bitti"});
  dialogs_.messages.clear();

  auto window = OpenWindow();
  ClickLeavingTheSourceUnchanged(*window, &TFdevir::Button1);

  ASSERT_EQ(dialogs_.messages.size(), 2) << dialogs_.messages.join(" | ").toStdString();
  EXPECT_TRUE(dialogs_.messages[0].startsWith("şirket\r\n")) << dialogs_.messages[0].toStdString();
  EXPECT_TRUE(dialogs_.messages[0].contains("the target database is already attached: 1"))
      << dialogs_.messages[0].toStdString();
  EXPECT_TRUE(dialogs_.messages[0].contains("\n  E2018")) << dialogs_.messages[0].toStdString();
  EXPECT_EQ(dialogs_.messages[1], "Bitti");
  EXPECT_FALSE(window->isVisible());
}

TEST_F(WindowTransferTest, AfterAFailedRunDbSilAndASecondTransferSucceed) {
  // A mistyped movement: its carry-over amount overflows to infinity, which no statement can
  // carry, so the run fails at that carry-over movement.
  checks::RunSql(Server(), "E2017",
                 "INSERT INTO STOKHAREKET(TARIH,GDEPO,STOKKODU,ADET,FIYAT) "
                 "VALUES('30.12.2017','01',N'ASIRI',1E308,1E308)");
  auto failed = OpenWindow();
  ClickLeavingTheSourceUnchanged(*failed, &TFdevir::Button1);
  ASSERT_EQ(dialogs_.messages.size(), 1) << dialogs_.messages.join(" | ").toStdString();
  EXPECT_TRUE(dialogs_.messages[0].startsWith("INSERT INTO STOKHAREKET("))
      << dialogs_.messages[0].toStdString();
  EXPECT_TRUE(dialogs_.messages[0].contains("N'ASIRI'")) << dialogs_.messages[0].toStdString();
  EXPECT_TRUE(failed->isVisible());
  EXPECT_EQ(checks::CountRows(Server(), "E2018", "STOK"), 0);
  failed.reset();  // the user ends the program
  dialogs_.messages.clear();

  // The user mends the movement; the files of the failed run stay in the data folder.
  sandbox_->Stop();
  const checks::FilesSnapshot unmended =
      checks::SnapshotDatabaseFiles(sandbox_->DataDir(), "E2017");
  sandbox_->Start();
  checks::RunSql(Server(), "E2017",
                 "UPDATE STOKHAREKET SET ADET = 1, FIYAT = 2 WHERE STOKKODU = N'ASIRI'");
  sandbox_->Stop();
  // The snapshot sees a change of the source: the check around each run means something.
  EXPECT_NE(checks::SnapshotDatabaseFiles(sandbox_->DataDir(), "E2017"), unmended);
  sandbox_->Start();

  auto window = OpenWindow();
  ClickLeavingTheSourceUnchanged(*window, &TFdevir::Button2);
  EXPECT_TRUE(dialogs_.messages.isEmpty()) << dialogs_.messages.join(" | ").toStdString();
  ASSERT_TRUE(window->Button1->isEnabled());
  EXPECT_FALSE(checks::DatabaseAttached(Server(), "E2018"));
  EXPECT_TRUE(fs::exists(sandbox_->DataDir() / "E2018_Data.MDF"));

  ClickLeavingTheSourceUnchanged(*window, &TFdevir::Button1);
  EXPECT_EQ(dialogs_.messages, QStringList{"Bitti"});
  EXPECT_FALSE(window->isVisible());
  checks::ExpectMasterTablesCarried(Server(), "E2017", "E2018");
  checks::ExpectCarryOverMovements(Server(), "E2017", "E2018", kOpeningDate);
  checks::ExpectOneRegistryRow(Server(), 2018);
  checks::ExpectTraceMatchesTarget(home_.TraceFile(), Server(), "E2018");
}

}  // namespace
}  // namespace devir::app
