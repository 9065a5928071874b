// A loaded sheet gives its file back: within a second of the load the window
// holds no descriptor, mapping or lease of it, so another program truncates
// it at once (a non-blocking open, which a lease would refuse) and the disk
// that holds it unmounts; and the grid still shows what was loaded.
#include <sys/mount.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QScopeGuard>
#include <cerrno>
#include <cstring>

#include "EditorFixture.h"
#include "FileHolds.h"

using FileReleaseTest = EditorFixture;

// Last on a tmpfs of its own, where one can be mounted.
TEST_F(FileReleaseTest, TheFileIsTheUsersAgainWithinASecondOfTheLoad) {
  // About 30 MB in 300,000 lines: many 2 MB stretches, and a short last one.
  QByteArray sheet = "name\tcode\tnote\r\n";
  for (int i = 0; i < 300000; ++i) sheet += "item" + QByteArray::number(i) + "\tax\t" + QByteArray(80, 'n') + "\r\n";
  for (const bool ownDisk : {false, true}) {
    SCOPED_TRACE(ownDisk ? "on a tmpfs of its own" : "in the temporary folder");
    const QString dir = m_dir.filePath(ownDisk ? "disk" : "folder");
    ASSERT_TRUE(QDir().mkpath(dir));
    const bool mounted = ownDisk && !qEnvironmentVariableIsSet("TW_TEST_NO_MOUNT") &&
                         ::mount("tmpfs", qPrintable(dir), "tmpfs", 0, "size=64m") == 0;
    if (ownDisk && !mounted) GTEST_SKIP() << "no tmpfs can be mounted here: the unmount is not checked";
    const auto unmount = qScopeGuard([&] { if (mounted) ::umount2(qPrintable(dir), MNT_DETACH); });
    const QString file = WriteBytes(dir + "/large.txt", sheet);
    const FileId id = FileIdOf(file);
    load(file);
    ASSERT_EQ(grid()->GetRows(), 300001);
    QElapsedTimer sinceLoad;
    sinceLoad.start();
    while (!HoldsOf(id).isEmpty() && sinceLoad.elapsed() < 3000) QTest::qWait(5);
    EXPECT_LT(sinceLoad.elapsed(), 1000) << "still held: " << HoldsOf(id).join(", ").toStdString();
    EXPECT_EQ(QProcess::execute("truncate", {"-s", "0", file}), 0);  // at once: HoldsOf found no lease
    EXPECT_EQ(QFileInfo(file).size(), 0);
    if (mounted) { EXPECT_EQ(::umount2(qPrintable(dir), 0), 0) << std::strerror(errno); }  // not detached: a busy disk fails
    EXPECT_EQ(grid()->GetTextMatrix(300000, 3), QByteArray(80, 'n'));
    EXPECT_EQ(grid()->GetTextMatrix(123457, 1), "item123456");
    // Labels keep counting past 16 bits, and rows stay right past several 131072-row pages.
    EXPECT_EQ(grid()->GetTextMatrix(32768, 0) + "|" + grid()->GetTextMatrix(300000, 0), "32768|300000");
  }
}
