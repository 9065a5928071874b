#include "archive/ArchiveAdd.h"

#include <QByteArray>
#include <QFile>

#include "archive/ArchiveLibrary.h"
#include "platform/DocumentKind.h"

namespace {
constexpr uint32_t kOpenMode = LMPQ_OPEN_EXISTING | LMPQ_OPEN_KEEP_LISTFILE;  // 5
constexpr uint32_t kMaxFiles = 20000;
constexpr uint32_t kAddFlags = LMPQ_ADD_ENCRYPT | LMPQ_ADD_COMPRESS | LMPQ_ADD_REPLACE;  // 0x00010201
constexpr uint32_t kBadHandle = 0xFFFFFFFFu;
}  // namespace

QString NameInArchive(const QString& fileTitle) {
  const QString folder = kind::ArchivesAsSheet(fileTitle) ? QStringLiteral("data\\global\\excel\\")
                                                          : QStringLiteral("data\\local\\LNG\\ENG\\");
  return folder + fileTitle;
}

ArchiveAddResult AddToArchive(const QString& archivePath, const QString& sourcePath, const QString& nameInArchive) {
  ArchiveLibrary library;  // frees the library on every way out
  LmpqEntries lmpq;
  // A library without all four entries is as good as none.
  if (!library.Load() || !library.ResolveEntries(lmpq)) return ArchiveAddResult::LibraryMissing;
  if (lmpq.initialize() != 1) return ArchiveAddResult::InitializeFailed;

  const QByteArray archive = QFile::encodeName(archivePath);
  const uint32_t handle = lmpq.open(archive.constData(), kOpenMode, kMaxFiles);
  if (handle == 0 || handle == kBadHandle) return ArchiveAddResult::OpenFailed;

  // Neither result says anything the user needs: the archive was opened.
  const QByteArray source = QFile::encodeName(sourcePath);
  const QByteArray name = QFile::encodeName(nameInArchive);
  lmpq.add(handle, source.constData(), name.constData(), kAddFlags);
  lmpq.close(handle, 0);
  return ArchiveAddResult::Added;
}
