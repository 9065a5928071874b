#pragma once
// What this process still holds of a file, as the kernel sees it: an open
// descriptor, a mapping, a lease. Linux only: it reads /proc.
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QStringList>
#include <algorithm>

// A file by its device and inode, which stay its own after it is renamed over.
struct FileId {
  dev_t dev = 0;
  ino_t ino = 0;
  bool operator==(const FileId&) const = default;
};

inline FileId FileIdOf(const QString& path) {
  struct stat status {};
  stat(QFile::encodeName(path).constData(), &status);
  return {status.st_dev, status.st_ino};
}

// Whether some line of a /proc file, its blanks made single, holds every one of `parts`.
inline bool AnyLineHas(const char* path, const QByteArrayList& parts) {
  QFile proc(path);
  const QByteArrayList lines = proc.open(QIODevice::ReadOnly) ? proc.readAll().split('\n') : QByteArrayList();
  return std::any_of(lines.begin(), lines.end(), [&](const QByteArray& line) {
    return std::all_of(parts.begin(), parts.end(), [&](const QByteArray& part) { return (line.simplified() + ' ').contains(part); });
  });
}

// "descriptor", "mapping" and "lease", for each that the process has of the
// file; empty when it holds nothing.
inline QStringList HoldsOf(FileId file) {
  QStringList holds;
  const auto fds = QDir("/proc/self/fd").entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
  if (std::any_of(fds.begin(), fds.end(), [&](const QFileInfo& fd) { return FileIdOf(fd.filePath()) == file; })) holds << "descriptor";
  // maps: "start-end perms offset major:minor inode path", the device in hex;
  // locks: "1: LEASE  ACTIVE    READ  pid major:minor:inode 0 EOF".
  const QByteArray device = QString::asprintf("%02x:%02x", major(file.dev), minor(file.dev)).toLatin1();
  const QByteArray inode = QByteArray::number(static_cast<qulonglong>(file.ino));
  if (AnyLineHas("/proc/self/maps", {' ' + device + ' ' + inode + ' '})) holds << "mapping";
  if (AnyLineHas("/proc/locks", {" LEASE ", ' ' + QByteArray::number(getpid()) + ' ' + device + ':' + inode + ' '}))
    holds << "lease";
  return holds;
}
