#include "MpqFiles.h"

#include <StormLib.h>

#include <QFile>

bool MakeMpq(const QString& path, const std::vector<MpqFile>& files, uint32_t maxFiles) {
  QFile::remove(path);
  HANDLE mpq = nullptr;
  const QByteArray name = QFile::encodeName(path);
  if (!SFileCreateArchive(name.constData(), MPQ_CREATE_LISTFILE | MPQ_CREATE_ARCHIVE_V1, maxFiles, &mpq))
    return false;
  bool ok = true;
  for (const MpqFile& file : files) {
    HANDLE out = nullptr;
    const DWORD compression = (file.flags & MPQ_FILE_COMPRESS) ? MPQ_COMPRESSION_ZLIB : 0;
    ok = ok && SFileCreateFile(mpq, file.name.constData(), 0, DWORD(file.content.size()), 0, file.flags, &out) &&
         SFileWriteFile(out, file.content.constData(), DWORD(file.content.size()), compression) &&
         SFileFinishFile(out);
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

bool MpqReader::Has(const QByteArray& name) const { return m_mpq && SFileHasFile(m_mpq, name.constData()); }

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

uint64_t MpqReader::Info(const QByteArray& name, int infoClass) const {
  HANDLE file = nullptr;
  uint64_t value = 0;
  if (!m_mpq || !SFileOpenFileEx(m_mpq, name.constData(), SFILE_OPEN_FROM_MPQ, &file)) return 0;
  const DWORD size = infoClass == SFileInfoByteOffset ? 8 : 4;
  SFileGetFileInfo(file, SFileInfoClass(infoClass), &value, size, nullptr);
  SFileCloseFile(file);
  return value;
}

uint32_t MpqReader::Flags(const QByteArray& name) const { return uint32_t(Info(name, SFileInfoFlags)); }

QByteArray MpqReader::Stored(const QByteArray& name) const {
  QFile archive(m_path);
  if (!archive.open(QIODevice::ReadOnly) || !archive.seek(qint64(Info(name, SFileInfoByteOffset)))) return {};
  return archive.read(qint64(Info(name, SFileInfoCompressedSize)));
}

QByteArrayList MpqReader::Listfile() const {
  QByteArrayList names;
  for (const QByteArray& line : Read("(listfile)").split('\n'))
    if (!line.trimmed().isEmpty()) names << line.trimmed();
  return names;
}

uint32_t MpqReader::HashTableSize() const {
  DWORD size = 0;
  if (m_mpq) SFileGetFileInfo(m_mpq, SFileMpqHashTableSize, &size, sizeof(size), nullptr);
  return size;
}

uint16_t MpqReader::FormatVersion() const {
  TMPQHeader header{};
  if (m_mpq) SFileGetFileInfo(m_mpq, SFileMpqHeader, &header, sizeof(header), nullptr);
  return header.wFormatVersion;
}

QByteArray FileBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteFileBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}
