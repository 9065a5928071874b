// The archive worker on Windows, through the probe as the editor calls the
// library: killed at points spread over an add (the old archive or the new
// one, whole), and an archive that another program holds open without
// sharing writing (the game, while it runs) refused and left as it was.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <QProcess>
#include <chrono>

#include "archive/MpqFiles.h"

namespace {
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The worker that `parent` started: its handle (to be closed), or nullptr.
HANDLE AwaitWorkerOf(DWORD parent) {
  for (const auto deadline = Clock::now() + 20s; Clock::now() < deadline; Sleep(2)) {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    DWORD worker = 0;
    for (bool more = Process32FirstW(snapshot, &entry); more && !worker; more = Process32NextW(snapshot, &entry))
      if (entry.th32ParentProcessID == parent && _wcsicmp(entry.szExeFile, L"lmpqapi-worker.exe") == 0)
        worker = entry.th32ProcessID;
    CloseHandle(snapshot);
    if (worker) return OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, worker);
  }
  return nullptr;
}

TEST(WindowsArchiveWorker, KilledAtAnyPointItLeavesTheOldArchiveOrTheNew) {
  QTemporaryDir dir;
  const QString archive = dir.filePath("Patch_D2.mpq");
  const QString sheet = WriteBytes(dir.filePath("weapons.txt"), SheetBytes("Lance", 60000));
  MakeMpq(archive, kFiles, {0, false, 16});
  const QByteArray original = ReadBytes(archive);
  MpqContents updated = kFiles;
  updated[kSheetName] = ReadBytes(sheet);
  constexpr int kPoints = 8;
  OldOrNew outcomes;
  for (int i = 0; i <= kPoints; ++i) {
    SCOPED_TRACE(i);
    WriteBytes(archive, original);
    QProcess caller;
    StartAdd(caller, archive, sheet, kSheetName);
    const HANDLE worker = AwaitWorkerOf(DWORD(caller.processId()));
    ASSERT_NE(worker, nullptr);
    // Spread over the add, which takes some hundred milliseconds here; the
    // last strike never comes.
    if (i < kPoints && WaitForSingleObject(worker, DWORD(60 * i)) == WAIT_TIMEOUT) {
      TerminateProcess(worker, 9);
      const auto struck = Clock::now();
      ASSERT_TRUE(caller.waitForFinished(60000));
      // A dead worker is seen at once; under Wine, one killed while it
      // still starts can keep its end of the pipe open, and is then given
      // up after the ten seconds without progress.
      EXPECT_LT(Clock::now() - struck, 12s);
    }
    caller.waitForFinished(60000);  // false when it has already ended
    ASSERT_EQ(caller.state(), QProcess::NotRunning);
    CloseHandle(worker);
    outcomes.Count(archive, kFiles, updated);
  }
  EXPECT_TRUE(outcomes.olds > 0 && outcomes.news > 0) << outcomes.olds << " old, " << outcomes.news << " new";
  // What a killed worker left goes at the next open.
  EXPECT_EQ(Add(archive, sheet, kSheetName), kAdded);
  EXPECT_EQ(FilesIn(dir.path()), QStringList({"Patch_D2.mpq", "weapons.txt"}));
}

TEST(WindowsArchiveWorker, AnArchiveInUseIsRefusedAndLeftAsItWas) {
  QTemporaryDir dir;
  const QString archive = dir.filePath("Patch_D2.mpq");
  MakeMpq(archive, kFiles, {0, false, 16});
  const QByteArray before = ReadBytes(archive);
  const QString sheet = WriteBytes(dir.filePath("weapons.txt"), SheetBytes("Lance"));
  // As the game holds its archives: open for reading, sharing reading only.
  const HANDLE held = CreateFileW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(archive).utf16()),
                                  GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Add(archive, sheet, kSheetName), Refused(archive));
  CloseHandle(held);
  EXPECT_EQ(ReadBytes(archive), before);
  EXPECT_EQ(Add(archive, sheet, kSheetName), kAdded) << "once the game lets go";
}

}  // namespace
