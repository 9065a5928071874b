#include "archive/AddFileToArchive.h"

#include "platform/Dialogs.h"

int AddFileToArchive(const QString& archivePath, const QString& sourcePath, const QString& nameInArchive) {
  switch (AddToArchive(archivePath, sourcePath, nameInArchive)) {
    case ArchiveAddResult::Added:
      return 1;
    case ArchiveAddResult::LibraryMissing:
      AfxMessageBox(QStringLiteral("Can't load lmpqapi.dll"));
      return 0;
    case ArchiveAddResult::InitializeFailed:
      AfxMessageBox(QStringLiteral("Can't initialize lmpqapi.dll"));
      return 0;
    case ArchiveAddResult::OpenFailed:
      AfxMessageBox(QStringLiteral("Can't open %1 as an D2Data.MPQ archive").arg(archivePath));
      return 0;
  }
  return 0;
}
