#include "MpqFiles.h"

#include <StormLib.h>
#if defined(_WIN32)
#include <tlhelp32.h>
#else
#include <signal.h>
#endif

#include <QFileInfo>
#include <QThread>
#include <chrono>

// How each file is stored, by its place in the map: cycles through the ways
// the game's archives store files.
constexpr DWORD kWaysToStore[] = {MPQ_FILE_IMPLODE | MPQ_FILE_ENCRYPTED,
                                  MPQ_FILE_COMPRESS | MPQ_FILE_ENCRYPTED | MPQ_FILE_FIX_KEY, 0,
                                  MPQ_FILE_IMPLODE | MPQ_FILE_ENCRYPTED | MPQ_FILE_SINGLE_UNIT, MPQ_FILE_COMPRESS};

QByteArray Add(const QString& archive, const QString& file, const QByteArray& name, const QString& libraryFolder) {
  QProcess probe;
  StartAdd(probe, archive, file, name, libraryFolder);
  if (!probe.waitForFinished(120000)) return "<no end>";
  // Windows' C library writes its line ends as CR LF.
  QByteArray printed = probe.readAllStandardOutput() + probe.readAllStandardError();
  if (probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0) printed += "<exit " + QByteArray::number(probe.exitCode()) + ">";
  return printed.replace("\r\n", "\n");
}

void MakeMpq(const QString& path, const MpqContents& files, const MpqRecipe& recipe) {
  QFile::remove(path);
  HANDLE mpq = nullptr, out = nullptr;
  // SFileCreateArchive always adds a (listfile) and an (attributes); only
  // these settings leave them out (dwFileFlags1, dwFileFlags2 0). Every field
  // is named: the compilers warn of any left out.
  SFILE_CREATE_MPQ settings{.cbSize = sizeof(SFILE_CREATE_MPQ), .dwMpqVersion = DWORD(recipe.format), .pvUserData = nullptr,
                            .cbUserData = 0, .dwStreamFlags = 0, .dwFileFlags1 = recipe.listfile ? DWORD(MPQ_FILE_EXISTS) : 0,
                            .dwFileFlags2 = recipe.attributes ? DWORD(MPQ_FILE_EXISTS) : 0, .dwFileFlags3 = 0,
                            .dwAttrFlags = recipe.attributes ? DWORD(MPQ_ATTRIBUTE_FILETIME) : 0, .dwSectorSize = 0x1000,
                            .dwRawChunkSize = 0, .dwMaxFileCount = recipe.maxFiles};
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
    // A short read fails (end of file).
    if (SFileReadFile(file, read.data(), read.size(), nullptr, nullptr)) bytes = read;
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

uint64_t MpqInfoOf(const QString& path, const QByteArray& name, int what) {
  HANDLE mpq = nullptr, file = nullptr;
  uint64_t info = 0;  // room for the widest; the narrower fill its low bytes
  if (SFileOpenArchive(qPrintable(path), 0, MPQ_OPEN_READ_ONLY, &mpq)) {
    if (SFileOpenFileEx(mpq, name, SFILE_OPEN_FROM_MPQ, &file)) {
      SFileGetFileInfo(file, SFileInfoClass(what), &info, sizeof info, nullptr);
      SFileCloseFile(file);
    }
    SFileCloseArchive(mpq);
  }
  return info;
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
// The worker that `parent` started, if it runs now.
static qint64 WorkerOf(qint64 parent) {
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  qint64 worker = 0;
  for (bool more = Process32FirstW(snapshot, &entry); more && !worker; more = Process32NextW(snapshot, &entry))
    if (entry.th32ParentProcessID == DWORD(parent) && _wcsicmp(entry.szExeFile, L"lmpqapi-worker.exe") == 0)
      worker = entry.th32ProcessID;
  CloseHandle(snapshot);
  return worker;
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

static qint64 WorkerOf(qint64 parent) {
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

qint64 AwaitWorkerOf(qint64 parent) {
  qint64 worker = 0;
  for (const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
       !worker && std::chrono::steady_clock::now() < deadline; QThread::msleep(2))
    worker = WorkerOf(parent);
  return worker;
}
