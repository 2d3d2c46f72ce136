// Cancelling the real prompt connects to ".\SQLExpress": the stand-in answers the instance
// lookup on UDP 1434 for SQLEXPRESS, as SQL Server Browser would, for every connection of
// the transfer that follows.
#include <gtest/gtest.h>

#include <QInputDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "app/fdevir.h"
#include "app/labeled_edit.h"
#include "app/qt_seams.h"
#include "db/connection_string.h"
#include "tests/app/modal_driver.h"
#include "tests/app/scoped_home.h"
#include "tests/app/scripted_dialogs.h"
#include "tests/support/sandbox_process.h"

namespace devir::app {
namespace {

using devir::testing::SandboxProcess;

// The real prompt; messages and the process end are recorded instead.
class RealPromptDialogs : public QtDialogs {
 public:
  [[noreturn]] void EndProcess() override { throw testing::ProcessEnded{}; }
  void ShowMessage(const QString& text) override { messages.append(text); }
  QStringList messages;
};

TEST(WindowDefaultAddressTest, CancelConnectsToTheLocalSqlExpressInstance) {
  SandboxProcess::Options options;
  options.browser_port = 1434;
  options.instance = "SQLEXPRESS";
  SandboxProcess sandbox(std::move(options));
  testing::ScopedHome home;

  RealPromptDialogs dialogs;
  testing::FixedClock clock(QDate(2018, 6, 15));
  TFdevir window(dialogs, clock);
  window.LabeledEdit3->setText(QString::fromStdString(sandbox.DataDir().string() + "/"));
  window.show();
  testing::ModalDriver<QInputDialog> driver([](QInputDialog* dialog) {
    QTest::keyClick(dialog->findChild<QLineEdit*>(), Qt::Key_Escape);
  });

  window.Button1->click();

  EXPECT_TRUE(driver.Seen());
  EXPECT_EQ(dialogs.messages, QStringList{"Bitti"});
  EXPECT_EQ(window.ServerAddress(), ".\\SQLExpress");
  EXPECT_EQ(window.Stage(), "doğrulama");
  EXPECT_EQ(db::ParseAdoConnectionString(window.C.ConnectionString()).data_source, ".\\SQLExpress");
}

}  // namespace
}  // namespace devir::app
