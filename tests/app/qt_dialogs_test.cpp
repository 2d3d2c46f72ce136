// The real prompt and message box, driven headless: what they show and what they answer.
#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include "app/qt_seams.h"
#include "app/server_prompt.h"
#include "tests/app/modal_driver.h"
#include "transfer/defaults.h"

namespace devir::app {
namespace {

using testing::ModalDriver;

std::string AskServer(QtDialogs& dialogs) {
  return dialogs.InputBox(kServerPromptCaption, kServerPromptText, transfer::kDefaultServerAddress,
                          kServerAddressMaxLength);
}

QPushButton* DialogButton(QInputDialog* dialog, QDialogButtonBox::StandardButton which) {
  auto* box = dialog->findChild<QDialogButtonBox*>();
  return box ? box->button(which) : nullptr;
}

TEST(QtDialogsPromptTest, ShowsSoruWithTheDefaultSelected) {
  QtDialogs dialogs;
  ModalDriver<QInputDialog> driver([](QInputDialog* dialog) {
    EXPECT_EQ(dialog->windowTitle(), "Soru");
    EXPECT_EQ(dialog->labelText(), "Ana bilgisayar adresini girin -- İptal etmek için boş bırakın");
    auto* edit = dialog->findChild<QLineEdit*>();
    EXPECT_NE(edit, nullptr);
    if (edit) {
      EXPECT_EQ(edit->text(), ".\\SQLExpress");
      EXPECT_EQ(edit->selectedText(), ".\\SQLExpress");
      EXPECT_EQ(edit->maxLength(), 255);
    }
    EXPECT_NE(DialogButton(dialog, QDialogButtonBox::Ok), nullptr);
    EXPECT_NE(DialogButton(dialog, QDialogButtonBox::Cancel), nullptr);
    dialog->reject();
  });
  AskServer(dialogs);
  EXPECT_TRUE(driver.Seen());
}

TEST(QtDialogsPromptTest, EveryWayOfDismissingAnswersTheDefault) {
  struct Case {
    const char* how;
    std::function<void(QInputDialog*)> dismiss;
  };
  const Case cases[] = {
      {"Escape",
       [](QInputDialog* d) { QTest::keyClick(d->findChild<QLineEdit*>(), Qt::Key_Escape); }},
      {"Cancel", [](QInputDialog* d) { DialogButton(d, QDialogButtonBox::Cancel)->click(); }},
      {"close box", [](QInputDialog* d) { d->close(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    QtDialogs dialogs;
    ModalDriver<QInputDialog> driver([&](QInputDialog* dialog) {
      // Whatever was typed is dropped.
      QTest::keyClicks(dialog->findChild<QLineEdit*>(), "sunucu");
      c.dismiss(dialog);
    });
    EXPECT_EQ(AskServer(dialogs), ".\\SQLExpress");
  }
}

TEST(QtDialogsPromptTest, OkAnswersTheTextAsTyped) {
  struct Case {
    const char* typed;
    std::string expected;
  };
  const Case cases[] = {
      {"127.0.0.1,1433", "127.0.0.1,1433"},
      {"sunucu\\İŞLETME", "sunucu\\İŞLETME"},
      {"", ""},  // the empty answer that ends the process
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    QtDialogs dialogs;
    ModalDriver<QInputDialog> driver([&](QInputDialog* dialog) {
      auto* edit = dialog->findChild<QLineEdit*>();
      // The default is selected, so what is typed replaces it (QTest types ASCII only).
      if (*c.typed) {
        edit->insert(QString::fromUtf8(c.typed));
      } else {
        QTest::keyClick(edit, Qt::Key_Backspace);
      }
      QTest::keyClick(edit, Qt::Key_Return);
    });
    EXPECT_EQ(AskServer(dialogs), c.expected);
  }
}

TEST(QtDialogsPromptTest, AnswerStopsAtTheMaximumLength) {
  QtDialogs dialogs;
  ModalDriver<QInputDialog> driver([](QInputDialog* dialog) {
    auto* edit = dialog->findChild<QLineEdit*>();
    QTest::keyClicks(edit, QString(300, 'a'));
    QTest::keyClick(edit, Qt::Key_Return);
  });
  EXPECT_EQ(AskServer(dialogs), std::string(255, 'a'));
}

TEST(QtDialogsMessageTest, ShowsTheTextUntilClosed) {
  QtDialogs dialogs;
  const QString text = "veritabanına bağlanılamadı\r\n[FreeTDS][SQL Server]Login failed";
  ModalDriver<QMessageBox> driver([&](QMessageBox* box) {
    EXPECT_EQ(box->text(), text);
    EXPECT_EQ(box->icon(), QMessageBox::Information);
    box->accept();
  });
  dialogs.ShowMessage(text);
  EXPECT_TRUE(driver.Seen());
}

}  // namespace
}  // namespace devir::app
