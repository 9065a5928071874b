// Starts the real program with a file on its command line, as a user would,
// and watches it open the file: the settings file of its working directory
// comes to name the file's folder.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QProcess>
#include <QSettings>
#include <QThread>

#include "TestFiles.h"

TEST(StartBinary, OpensTheFileNamedOnTheCommandLine) {
  QTemporaryDir work, data;
  WriteBytes(data.filePath("my sheet.txt"), "name\tvalue\r\nx\t1\r\n");
  QProcess program;
  program.setWorkingDirectory(work.path());
  program.start(TW_PROGRAM, {data.path() + "/my", "sheet.txt"});  // the blank in the name arrives whole
  ASSERT_TRUE(program.waitForStarted(10000)) << program.errorString().toStdString();
  const QString ini = work.filePath("Tabwright.ini");
  const auto remembered = [&] { return QSettings(ini, QSettings::IniFormat).value("Directory").toString(); };
  for (QDeadlineTimer limit(60000); remembered() != data.path() && !limit.hasExpired();) QThread::msleep(100);
  EXPECT_EQ(remembered(), data.path()) << program.readAllStandardError().toStdString();
  EXPECT_EQ(program.state(), QProcess::Running);
  program.kill();
  program.waitForFinished(10000);
}
