// Writers of one archive, as the editor starts them: several writers at once
// (none lost), the archive kept as the same file, and the full copy that
// compacts. (Workers and callers struck half-way: LmpqapiTest.cpp.)
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <QFileInfo>
#include <QThread>
#include <random>

#include "MpqFiles.h"  // and TestFiles.h, QProcess

namespace {

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
  QThread::sleep(2);
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
// link beside it, its owner, mode and extended attributes kept; also where it
// starts after 512 bytes of a program that carries it.
TEST(LmpqapiWriters, TheArchiveStaysTheSameFile) {
  for (const int at : {0, 512}) {
    SCOPED_TRACE(at);
    QTemporaryDir dir;
    QDir(dir.path()).mkdir("game");
    const QString archive = dir.filePath("game/Patch_D2.mpq"), linked = dir.filePath("Patch_D2.mpq");
    MakeMpq(archive, kFiles, {0, false, 16});
    WriteBytes(archive, QByteArray(at, 'x') + ReadBytes(archive));
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
}

// Appends leave replaced files behind as dead space; once that is more than
// a quarter of the archive, the next add makes a full, compacted copy, which
// takes the archive's place with its mode. A full copy that a killed worker
// left goes at the next open; one whose maker still runs (it holds its lock) stays.
TEST(LmpqapiWriters, DeadSpaceIsCompactedByAFullCopy) {
  QTemporaryDir dir;
  const QString archive = dir.filePath("Patch_D2.mpq");
  MakeMpq(archive, kFiles, {0, true, 16});
  ASSERT_EQ(chmod(qPrintable(archive), 0640), 0);
  WriteBytes(archive + ".lmpqapi-1.tmp", "left by a killed worker");
  const int running = open(qPrintable(WriteBytes(archive + ".lmpqapi-2.tmp", "being made")), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(flock(running, LOCK_EX | LOCK_NB), 0);
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
  EXPECT_EQ(FilesIn(dir.path()), QStringList({"big.txt", "Patch_D2.mpq", "Patch_D2.mpq.lmpqapi-2.tmp"}));
  close(running);
}

}  // namespace
