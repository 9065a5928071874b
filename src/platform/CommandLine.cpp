#include "platform/CommandLine.h"

namespace {
bool isBlankOrControl(QChar c) { return c.unicode() >= 1 && c.unicode() <= 32; }

QString skipLeadingBlanks(const QString& text, qsizetype from) {
  while (from < text.size() && isBlankOrControl(text.at(from))) ++from;
  return text.mid(from);
}
}  // namespace

QString CommandLineTail(const QString& commandLine) {
  qsizetype pos = 0;
  const qsizetype size = commandLine.size();
  if (size > 0 && commandLine.at(0) == QLatin1Char('"')) {
    pos = commandLine.indexOf(QLatin1Char('"'), 1);
    pos = pos < 0 ? size : pos + 1;
  } else {
    while (pos < size && commandLine.at(pos).unicode() > 32) ++pos;
  }
  return skipLeadingBlanks(commandLine, pos);
}

QString CommandLineTailFromArguments(const QStringList& argumentsAfterName) {
  return skipLeadingBlanks(argumentsAfterName.join(QLatin1Char(' ')), 0);
}
