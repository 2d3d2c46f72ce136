// An empty answer at the prompt ends the process at once: exit code 0, nothing shown.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

namespace {

TEST(WindowExitTest, EmptyAnswerEndsTheProcessWithNothingShown) {
  QProcess probe;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  probe.setProcessEnvironment(environment);
  probe.start(QString::fromUtf8(DEVIR_EXIT_PROBE), {});
  ASSERT_TRUE(probe.waitForStarted()) << probe.errorString().toStdString();
  ASSERT_TRUE(probe.waitForFinished(60000)) << "the probe did not end";
  const QByteArray output = probe.readAllStandardOutput();
  EXPECT_EQ(probe.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(probe.exitCode(), 0) << output.toStdString();
  EXPECT_TRUE(output.isEmpty()) << output.toStdString();
}

}  // namespace
