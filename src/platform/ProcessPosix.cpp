#include "platform/Process.h"

#include <QDir>
#include <QStringList>

#include "platform/CommandLine.h"

QString ProcessCommandLineTail(int argc, char* argv[]) {
  QStringList arguments;
  for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  return CommandLineTailFromArguments(arguments);
}

QString ProcessWorkingDirectory() { return QDir::currentPath(); }
