#include "MpqFiles.h"

#include <StormLib.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstring>

// How each file is stored, by its place in the map: cycles through the ways
// the game's archives store files.
constexpr DWORD kWaysToStore[] = {MPQ_FILE_IMPLODE | MPQ_FILE_ENCRYPTED,
                                  MPQ_FILE_COMPRESS | MPQ_FILE_ENCRYPTED | MPQ_FILE_FIX_KEY, 0,
                                  MPQ_FILE_IMPLODE | MPQ_FILE_ENCRYPTED | MPQ_FILE_SINGLE_UNIT, MPQ_FILE_COMPRESS};

template <typename Entry>
void PatchTable(QByteArray& archive, const std::function<void(std::vector<Entry>&)>& change) {
  constexpr bool hashes = std::is_same_v<Entry, mpq::HashEntry>;  // else the block table
  const qint64 at = GetU32(archive, hashes ? 0x10 : 0x14), count = GetU32(archive, hashes ? 0x18 : 0x1C);
  const uint32_t key = mpq::HashString(hashes ? "(hash table)" : "(block table)", mpq::kHashFileKey);
  std::vector<Entry> entries(static_cast<size_t>(count));
  std::memcpy(entries.data(), archive.constData() + at, entries.size() * sizeof(Entry));
  mpq::Decrypt(reinterpret_cast<uint32_t*>(entries.data()), entries.size() * 4, key);
  change(entries);
  mpq::Encrypt(reinterpret_cast<uint32_t*>(entries.data()), entries.size() * 4, key);
  std::memcpy(archive.data() + at, entries.data(), entries.size() * sizeof(Entry));
}
template void PatchTable(QByteArray&, const std::function<void(std::vector<mpq::HashEntry>&)>&);
template void PatchTable(QByteArray&, const std::function<void(std::vector<mpq::BlockEntry>&)>&);

const QByteArray kAdded = "result 1, freed\n";

QByteArray Refused(const QString& archive) {
  return "message Can't open " + archive.toUtf8() + " as an D2Data.MPQ archive\nresult 0, freed\n";
}

QByteArray Add(const QString& archive, const QString& file, const QByteArray& name, const QString& libraryFolder) {
  QProcess probe;
  StartAdd(probe, archive, file, name, libraryFolder);
  if (!probe.waitForFinished(120000)) return "<no end>";
  // Windows' C library writes its line ends as CR LF.
  QByteArray printed = probe.readAllStandardOutput() + probe.readAllStandardError();
  if (probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0) printed += "<exit " + QByteArray::number(probe.exitCode()) + ">";
  return printed.replace("\r\n", "\n");
}

void OldOrNew::Count(const QString& archive, const MpqContents& old, const MpqContents& updated) {
  const MpqContents now = ReadMpq(archive, NamesOf(updated));
  if (now == old) {
    ++olds;
  } else {
    EXPECT_EQ(now, updated) << "neither the old archive nor the new one";
    ++news;
  }
}

QStringList FilesIn(const QString& folder) { return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot); }

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
    if (!SFileCreateFile(mpq, name, 0, bytes.size(), 0, kWaysToStore[index++ % 5], &out) ||
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

void StartAdd(QProcess& probe, const QString& archive, const QString& file, const QByteArray& name,
              const QString& libraryFolder) {
  const QString folder = libraryFolder.isEmpty() ? QFileInfo(TW_LMPQAPI_PATH).path() : libraryFolder;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
#if defined(_WIN32)
  environment.insert("PATH", QDir::toNativeSeparators(folder) + ";" + environment.value("PATH"));
#else
  environment.insert("LD_LIBRARY_PATH", folder);
#endif
  probe.setProcessEnvironment(environment);
  probe.start(TW_ARCHIVE_PROBE, {archive, file, QString::fromLatin1(name)});
}
