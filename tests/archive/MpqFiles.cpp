#include "MpqFiles.h"

#include <StormLib.h>

#include <QFile>

bool MakeMpq(const QString& path, const std::vector<MpqFile>& files, uint32_t maxFiles) {
  QFile::remove(path);
  HANDLE mpq = nullptr;
  if (!SFileCreateArchive(QFile::encodeName(path).constData(), MPQ_CREATE_LISTFILE | MPQ_CREATE_ARCHIVE_V1,
                          maxFiles, &mpq))
    return false;
  bool ok = true;
  for (const MpqFile& file : files) {
    const DWORD size = DWORD(file.content.size());
    const DWORD compression = (file.flags & MPQ_FILE_COMPRESS) ? MPQ_COMPRESSION_ZLIB : 0;
    HANDLE out = nullptr;
    ok = ok && SFileCreateFile(mpq, file.name.constData(), 0, size, 0, file.flags, &out) &&
         SFileWriteFile(out, file.content.constData(), size, compression) && SFileFinishFile(out);
  }
  return SFileCloseArchive(mpq) && ok;
}

MpqReader::MpqReader(const QString& path) : m_path(path) {
  HANDLE mpq = nullptr;
  if (SFileOpenArchive(QFile::encodeName(path).constData(), 0, MPQ_OPEN_READ_ONLY, &mpq)) m_mpq = mpq;
}

MpqReader::~MpqReader() {
  if (m_mpq) SFileCloseArchive(m_mpq);
}

QByteArray MpqReader::Read(const QByteArray& name) const {
  HANDLE file = nullptr;
  if (!m_mpq || !SFileOpenFileEx(m_mpq, name.constData(), SFILE_OPEN_FROM_MPQ, &file)) return {};
  QByteArray bytes(qsizetype(SFileGetFileSize(file, nullptr)), '\0');
  DWORD read = 0;
  SFileReadFile(file, bytes.data(), DWORD(bytes.size()), &read, nullptr);
  SFileCloseFile(file);
  bytes.truncate(read);
  return bytes;
}

uint64_t MpqReader::Info(const QByteArray& name, int infoClass, uint32_t size) const {
  HANDLE file = nullptr;
  uint64_t value = 0;
  if (!m_mpq || !SFileOpenFileEx(m_mpq, name.constData(), SFILE_OPEN_FROM_MPQ, &file)) return 0;
  SFileGetFileInfo(file, SFileInfoClass(infoClass), &value, size, nullptr);
  SFileCloseFile(file);
  return value;
}

uint32_t MpqReader::Flags(const QByteArray& name) const { return uint32_t(Info(name, SFileInfoFlags, 4)); }

QByteArray MpqReader::Stored(const QByteArray& name) const {
  QFile archive(m_path);
  if (!archive.open(QIODevice::ReadOnly) || !archive.seek(qint64(Info(name, SFileInfoByteOffset, 8)))) return {};
  return archive.read(qint64(Info(name, SFileInfoCompressedSize, 4)));
}

QByteArrayList MpqReader::Listfile() const {
  QByteArrayList names;
  for (const QByteArray& line : Read("(listfile)").split('\n'))
    if (!line.trimmed().isEmpty()) names << line.trimmed();
  return names;
}
