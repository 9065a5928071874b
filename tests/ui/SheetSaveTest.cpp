// Saving through the real editor window: files that must keep their other
// names, owner, mode, extended attributes (an ACL among them) and inode, or
// sit in a folder that takes no new file, get the new text written into
// them; saves that fail for real name the file and the reason and leave it
// exactly as it was. No copy is ever left behind.
#include <sys/fsuid.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <QDir>
#include <QScopeGuard>
#include <csignal>
#include <functional>
#include <map>

#include "EditorFixture.h"

namespace {
struct stat StatusOf(const QString& path) {
  struct stat status {};
  lstat(QFile::encodeName(path).constData(), &status);
  return status;
}

QStringList EntriesOf(const QString& dir) { return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot); }

// Copies of old text left in the temporary folder for a file of this name.
QStringList CopiesLeftFor(const QString& name) { return QDir(QDir::tempPath()).entryList({name + ".old-*"}, QDir::Files | QDir::Hidden); }

int Chmod(const QString& path, mode_t mode) { return chmod(QFile::encodeName(path).constData(), mode); }

bool SetAttribute(const QString& path, const char* name, const QByteArray& value) {
  return setxattr(QFile::encodeName(path).constData(), name, value.constData(), static_cast<size_t>(value.size()), 0) == 0;
}

// Every extended attribute of the file by name.
std::map<QByteArray, QByteArray> AttributesOf(const QString& path) {
  const QByteArray file = QFile::encodeName(path);
  QByteArray names(4096, '\0'), value(4096, '\0');
  names.resize(std::max<ssize_t>(listxattr(file.constData(), names.data(), 4096), 0));
  std::map<QByteArray, QByteArray> attributes;
  for (const QByteArray& name : names.split('\0'))
    if (!name.isEmpty()) attributes[name] = value.first(std::max<ssize_t>(getxattr(file.constData(), name.constData(), value.data(), 4096), 0));
  return attributes;
}

// The access ACL user::rw-, user:daemon:rw-, group::r--, mask::rw-, other::r--
// as the kernel keeps it: version 2, then tag, permissions and id (LE) per entry.
const QByteArray kDaemonMayWrite = QByteArray::fromHex(
    "02000000 0100 0600 ffffffff 0200 0600 01000000 0400 0400 ffffffff 1000 0600 ffffffff 2000 0400 ffffffff");

// Makes a folder take no new file: no write permission, and for root, whom
// permissions do not stop, the file system used as the user nobody while the
// lock holds (the folders above open to nobody).
class LockedFolder {
 public:
  explicit LockedFolder(const QString& dir) : m_dir(dir) {
    Chmod(dir, 0555);
    if (geteuid() != 0) return;
    for (QString up = QFileInfo(dir).absolutePath(); up != QDir::tempPath() && up.size() > 1; up = QFileInfo(up).absolutePath())
      Chmod(up, 0755);
    setfsgid(65534);
    setfsuid(65534);
  }
  ~LockedFolder() {
    if (geteuid() == 0) {
      setfsuid(0);
      setfsgid(0);
    }
    Chmod(m_dir, 0755);
  }
  const QString m_dir;
};

using SheetSaveTest = EditorFixture;

// Each case saves through one name and reads the text back through every
// name; the file keeps its inode wherever a new file would show.
TEST_F(SheetSaveTest, SaveKeepsLinksModeOwnerAndFolder) {
  const QString dir = m_dir.filePath("sheets"), other = dir + "/other.txt", symlink = m_dir.filePath("link.txt");
  const struct {
    const char* what;
    std::function<QStringList(const QString& file)> prepare;  // the names, the one to open first
    bool sameInode, locked;
    mode_t mode;
  } cases[] = {
      {"hard link", [&](const QString& file) { ::link(qPrintable(file), qPrintable(other)); return QStringList{file, other}; },
       true, false, 0644},
      {"symbolic link", [&](const QString& file) { QFile::link(file, symlink); return QStringList{symlink, file}; }, false, false, 0644},
      {"mode 0640", [&](const QString& file) { Chmod(file, 0640); return QStringList{file}; }, false, false, 0640},
      {"another user's file", [&](const QString& file) {
         return chown(qPrintable(file), 65534, 65534) == 0 ? QStringList{file} : QStringList{}; }, true, false, 0644},
      {"folder that takes no new file", [&](const QString& file) { Chmod(file, 0666); return QStringList{file}; }, true, true, 0666},
      // Its group may only read: the mode's group bits are the ACL's mask.
      {"ACL", [&](const QString& file) {
         return SetAttribute(file, "system.posix_acl_access", kDaemonMayWrite) ? QStringList{file} : QStringList{}; },
       true, false, 0664},
      {"extended attribute", [&](const QString& file) {
         return SetAttribute(file, "user.note", "checked") ? QStringList{file} : QStringList{}; }, true, false, 0644},
  };
  QStringList skipped;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    QDir(dir).removeRecursively();
    QFile::remove(symlink);
    ASSERT_TRUE(QDir().mkpath(dir));
    const QString file = write("sheets/sheet.txt", "name\tcost\r\nsword\t10\r\n");
    Chmod(file, 0644);
    const QStringList names = c.prepare(file);
    if (names.isEmpty()) {
      skipped << c.what;
      continue;
    }
    const struct stat before = StatusOf(file);
    const auto attributes = AttributesOf(file);
    const QStringList entries = EntriesOf(dir);
    load(names[0]);
    clickCell(1, 1);
    editor()->setText("");  // shorter: nothing of the old text may be left at the end
    m_messages.clear();
    {
      std::optional<LockedFolder> locked;
      if (c.locked) locked.emplace(dir);
      QFile probe(dir + "/probe");
      if (c.locked && probe.open(QIODevice::WriteOnly)) FAIL() << "the folder takes new files";
      menu(ID_FILE_SAVE_TEXT);
    }
    EXPECT_EQ(m_messages, QStringList{"File saved"});
    for (const QString& name : names) EXPECT_EQ(ReadBytes(name), "name\tcost\r\n\t10\r\n") << name.toStdString();
    const struct stat after = StatusOf(file);
    if (c.sameInode) { EXPECT_EQ(after.st_ino, before.st_ino); }
    EXPECT_EQ(after.st_mode & 07777, c.mode);
    EXPECT_EQ(QList<uint>({after.st_uid, after.st_gid}), QList<uint>({before.st_uid, before.st_gid}));
    EXPECT_EQ(AttributesOf(file), attributes);  // the ACL's entries, the owning group's among them
    EXPECT_EQ(bool(S_ISLNK(StatusOf(symlink).st_mode)), c.what == std::string("symbolic link"));
    EXPECT_EQ(EntriesOf(dir), entries);  // no copy or new file left beside it
    EXPECT_EQ(CopiesLeftFor("sheet.txt"), QStringList{});
  }
  // Only root gives a file another owner; ACLs and attributes need a file system that keeps them.
  if (!skipped.isEmpty()) GTEST_SKIP() << "could not be made here: " << skipped.join(", ").toStdString();
}

// Each fault strikes a save by a new file renamed over the old one, or one
// that writes the file itself (it has a second name, or an ACL and a note):
// the message names the file and the reason, and the file holds its old text
// and attributes.
TEST_F(SheetSaveTest, AFailedSaveLeavesTheFileAsItWas) {
  enum Fault { kReadOnly, kFolderGone, kDiskFull, kDiskFullInPlace, kSizeLimitMidWrite };
  const bool mayMount = !qEnvironmentVariableIsSet("TW_TEST_NO_MOUNT");
  QString skipped;
  const QByteArray original = SheetBytes("item", 700);  // about 8 KB: more than the one page left on the small disk
  for (const Fault fault : {kReadOnly, kFolderGone, kDiskFull, kDiskFullInPlace, kSizeLimitMidWrite}) {
    SCOPED_TRACE(fault);
    const bool inPlace = fault == kDiskFullInPlace || fault == kSizeLimitMidWrite;
    const QString dir = m_dir.filePath(QString::number(fault)), file = dir + "/sheet.txt";
    ASSERT_TRUE(QDir().mkpath(dir));
    // A full disk is a 64 KiB tmpfs where this process may mount one; elsewhere
    // a limit on the size of the files it writes fails the write the same way,
    // and the save that writes the file itself then has to put its old text back.
    const bool tmpfs = (fault == kDiskFull || fault == kDiskFullInPlace) && mayMount &&
                       ::mount("tmpfs", qPrintable(dir), "tmpfs", 0, "size=64k") == 0;
    const auto unmount = qScopeGuard([&] { if (tmpfs) ::umount2(qPrintable(dir), MNT_DETACH); });
    if (fault == kDiskFullInPlace && !tmpfs) {
      skipped = "full disk, file written in place: no tmpfs can be mounted here";
      continue;
    }
    WriteBytes(file, original);
    if (fault == kDiskFullInPlace) { ASSERT_EQ(::link(qPrintable(file), qPrintable(dir + "/twin.txt")), 0); }
    if (fault == kSizeLimitMidWrite &&
        !(SetAttribute(file, "system.posix_acl_access", kDaemonMayWrite) && SetAttribute(file, "user.note", "kept"))) {
      skipped = "size limit, file written in place: this file system keeps no ACL or attribute";
      continue;
    }
    const auto attributes = AttributesOf(file);
    if (fault == kDiskFull) WriteBytes(dir + "/filler", QByteArray((15 - (original.size() + 4095) / 4096) * 4096, 'f'));
    if (fault == kDiskFullInPlace) WriteBytes(dir + "/filler", QByteArray(64 * 1024, 'f'));  // every page taken
    load(file);
    clickCell(1, 1);
    editor()->insert(QString(inPlace ? 9000 : 1, 'x'));  // in place: more than the pages the file has
    ASSERT_TRUE(fault != kReadOnly || QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadOther));
    ASSERT_TRUE(fault != kFolderGone || QDir(dir).removeRecursively());
    const QStringList before = EntriesOf(dir);
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
    if (fault == kDiskFullInPlace) { EXPECT_EQ(ReadBytes(dir + "/twin.txt"), original); }
    EXPECT_EQ(AttributesOf(file), fault == kFolderGone ? decltype(attributes)() : attributes);
    EXPECT_EQ(EntriesOf(dir), before);  // no half-written file or copy beside it
    EXPECT_EQ(CopiesLeftFor("sheet.txt"), QStringList{});
    EXPECT_TRUE(!m_dlg->m_bBusy && !QApplication::overrideCursor());
  }
  if (!skipped.isEmpty()) GTEST_SKIP() << skipped.toStdString();
}

}  // namespace
