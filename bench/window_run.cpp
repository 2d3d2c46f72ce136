// One transfer through the real window, for measuring the window's memory and time on a
// large year: devir_window_run --server HOST,PORT --data-dir DIR
//
// Opens the window (offscreen unless QT_QPA_PLATFORM says otherwise), types the data folder,
// clicks the transfer button and answers the server prompt with HOST,PORT, as a user would.
// The password is the field's default. The template is looked for in "DB" beside this
// program and the trace goes to $HOME/X.TXT, as for the window itself. Every message box is
// printed instead of shown; the exit code is 0 when the click ended with "Bitti" alone.
#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>

#include "app/fdevir.h"
#include "app/labeled_edit.h"
#include "app/qt_seams.h"

namespace {

class PrintedDialogs : public devir::app::Dialogs {
 public:
  explicit PrintedDialogs(std::string server) : server_(std::move(server)) {}

  std::string InputBox(std::string_view caption, std::string_view, std::string_view, int) override {
    std::fprintf(stderr, "prompt \"%.*s\" answered with %s\n", static_cast<int>(caption.size()),
                 caption.data(), server_.c_str());
    if (++prompts_ > 1) {
      std::fprintf(stderr, "the server did not answer; giving up\n");
      EndProcess();
    }
    return server_;
  }
  [[noreturn]] void EndProcess() override { std::exit(1); }
  void ShowMessage(const QString& text) override {
    std::printf("message: %s\n", text.toUtf8().constData());
    messages_.append(text);
  }
  const QStringList& Messages() const { return messages_; }

 private:
  std::string server_;
  int prompts_ = 0;
  QStringList messages_;
};

int Usage() {
  std::fprintf(stderr, "usage: devir_window_run --server HOST,PORT --data-dir DIR\n");
  return 2;
}

}  // namespace

int main(int argc, char* argv[]) {
  std::string server;
  std::string data_dir;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string_view option = argv[i];
    if (option == "--server") {
      server = argv[i + 1];
    } else if (option == "--data-dir") {
      data_dir = argv[i + 1];
    } else {
      return Usage();
    }
  }
  if (server.empty() || data_dir.empty() || argc % 2 == 0) return Usage();
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);

  QApplication application(argc, argv);
  PrintedDialogs dialogs(server);
  devir::app::SystemClock clock;
  devir::app::TFdevir window(dialogs, clock);
  window.LabeledEdit3->setText(QString::fromStdString(data_dir));
  window.show();
  QApplication::processEvents();
  window.Button1->click();
  std::printf("last stage: %s\nprogress: %s\n", window.Stage().c_str(),
              window.ProgressBar1->text().toUtf8().constData());
  return dialogs.Messages() == QStringList{QStringLiteral("Bitti")} ? 0 : 1;
}
