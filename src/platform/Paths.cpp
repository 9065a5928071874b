#include "platform/Paths.h"

QString DirectoryOf(const QString& path) {
  const qsizetype separator = path.lastIndexOf(QLatin1Char(kPathSeparator));
  return separator < 0 ? QString() : path.left(separator);
}

QString FileTitleOf(const QString& path) {
  return path.mid(path.lastIndexOf(QLatin1Char(kPathSeparator)) + 1);
}
