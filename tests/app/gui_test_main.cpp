// Entry point of the window tests: one QApplication for the whole binary, offscreen unless the
// caller chose a platform, so that the tests never need a display.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLocale>
#include <clocale>

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  // QApplication adopts the environment's locale; numbers and dates in tests must not.
  std::setlocale(LC_ALL, "C");
  QLocale::setDefault(QLocale::c());
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
