// Shows the real window as devir starts it and saves what the screen shows to a PNG:
//   xvfb-run -a devir_window_screenshot window.png
// With a server and a data folder it runs a transfer whose proof fails (the balance query as
// it was first printed) and saves the screen while the proof's message box is up:
//   xvfb-run -a devir_window_screenshot proof.png 127.0.0.1,PORT /path/to/data
// Under Xvfb (platform xcb) this is the X server's own rendering of the window.
#include <QApplication>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <string>

#include "app/fdevir.h"
#include "app/labeled_edit.h"
#include "app/qt_seams.h"
#include "tests/support/stock_balance_lines.h"

namespace {

bool SaveScreen(QWidget& window, const QString& out) {
  QPixmap shot = window.screen()->grabWindow(0);
  if (shot.isNull()) shot = window.grab();
  const bool saved = shot.save(out, "PNG");
  std::printf("%s %dx%d on %s\n", saved ? "saved" : "could not save", shot.width(), shot.height(),
              qPrintable(QApplication::platformName()));
  return saved;
}

// The real message boxes; the prompt answered with the server; the first message saved to
// the screenshot, every message closed after a moment.
class ShootingDialogs : public devir::app::QtDialogs {
 public:
  ShootingDialogs(std::string server, QString out) : server_(std::move(server)), out_(out) {}

  std::string InputBox(std::string_view, std::string_view, std::string_view, int) override {
    return server_;
  }
  void ShowMessage(const QString& text) override {
    std::printf("message: %s\n", text.toUtf8().constData());
    QTimer::singleShot(1000, [this] {
      if (!shot_) saved_ = SaveScreen(*QApplication::activeModalWidget(), out_);
      shot_ = true;
      if (QWidget* box = QApplication::activeModalWidget()) box->close();
    });
    QtDialogs::ShowMessage(text);
  }
  bool Saved() const { return saved_; }

 private:
  std::string server_;
  QString out_;
  bool shot_ = false;
  bool saved_ = false;
};

}  // namespace

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  if (argc != 2 && argc != 4) {
    std::fprintf(stderr, "usage: %s OUT.png [SERVER DATA_FOLDER]\n", argv[0]);
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  devir::app::SystemClock clock;
  if (argc == 4) {
    ShootingDialogs dialogs(argv[2], out);
    devir::app::TFdevir window(dialogs, clock);
    window.LabeledEdit3->setText(QString::fromLocal8Bit(argv[3]));
    window.ADOQuery1.SetSql(devir::testing::PrintedBalanceQuerySql());
    window.show();
    QTimer::singleShot(500, &window, [&] { window.Button1->click(); });
    application.exec();
    return dialogs.Saved() ? 0 : 1;
  }
  devir::app::QtDialogs dialogs;
  devir::app::TFdevir window(dialogs, clock);
  window.show();
  // Give the server a moment to map and paint the window before reading the screen back.
  QTimer::singleShot(1000, &window, [&] { QApplication::exit(SaveScreen(window, out) ? 0 : 1); });
  return application.exec();
}
