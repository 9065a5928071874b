#include "MpqFiles.h"

#include <StormLib.h>

#include <QFile>

namespace {
// How each file is stored, by its place in the map: cycles through the ways
// the game's archives store files.
DWORD HowToStore(int index) {
  const DWORD ways[] = {MPQ_FILE_IMPLODE | MPQ_FILE_ENCRYPTED,
                        MPQ_FILE_COMPRESS | MPQ_FILE_ENCRYPTED | MPQ_FILE_FIX_KEY,
                        0,
                        MPQ_FILE_IMPLODE | MPQ_FILE_ENCRYPTED | MPQ_FILE_SINGLE_UNIT,
                        MPQ_FILE_COMPRESS};
  return ways[index % 5];
}
}  // namespace

void MakeMpq(const QString& path, const MpqContents& files, const MpqRecipe& recipe) {
  QFile::remove(path);
  HANDLE mpq = nullptr, out = nullptr;
  // SFileCreateArchive always adds a (listfile); only these settings leave it out.
  SFILE_CREATE_MPQ settings{};
  settings.cbSize = sizeof settings;
  settings.dwMpqVersion = recipe.format;
  settings.dwFileFlags1 = recipe.listfile ? MPQ_FILE_EXISTS : 0;  // (listfile)
  settings.dwFileFlags2 = 0;                                       // no (attributes)
  settings.dwSectorSize = 0x1000;
  settings.dwMaxFileCount = recipe.maxFiles;
  if (!SFileCreateArchive2(qPrintable(path), &settings, &mpq))
    qFatal("cannot create %s", qPrintable(path));
  int index = 0;
  for (const auto& [name, bytes] : files) {
    if (!SFileCreateFile(mpq, name, 0, bytes.size(), 0, HowToStore(index++), &out) ||
        (!bytes.isEmpty() && !SFileWriteFile(out, bytes, bytes.size(), MPQ_COMPRESSION_ZLIB)) ||
        !SFileFinishFile(out))
      qFatal("cannot store %s", name.constData());
  }
  SFileCloseArchive(mpq);
}

MpqContents ReadMpq(const QString& path, const QList<QByteArray>& names, unsigned* fileCount) {
  MpqContents files;
  HANDLE mpq = nullptr;
  if (!SFileOpenArchive(qPrintable(path), 0, MPQ_OPEN_READ_ONLY, &mpq)) return files;
  for (const QByteArray& name : names) {
    HANDLE file = nullptr;
    QByteArray& bytes = files[name] = "<unreadable>";
    if (!SFileOpenFileEx(mpq, name, SFILE_OPEN_FROM_MPQ, &file)) continue;
    QByteArray read(SFileGetFileSize(file, nullptr), '\0');
    DWORD got = 0;
    if (read.isEmpty() || (SFileReadFile(file, read.data(), read.size(), &got, nullptr) && got == DWORD(read.size())))
      bytes = read;
    SFileCloseFile(file);
  }
  if (fileCount) {
    SFILE_FIND_DATA found;
    *fileCount = 0;
    HANDLE find = SFileFindFirstFile(mpq, "*", &found, nullptr);
    for (bool more = find; more; more = SFileFindNextFile(find, &found)) *fileCount += found.cFileName[0] != '(';
    if (find) SFileFindClose(find);
  }
  SFileCloseArchive(mpq);
  return files;
}

QList<QByteArray> NamesOf(const MpqContents& files) {
  QList<QByteArray> names;
  for (const auto& entry : files) names << entry.first;
  return names;
}

void StartAdd(QProcess& probe, const QString& libraryFolder, const QStringList& archiveFileName) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("LD_LIBRARY_PATH", libraryFolder);
  probe.setProcessEnvironment(environment);
  probe.start(TW_ARCHIVE_PROBE, archiveFileName);
}
