// Writers of one archive, as the editor starts them: workers and callers
// killed or stopped half-way (the old archive or the new one, whole, and the
// caller back within a bound), several writers at once (none lost), the
// archive kept as the same file, and the full copy that compacts.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <QFileInfo>
#include <chrono>
#include <random>
#include <thread>

#include "MpqFiles.h"  // and TestFiles.h, QProcess

namespace {
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Waits for a worker process of `parent` to appear: its id, or 0.
pid_t AwaitWorkerOf(pid_t parent) {
  for (const auto deadline = Clock::now() + 20s; Clock::now() < deadline;)
    for (const QString& pid : QDir("/proc").entryList(QDir::Dirs)) {
      const QList<QByteArray> stat = ReadBytes("/proc/" + pid + "/stat").split(' ');  // pid (name) state ppid
      if (stat.size() > 3 && stat[1] == "(lmpqapi-worker)" && stat[2] != "Z" && stat[3].toInt() == parent)
        return pid.toInt();
    }
  return 0;
}

enum class Fault { kKillWorker, kStopWorker, kKillCaller };

struct Struck {
  bool struck = false;  // the fault came before the add was over
  // From the strike (when none came, from the worker's start) until the
  // caller (or, for a killed caller, the worker) ended.
  Clock::duration waited{};
};

// Runs one add with `fault` striking `after` ms past the worker's start,
// unless the add is over by then.
Struck AddStruckBy(Fault fault, int after, const QString& archive, const QString& sheet) {
  QProcess caller;
  StartAdd(caller, archive, sheet, kSheetName);
  const pid_t worker = AwaitWorkerOf(pid_t(caller.processId()));
  auto strike = Clock::now();
  Struck result;
  if (!caller.waitForFinished(after) && worker) {
    result.struck = true;
    if (fault == Fault::kKillCaller) caller.kill();
    else kill(worker, fault == Fault::kStopWorker ? SIGSTOP : SIGKILL);
    strike = Clock::now();
  }
  caller.waitForFinished(120000);
  // A worker whose caller was killed comes to this process (a subreaper); it
  // sees its input end and finishes on its own.
  if (worker && fault == Fault::kKillCaller) waitpid(worker, nullptr, 0);
  result.waited = Clock::now() - strike;
  return result;
}

TEST(LmpqapiWriters, AnAddStruckAtAnyPointLeavesTheOldArchiveOrTheNewAndTheCallerWaitsLittle) {
  ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
  QTemporaryDir dir;
  const QString archive = dir.filePath("Patch_D2.mpq");
  // A sheet large enough that the add takes a while to implode it.
  const QString sheet = WriteBytes(dir.filePath("weapons.txt"), SheetBytes("Lance", 100000));
  MakeMpq(archive, kFiles, {0, false, 16});
  MpqContents updated = kFiles;
  updated[kSheetName] = ReadBytes(sheet);
  const QByteArray original = ReadBytes(archive);
  // How long an add that nothing strikes runs: the strikes are spread over it.
  const auto whole = std::chrono::ceil<std::chrono::milliseconds>(AddStruckBy(Fault::kKillWorker, 120000, archive, sheet).waited);

  // How long the caller may wait after each fault: a dead worker is seen at
  // once; a stopped one after the ten seconds without progress; a worker
  // whose caller died ends by itself when its request is done.
  const struct {
    Fault fault;
    int points;
    Clock::duration least, most;
  } faults[] = {{Fault::kKillWorker, 12, 0s, 3s}, {Fault::kKillCaller, 8, 0s, 8s}, {Fault::kStopWorker, 1, 10s, 13s}};
  for (const auto& [fault, points, least, most] : faults) {
    OldOrNew outcomes;
    for (int i = 0; i <= points; ++i) {
      SCOPED_TRACE(testing::Message() << "fault " << int(fault) << ", point " << i);
      WriteBytes(archive, original);
      // The last strike never comes: the add is over.
      const Struck struck = AddStruckBy(fault, i == points ? 120000 : int(whole.count() * i / points), archive, sheet);
      EXPECT_TRUE(struck.struck || i > 0) << "the first strike comes before the add is over";
      if (struck.struck) {
        EXPECT_GE(struck.waited, least);
        EXPECT_LE(struck.waited, most);
      }
      outcomes.Count(archive, kFiles, updated);
    }
    // Killed workers' strikes span the add: the first leave the old archive,
    // the add that nothing strikes leaves the new one.
    EXPECT_TRUE(fault != Fault::kKillWorker || (outcomes.olds > 0 && outcomes.news > 0))
        << outcomes.olds << " old, " << outcomes.news << " new";
  }
  // What killed workers left behind goes at the next open.
  EXPECT_EQ(Add(archive, sheet, kSheetName), kAdded);
  EXPECT_EQ(FilesIn(dir.path()), QStringList({"Patch_D2.mpq", "weapons.txt"}));
}

TEST(LmpqapiWriters, WritersAtTheSameMomentWaitTheirTurnAndNoneIsLost) {
  QTemporaryDir dir;
  const QString archive = dir.filePath("Patch_D2.mpq");
  MakeMpq(archive, kFiles, {0, true, 16});
  // This test holds the writers' lock at first, longer than a worker may go
  // without progress: a waiting writer is no stalled one.
  const int held = open(qPrintable(archive), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(flock(held, LOCK_EX), 0);
  const QByteArray before = ReadBytes(archive);
  qputenv("LMPQAPI_WORKER_TIMEOUT_MS", "1000");
  MpqContents expected = kFiles;
  std::vector<std::unique_ptr<QProcess>> writers;
  for (int i = 0; i < 4; ++i) {
    const QByteArray name = "data\\global\\excel\\sheet" + QByteArray::number(i) + ".txt";
    expected[name] = SheetBytes("Writer" + QByteArray::number(i), 300 * (i + 1));
    writers.push_back(std::make_unique<QProcess>());
    StartAdd(*writers.back(), archive, WriteBytes(dir.filePath(QString("s%1.txt").arg(i)), expected[name]), name);
  }
  std::this_thread::sleep_for(2s);
  EXPECT_EQ(ReadBytes(archive), before) << "no writer went past the lock";
  close(held);
  for (auto& writer : writers) {
    ASSERT_TRUE(writer->waitForFinished(60000));
    EXPECT_EQ(writer->readAllStandardOutput() + writer->readAllStandardError(), kAdded);
  }
  qunsetenv("LMPQAPI_WORKER_TIMEOUT_MS");
  EXPECT_EQ(ReadMpq(archive, NamesOf(expected)), expected);
}

// The archive is updated where it is: through a symbolic link, with a hard
// link beside it, its owner, mode and extended attributes kept.
TEST(LmpqapiWriters, TheArchiveStaysTheSameFile) {
  QTemporaryDir dir;
  QDir(dir.path()).mkdir("game");
  const QString archive = dir.filePath("game/Patch_D2.mpq"), linked = dir.filePath("Patch_D2.mpq");
  MakeMpq(archive, kFiles, {0, false, 16});
  ASSERT_EQ(chmod(qPrintable(archive), 0640), 0);
  ASSERT_EQ(::link(qPrintable(archive), qPrintable(dir.filePath("game/hard.mpq"))), 0);
  ASSERT_TRUE(QFile::link(archive, linked));
  if (geteuid() == 0) { ASSERT_EQ(chown(qPrintable(archive), 65534, 65534), 0); }
  const bool attributes = setxattr(qPrintable(archive), "user.note", "mine", 4, 0) == 0;
  struct stat before {}, after {};
  ASSERT_EQ(stat(qPrintable(archive), &before), 0);

  const QString sheet = WriteBytes(dir.filePath("w.txt"), SheetBytes("Lance"));
  EXPECT_EQ(Add(linked, sheet, kSheetName), kAdded);
  ASSERT_EQ(stat(qPrintable(archive), &after), 0);
  EXPECT_TRUE(QFileInfo(linked).isSymLink());
  EXPECT_EQ(ReadMpq(dir.filePath("game/hard.mpq"), {kSheetName})[kSheetName], ReadBytes(sheet));
  EXPECT_EQ(QList<qulonglong>({after.st_ino, after.st_nlink, after.st_mode, after.st_uid, after.st_gid}),
            QList<qulonglong>({before.st_ino, 2, before.st_mode, before.st_uid, before.st_gid}));
  if (attributes) { EXPECT_EQ(getxattr(qPrintable(archive), "user.note", nullptr, 0), 4); }  // its size
}

// Appends leave replaced files behind as dead space; once that is more than
// a quarter of the archive, the next add makes a full, compacted copy, which
// takes the archive's place with its mode.
TEST(LmpqapiWriters, DeadSpaceIsCompactedByAFullCopy) {
  QTemporaryDir dir;
  const QString archive = dir.filePath("Patch_D2.mpq");
  MakeMpq(archive, kFiles, {0, true, 16});
  ASSERT_EQ(chmod(qPrintable(archive), 0640), 0);
  QByteArray noise(1800000, '\0');
  std::mt19937 random(7);
  for (char& c : noise) c = char(random());  // does not implode
  qint64 largest = 0;
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    noise[0] = char(round);
    const QString file = WriteBytes(dir.filePath("big.txt"), noise);
    EXPECT_EQ(Add(archive, file, kSheetName), kAdded);
    EXPECT_EQ(ReadMpq(archive, {kSheetName})[kSheetName], noise);
    largest = std::max(largest, QFileInfo(archive).size());
  }
  EXPECT_LT(QFileInfo(archive).size(), largest * 2 / 3) << "the third add dropped the dead space";
  struct stat after {};
  EXPECT_TRUE(stat(qPrintable(archive), &after) == 0 && (after.st_mode & 07777) == 0640) << std::oct << after.st_mode;
  EXPECT_EQ(FilesIn(dir.path()), QStringList({"big.txt", "Patch_D2.mpq"}));
}

}  // namespace
