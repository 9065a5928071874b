#pragma once
// What this process still holds of a file, as the kernel sees it: an open
// descriptor, a mapping, a lease. Linux only: it reads /proc.
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QStringList>

// A file by its device and inode, which stay its own after it is renamed over.
struct FileId {
  dev_t dev = 0;
  ino_t ino = 0;
};

inline FileId FileIdOf(const QString& path) {
  struct stat status {};
  stat(QFile::encodeName(path).constData(), &status);
  return {status.st_dev, status.st_ino};
}

// "descriptor", "mapping" and "lease", for each that the process has of the
// file; empty when it holds nothing.
inline QStringList HoldsOf(FileId file) {
  QStringList holds;
  for (const QString& fd : QDir("/proc/self/fd").entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System)) {
    struct stat status {};
    if (stat(qPrintable("/proc/self/fd/" + fd), &status) == 0 && status.st_dev == file.dev && status.st_ino == file.ino) {
      holds << "descriptor";
      break;
    }
  }
  // maps: "start-end perms offset major:minor inode path", the device in hex.
  const QString device = QString::asprintf("%02x:%02x", major(file.dev), minor(file.dev));
  QFile maps("/proc/self/maps");
  maps.open(QIODevice::ReadOnly);
  for (const QByteArray& line : maps.readAll().split('\n')) {
    const QList<QByteArray> fields = line.simplified().split(' ');
    if (fields.size() >= 5 && fields[3] == device.toLatin1() && fields[4].toULongLong() == file.ino) {
      holds << "mapping";
      break;
    }
  }
  // locks: "1: LEASE  ACTIVE    READ  pid major:minor:inode 0 EOF".
  const QByteArray lease = QString::asprintf(" %d %02x:%02x:%llu ", getpid(), major(file.dev), minor(file.dev),
                                             static_cast<unsigned long long>(file.ino)).toLatin1();
  QFile locks("/proc/locks");
  locks.open(QIODevice::ReadOnly);
  for (const QByteArray& line : locks.readAll().split('\n'))
    if (line.contains("LEASE") && (line.simplified() + ' ').contains(lease)) holds << "lease";
  return holds;
}
