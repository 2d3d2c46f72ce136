// Shows the real window as devir starts it and saves what the screen shows to a PNG:
//   xvfb-run -a devir_window_screenshot window.png
// Under Xvfb (platform xcb) this is the X server's own rendering of the window.
#include <QApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <cstdio>

#include "app/fdevir.h"
#include "app/qt_seams.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUT.png\n", argv[0]);
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  devir::app::QtDialogs dialogs;
  devir::app::SystemClock clock;
  devir::app::TFdevir window(dialogs, clock);
  window.show();
  // Give the server a moment to map and paint the window before reading the screen back.
  QTimer::singleShot(1000, &window, [&] {
    QScreen* screen = window.screen();
    QPixmap shot = screen->grabWindow(0);
    if (shot.isNull()) shot = window.grab();
    const bool saved = shot.save(out, "PNG");
    std::printf("%s %dx%d on %s\n", saved ? "saved" : "could not save", shot.width(), shot.height(),
                qPrintable(QApplication::platformName()));
    QApplication::exit(saved ? 0 : 1);
  });
  return application.exec();
}
