// Saving through the real editor window when there is nothing to save, and
// saves that fail for real: each is named with the file and its reason and
// leaves the file exactly as it was.
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QDir>
#include <QScopeGuard>
#include <csignal>
#include <iostream>

#include "EditorFixture.h"

using SheetSaveTest = EditorFixture;

// With no file loaded or a string table open, Save does nothing; so does
// Freeze, which looks for ".tbl" in the file's name only.
TEST_F(SheetSaveTest, NothingToSave) {
  QDir(m_dir.path()).mkdir("y.tbl");
  const QByteArray sheet = "name\tcost\r\nsword\t10\r\n";
  for (const QString name : {"", "strings.tbl", "y.tbl/z.txt"}) {
    if (!name.isEmpty()) load(write(name, sheet));
    menu(ID_FILE_SAVE_TEXT);
    menu(ID_FREEZE_NAME_COLUMN);
    EXPECT_TRUE(m_messages.isEmpty() && !grid()->isVisible()) << name.toStdString();
    EXPECT_EQ(name.isEmpty() ? sheet : ReadBytes(m_dir.filePath(name)), sheet);
    EXPECT_EQ(grid()->GetFixedCols(), name.endsWith(".txt") ? 2 : 1) << name.toStdString();
  }
}

// Each fault strikes a save by a new file renamed over the old one, or one
// that writes the file itself (it has a second name): the message names the
// file and the reason, and the file holds its old text.
TEST_F(SheetSaveTest, AFailedSaveLeavesTheFileAsItWas) {
  enum Fault { kReadOnly, kFolderGone, kDiskFull, kDiskFullInPlace, kSizeLimitMidWrite };
  const bool mayMount = !qEnvironmentVariableIsSet("TW_TEST_NO_MOUNT");
  QStringList skipped;
  for (const Fault fault : {kReadOnly, kFolderGone, kDiskFull, kDiskFullInPlace, kSizeLimitMidWrite}) {
    SCOPED_TRACE(fault);
    const bool inPlace = fault == kDiskFullInPlace || fault == kSizeLimitMidWrite;
    QByteArray original = "name\tcost\r\n";  // about 8 KB: more than the one page left on the small disk
    for (int i = 0; i < 600; ++i) original += "item" + QByteArray::number(i) + "\t" + QByteArray::number(i) + "\r\n";
    const QString dir = m_dir.filePath(QString::number(fault)), file = dir + "/sheet.txt";
    ASSERT_TRUE(QDir().mkpath(dir));
    // A full disk is a 64 KiB tmpfs where this process may mount one; elsewhere
    // a limit on the size of the files it writes fails the write the same way,
    // and the save that writes the file itself then has to put its old text back.
    const bool tmpfs = (fault == kDiskFull || fault == kDiskFullInPlace) && mayMount &&
                       ::mount("tmpfs", qPrintable(dir), "tmpfs", 0, "size=64k") == 0;
    const auto unmount = qScopeGuard([&] { if (tmpfs) ::umount2(qPrintable(dir), MNT_DETACH); });
    if (fault == kDiskFullInPlace && !tmpfs) {
      skipped << "full disk, file written in place: no tmpfs can be mounted here";
      continue;
    }
    if (fault == kDiskFull) std::cout << "[ disk full ] " << (tmpfs ? "tmpfs" : "file size limit") << "\n";
    WriteBytes(file, original);
    if (inPlace) { ASSERT_EQ(::link(qPrintable(file), qPrintable(dir + "/twin.txt")), 0); }
    if (fault == kDiskFull) WriteBytes(dir + "/filler", QByteArray((15 - (original.size() + 4095) / 4096) * 4096, 'f'));
    if (fault == kDiskFullInPlace) WriteBytes(dir + "/filler", QByteArray(64 * 1024, 'f'));  // every page taken
    load(file);
    clickCell(1, 1);
    editor()->insert(QString(inPlace ? 9000 : 1, 'x'));  // in place: more than the pages the file has
    ASSERT_TRUE(fault != kReadOnly || QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadOther));
    ASSERT_TRUE(fault != kFolderGone || QDir(dir).removeRecursively());
    const auto entries = [&] { return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot); };
    const QStringList before = entries();
    m_messages.clear();
    rlimit unlimited{};
    getrlimit(RLIMIT_FSIZE, &unlimited);
    // The old text fits under the limit, the new one does not.
    const rlim_t size = static_cast<rlim_t>(fault == kSizeLimitMidWrite ? original.size() + 100 : original.size() / 2);
    const rlimit limit{size, unlimited.rlim_max};
    std::signal(SIGXFSZ, SIG_IGN);  // past the limit a write fails with EFBIG instead of ending the process
    if ((fault == kDiskFull && !tmpfs) || fault == kSizeLimitMidWrite) setrlimit(RLIMIT_FSIZE, &limit);
    menu(ID_FILE_SAVE_TEXT);
    setrlimit(RLIMIT_FSIZE, &unlimited);
    const char* reasons[] = {"read-only", "No such file or directory", tmpfs ? "No space left" : "File too large",
                             "No space left", "File too large"};
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(m_messages[0].contains(file) && m_messages[0].contains(reasons[fault]) &&
                m_messages[0].contains("The file on disk is unchanged.")) << m_messages[0].toStdString();
    EXPECT_EQ(ReadBytes(file), fault == kFolderGone ? "<missing>" : original);
    if (inPlace) { EXPECT_EQ(ReadBytes(dir + "/twin.txt"), original); }
    EXPECT_EQ(entries(), before);  // no half-written file or copy beside it
    EXPECT_EQ(QDir(QDir::tempPath()).entryList({"sheet.txt.old-*"}), QStringList{});
    EXPECT_TRUE(!m_dlg->m_bBusy && !QApplication::overrideCursor());
  }
  if (!skipped.isEmpty()) GTEST_SKIP() << skipped.join("; ").toStdString();
}
