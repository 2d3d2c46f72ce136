#include "app/qt_seams.h"

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <cstdlib>

namespace devir::app {
namespace {

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

std::string QtDialogs::InputBox(std::string_view caption, std::string_view prompt,
                                std::string_view default_answer, int max_length) {
  QInputDialog dialog(QApplication::activeWindow());
  dialog.setWindowTitle(FromUtf8(caption));
  dialog.setLabelText(FromUtf8(prompt));
  dialog.setInputMode(QInputDialog::TextInput);
  dialog.setTextValue(FromUtf8(default_answer));
  if (auto* edit = dialog.findChild<QLineEdit*>()) {
    edit->setMaxLength(max_length);
    edit->selectAll();
  }
  // Cancel, Escape and the close box all reject the dialog: they answer the default.
  if (dialog.exec() != QDialog::Accepted) return std::string(default_answer);
  return dialog.textValue().toStdString();
}

void QtDialogs::EndProcess() {
  EndProcessAtOnce();
}

void QtDialogs::ShowMessage(const QString& text) {
  QMessageBox::information(QApplication::activeWindow(), QApplication::applicationName(), text);
}

QDate SystemClock::Today() const {
  return QDate::currentDate();
}

void EndProcessAtOnce() noexcept {
  std::_Exit(0);
}

}  // namespace devir::app
