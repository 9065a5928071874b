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
  for (const QFileInfo& fd : QDir("/proc/self/fd").entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
    struct stat status {};
    if (stat(QFile::encodeName(fd.filePath()).constData(), &status) == 0 && status.st_dev == file.dev &&
        status.st_ino == file.ino && !holds.contains("descriptor"))
      holds << "descriptor";
  }
  const auto lines = [](const char* path) {
    QFile proc(path);
    return proc.open(QIODevice::ReadOnly) ? proc.readAll().split('\n') : QByteArrayList();
  };
  // maps: "start-end perms offset major:minor inode path", the device in hex;
  // locks: "1: LEASE  ACTIVE    READ  pid major:minor:inode 0 EOF".
  const QByteArray device = QString::asprintf("%02x:%02x", major(file.dev), minor(file.dev)).toLatin1();
  const QByteArray inode = QByteArray::number(static_cast<qulonglong>(file.ino));
  for (const QByteArray& line : lines("/proc/self/maps")) {
    const QByteArrayList fields = line.simplified().split(' ');
    if (fields.size() >= 5 && fields[3] == device && fields[4] == inode && !holds.contains("mapping")) holds << "mapping";
  }
  const QByteArray lease = ' ' + QByteArray::number(getpid()) + ' ' + device + ':' + inode + ' ';
  for (const QByteArray& line : lines("/proc/locks"))
    if (line.contains(" LEASE ") && (line.simplified() + ' ').contains(lease)) holds << "lease";
  return holds;
}
