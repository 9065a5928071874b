#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <cerrno>

#include "platform/InPlaceFile.h"

int SyncDescriptor(int fd) { return ::fsync(fd) == 0 ? 0 : errno; }

int SyncFolderOf(const QString& path) {
  const int folder = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) return errno;
  const int failed = SyncDescriptor(folder);
  ::close(folder);
  return failed;
}

int ReserveRoom(int fd, qint64 oldSize, qint64 size) {
#ifdef FALLOC_FL_KEEP_SIZE
  if (::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, size) == 0) return 0;
  if (errno != EOPNOTSUPP && errno != ENOSYS) return errno;
#endif
  return size > oldSize ? ::posix_fallocate(fd, oldSize, size - oldSize) : 0;
}

bool ReplacingKeepsWhatShows(const QString& path) {
  const QByteArray name = QFile::encodeName(path);
  struct stat status {};
  if (::stat(name.constData(), &status) != 0) return true;  // no file yet: nothing to keep
  if (status.st_nlink != 1 || status.st_uid != ::geteuid() || status.st_gid != ::getegid()) return false;
  // Extended attributes (an ACL beyond the mode bits, a security label, a
  // user's note) would not pass to a new file, and an ACL's mask would come
  // back as the group's mode bits. A file system that has none at all is
  // fine; one that cannot say is taken as having some.
  const ssize_t names = ::listxattr(name.constData(), nullptr, 0);
  return names == 0 || (names < 0 && (errno == ENOTSUP || errno == ENOSYS));
}
