#include "MpqFiles.h"

#include <StormLib.h>
#if defined(_WIN32)
#include <tlhelp32.h>
#else
#include <signal.h>
#endif

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <chrono>
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

#if defined(_WIN32)
qint64 AwaitWorkerOf(qint64 parent) {
  for (const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
       std::chrono::steady_clock::now() < deadline; QThread::msleep(2)) {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    qint64 worker = 0;
    for (bool more = Process32FirstW(snapshot, &entry); more && !worker; more = Process32NextW(snapshot, &entry))
      if (entry.th32ParentProcessID == DWORD(parent) && _wcsicmp(entry.szExeFile, L"lmpqapi-worker.exe") == 0)
        worker = entry.th32ProcessID;
    CloseHandle(snapshot);
    if (worker) return worker;
  }
  return 0;
}

void Strike(qint64 id, bool stop) {
  const HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, DWORD(id));
  // A debugger's attach halts every thread of the process.
  if (stop) DebugActiveProcess(DWORD(id));
  else TerminateProcess(process, 9);
  CloseHandle(process);
}

void AwaitEnd(qint64 id) {
  const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, DWORD(id));
  WaitForSingleObject(process, INFINITE);
  CloseHandle(process);
}
#else
// /proc/<id>/stat: "pid (name) state ppid ...".
static QList<QByteArray> StatOf(const QString& id) { return ReadBytes("/proc/" + id + "/stat").split(' '); }

qint64 AwaitWorkerOf(qint64 parent) {
  for (const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20); std::chrono::steady_clock::now() < deadline;)
    for (const QString& pid : QDir("/proc").entryList(QDir::Dirs)) {
      const QList<QByteArray> stat = StatOf(pid);
      if (stat.size() > 3 && stat[1] == "(lmpqapi-worker)" && stat[2] != "Z" && stat[3].toLongLong() == parent)
        return pid.toLongLong();
    }
  return 0;
}

void Strike(qint64 id, bool stop) { kill(pid_t(id), stop ? SIGSTOP : SIGKILL); }

// Its caller gone, the worker is init's child: ended once it is a zombie or gone.
void AwaitEnd(qint64 id) {
  while (StatOf(QString::number(id)).value(2, "Z") != "Z") QThread::msleep(2);
}
#endif
