#include <QApplication>

#include "app/fdevir.h"
#include "app/qt_seams.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  devir::app::QtDialogs dialogs;
  devir::app::SystemClock clock;
  devir::app::TFdevir Fdevir(dialogs, clock);
  Fdevir.show();
  return application.exec();
}
