// Starts the real program with a file on its command line, as a user would,
// and watches it open the file: the settings file of its working directory
// comes to name the file's folder.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>

#include "TestFiles.h"

namespace {

QString remembered(const QString& ini) {
  return QSettings(ini, QSettings::IniFormat).value(QStringLiteral("Directory")).toString();
}

TEST(StartBinary, OpensTheFileNamedOnTheCommandLine) {
  QTemporaryDir work;
  QTemporaryDir data;
  const QString sheet = data.path() + "/my sheet.txt";  // a blank in the name arrives whole
  WriteBytes(sheet, "name\tvalue\r\nx\t1\r\n");

  QProcess program;
  program.setWorkingDirectory(work.path());
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  program.setProcessEnvironment(env);
  program.start(TW_PROGRAM, {data.path() + "/my", "sheet.txt"});
  ASSERT_TRUE(program.waitForStarted(10000)) << program.errorString().toStdString();

  const QString ini = work.path() + "/Tabwright.ini";
  QElapsedTimer clock;
  clock.start();
  QString directory;
  while (clock.elapsed() < 60000 && program.state() == QProcess::Running) {
    directory = remembered(ini);
    if (directory == data.path()) break;
    QThread::msleep(100);
  }
  EXPECT_EQ(program.state(), QProcess::Running) << program.readAllStandardError().toStdString();
  EXPECT_EQ(directory, data.path());
  program.kill();
  program.waitForFinished(10000);
}

TEST(StartBinary, WithoutATailItOpensNothingAndWritesTheDefault) {
  QTemporaryDir work;
  QProcess program;
  program.setWorkingDirectory(work.path());
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  program.setProcessEnvironment(env);
  program.start(TW_PROGRAM, {});
  ASSERT_TRUE(program.waitForStarted(10000));
  const QString ini = work.path() + "/Tabwright.ini";
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 60000 && remembered(ini).isEmpty()) QThread::msleep(100);
  EXPECT_EQ(remembered(ini), "C:");
  EXPECT_EQ(program.state(), QProcess::Running);
  program.kill();
  program.waitForFinished(10000);
}

}  // namespace
