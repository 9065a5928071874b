#pragma once
// Runs a command to its end, or until its time is up, and keeps what it said.
#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <string>

struct RunResult {
  bool finished = false;  // ended by itself within the time allowed
  int exitCode = -1;
  QByteArray out;
  QByteArray err;

  bool ok() const { return finished && exitCode == 0; }
  std::string text() const { return (out + err).toStdString(); }
};

inline RunResult RunCommand(const QString& program, const QStringList& arguments, int timeoutMs = 30000,
                     const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
                     const QString& workingDirectory = QString()) {
  RunResult result;
  QProcess process;
  process.setProcessEnvironment(environment);
  if (!workingDirectory.isEmpty()) process.setWorkingDirectory(workingDirectory);
  process.start(program, arguments);
  if (!process.waitForStarted(10000)) {
    result.err = (program + ": " + process.errorString()).toUtf8();
    return result;
  }
  process.closeWriteChannel();
  result.finished = process.waitForFinished(timeoutMs) && process.exitStatus() == QProcess::NormalExit;
  if (process.state() != QProcess::NotRunning) {
    process.kill();
    process.waitForFinished(5000);
  }
  result.exitCode = result.finished ? process.exitCode() : -1;
  result.out = process.readAllStandardOutput();
  result.err = process.readAllStandardError();
  return result;
}
