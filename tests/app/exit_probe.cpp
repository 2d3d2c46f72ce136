// A child process for window_exit_test: the real window with the real prompt and the real
// process end. It clicks Button1, clears the prompt and confirms. Anything shown is printed
// (and ends the probe with 3); surviving the click ends it with 4.
#include <QApplication>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

#include "app/fdevir.h"
#include "app/qt_seams.h"

namespace {

class PrintingDialogs : public devir::app::QtDialogs {
 public:
  void ShowMessage(const QString& text) override {
    std::printf("shown: %s\n", text.toUtf8().constData());
    std::fflush(stdout);
    std::_Exit(3);
  }
};

}  // namespace

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  PrintingDialogs dialogs;
  devir::app::SystemClock clock;
  devir::app::TFdevir window(dialogs, clock);
  window.show();

  QTimer answer;
  QObject::connect(&answer, &QTimer::timeout, [] {
    auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
    if (!dialog) return;
    dialog->findChild<QLineEdit*>()->clear();
    dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
  });
  answer.start(10);

  QTimer::singleShot(0, &window, [&window] {
    window.Button1->click();
    std::printf("survived the click\n");
    std::fflush(stdout);
    QApplication::exit(4);
  });
  return application.exec();
}
