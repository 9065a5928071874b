#pragma once
// What this process still holds of a file, as the kernel sees it: an open
// descriptor, a mapping, a lease. Linux only: it reads /proc.
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <utility>

#include "TestFiles.h"

// A file by its device and inode, which stay its own after it is renamed over.
using FileId = std::pair<dev_t, ino_t>;

inline FileId FileIdOf(const QString& path) {
  struct stat status {};
  stat(QFile::encodeName(path).constData(), &status);
  return {status.st_dev, status.st_ino};
}

// The text of a /proc file.
inline QString ProcText(const char* path) { return QString::fromLatin1(ReadBytes(path)); }

// "descriptor", "mapping" and "lease", for each that the process has of the
// file; empty when it holds nothing.
inline QStringList HoldsOf(FileId file) {
  const auto [dev, ino] = file;
  QStringList holds;
  const auto fds = QDir("/proc/self/fd").entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
  if (std::any_of(fds.begin(), fds.end(), [&](const QFileInfo& fd) { return FileIdOf(fd.filePath()) == file; })) holds << "descriptor";
  // maps: "start-end perms offset major:minor inode path", the device in hex;
  // locks: "1: LEASE  ACTIVE    READ  pid major:minor:inode 0 EOF".
  const QString device = QString::asprintf("%02x:%02x", major(dev), minor(dev)), inode = QString::number(ino);
  if (ProcText("/proc/self/maps").contains(QRegularExpression(QString(" %1 %2\\s").arg(device, inode)))) holds << "mapping";
  if (ProcText("/proc/locks").contains(QRegularExpression(QString(" LEASE .* %1 %2:%3 ").arg(QString::number(getpid()), device, inode))))
    holds << "lease";
  return holds;
}
