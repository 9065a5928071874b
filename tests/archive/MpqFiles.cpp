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

Lmpqapi::Lmpqapi(const char* path) : m_handle(dlopen(path, RTLD_NOW | RTLD_LOCAL)) {}
Lmpqapi::~Lmpqapi() {
  if (m_handle) dlclose(m_handle);
}
unsigned Lmpqapi::initialize() { return entry<LmpqInitializeFn>(LMPQ_NAME_INITIALIZE)(); }
unsigned Lmpqapi::open(const QString& archive) {
  return entry<LmpqOpenArchiveFn>(LMPQ_NAME_OPEN_ARCHIVE)(QFile::encodeName(archive).constData(), 5, 20000);
}
unsigned Lmpqapi::add(unsigned handle, const QString& file, const QByteArray& name) {
  return entry<LmpqAddFileFn>(LMPQ_NAME_ADD_FILE)(handle, QFile::encodeName(file).constData(), name.constData(), 0x00010201);
}
unsigned Lmpqapi::close(unsigned handle) { return entry<LmpqCloseArchiveFn>(LMPQ_NAME_CLOSE_ARCHIVE)(handle, 0); }

unsigned Lmpqapi::addFile(const QString& archive, const QString& file, const QByteArray& name) {
  if (initialize() != 1) return 0;
  const unsigned handle = open(archive);
  if (handle == 0 || handle == 0xFFFFFFFF) return 0;
  add(handle, file, name);
  close(handle);
  return handle;
}
