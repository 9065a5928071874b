// Saving through the real editor window: files that must keep their other
// names, owner, mode, extended attributes (an ACL among them) and inode, or
// sit in a folder that takes no new file, get the new text written into
// them; saves that fail for real name the file and the reason and leave it
// exactly as it was. No copy is ever left behind. Each row's file is named
// after the row, so that rows running side by side never see each other's
// copies in the temporary folder.
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
QStringList EntriesOf(const QString& dir) { return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot); }

// Every file in the folder, hidden ones too, with its bytes.
std::map<QString, QByteArray> FilesIn(const QString& dir) {
  std::map<QString, QByteArray> files;
  for (const QString& name : EntriesOf(dir)) files[name] = ReadBytes(dir + "/" + name);
  return files;
}

// Copies of old text left in the temporary folder for this file.
QStringList CopiesLeftFor(const QString& file) {
  return QDir(QDir::tempPath()).entryList({QFileInfo(file).fileName() + ".old-*"}, QDir::Files | QDir::Hidden);
}

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

// Makes a folder take no new file while the guard given back lives: no write
// permission, and for root, whom permissions do not stop, the file system used
// as the user nobody (the folders above open to nobody). Anyone else is
// refused the change of user, which then does nothing.
auto LockFolder(const QString& dir) {
  Chmod(dir, 0555);
  for (QString up = QFileInfo(dir).absolutePath(); up != QDir::tempPath() && up.size() > 1; up = QFileInfo(up).absolutePath())
    Chmod(up, 0755);
  setfsgid(65534);
  setfsuid(65534);
  return qScopeGuard([dir] {
    setfsuid(geteuid());
    setfsgid(getegid());
    Chmod(dir, 0755);
  });
}

QString OnlyIf(bool made, const QString& file) { return made ? file : QString(); }

template <class Row>
std::string RowName(const testing::TestParamInfo<Row>& info) { return info.param.name; }

// A file that must stay what it is through a save: how it is made so, giving
// the name to open it by (none: it cannot be made here), whether it keeps its
// inode and the mode it must have afterwards. Every name in its folder is one
// of its names.
struct Kept {
  const char* name;
  std::function<QString(const QString& dir, const QString& file)> prepare;
  bool sameInode;
  mode_t mode;
  bool lockFolder = false;  // during the save
};

const Kept kKept[] = {
    {"HardLink", [](auto& dir, auto& file) { ::link(qPrintable(file), qPrintable(dir + "/other.txt")); return file; }, true, 0644},
    {"SymbolicLink", [](auto& dir, auto& file) { QFile::link(file, dir + "/link.txt"); return dir + "/link.txt"; }, false, 0644},
    {"Mode0640", [](auto&, auto& file) { Chmod(file, 0640); return file; }, false, 0640},
    // Only root gives a file another owner.
    {"AnotherUsersFile", [](auto&, auto& file) { return OnlyIf(chown(qPrintable(file), 65534, 65534) == 0, file); }, true, 0644},
    {"FolderTakesNoNewFile", [](auto&, auto& file) { Chmod(file, 0666); return file; }, true, 0666, true},
    // Its group may only read: the mode's group bits are the ACL's mask.
    {"Acl", [](auto&, auto& file) { return OnlyIf(SetAttribute(file, "system.posix_acl_access", kDaemonMayWrite), file); },
     true, 0664},
    {"ExtendedAttribute", [](auto&, auto& file) { return OnlyIf(SetAttribute(file, "user.note", "checked"), file); }, true, 0644},
};

class SaveKeeps : public EditorFixture, public testing::WithParamInterface<Kept> {};

// Saved through one name, the text reads back through every name; the file
// keeps its inode wherever a new file would show.
TEST_P(SaveKeeps, LinksModeOwnerAndFolder) {
  const Kept& row = GetParam();
  const QString dir = m_dir.filePath("sheets");
  ASSERT_TRUE(QDir().mkpath(dir));
  const QString file = WriteBytes(dir + "/" + row.name + ".txt", "name\tcost\r\nsword\t10\r\n");
  Chmod(file, 0644);
  const QString opened = row.prepare(dir, file);
  if (opened.isEmpty()) GTEST_SKIP() << "cannot be made here: another owner needs root; an ACL or attribute, a file system keeping them";
  struct stat before {}, after {};
  lstat(qPrintable(file), &before);
  const auto attributes = AttributesOf(file);
  const QStringList entries = EntriesOf(dir);
  load(opened);
  clickCell(1, 1);
  editor()->setText("");  // shorter: nothing of the old text may be left at the end
  m_messages.clear();
  {
    std::optional<decltype(LockFolder(dir))> locked;
    if (row.lockFolder) locked.emplace(LockFolder(dir));
    ASSERT_FALSE(row.lockFolder && QFile(dir + "/probe").open(QIODevice::WriteOnly)) << "the folder takes new files";
    menu(ID_FILE_SAVE_TEXT);
  }
  EXPECT_EQ(m_messages, QStringList{"File saved"});
  for (const QString& name : EntriesOf(dir)) EXPECT_EQ(ReadBytes(dir + "/" + name), "name\tcost\r\n\t10\r\n") << name.toStdString();
  lstat(qPrintable(file), &after);
  EXPECT_TRUE(after.st_ino == before.st_ino || !row.sameInode);
  EXPECT_EQ(after.st_mode & 07777, row.mode);
  EXPECT_EQ(QList<uint>({after.st_uid, after.st_gid}), QList<uint>({before.st_uid, before.st_gid}));
  EXPECT_EQ(AttributesOf(file), attributes);  // the ACL's entries, the owning group's among them
  EXPECT_EQ(QFileInfo(opened).isSymLink(), opened != file);
  EXPECT_EQ(EntriesOf(dir), entries);  // no copy or new file left beside it
  EXPECT_EQ(CopiesLeftFor(file), QStringList{});
}

INSTANTIATE_TEST_SUITE_P(Files, SaveKeeps, testing::ValuesIn(kKept), RowName<Kept>);

const QByteArray kOriginal = SheetBytes("item", 700);  // about 8 KB: more than the one page left on the small disk

// A save that fails, and the reason its message gives. `prepare` readies the
// file's folder before the load (false: it cannot be made here), `strike`
// brings the fault on after the edit. A file written in place (it has a
// second name, or an ACL and a note) is made longer than the pages it has, so
// that the write fails midway and its old text has to be put back.
struct Fault {
  const char* name;
  const char* reason;
  bool tmpfs = false;  // the folder is a 64 KiB disk of its own
  bool inPlace = false;
  rlim_t sizeLimit = RLIM_INFINITY;  // on the files this process writes
  std::function<bool(const QString& dir, const QString& file)> prepare = [](auto&, auto&) { return true; };
  std::function<bool(const QString& dir, const QString& file)> strike = [](auto&, auto&) { return true; };
};

const Fault kFaults[] = {
    {.name = "ReadOnly", .reason = "read-only", .strike = [](auto&, auto& file) {
       return QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadOther); }},
    {.name = "FolderGone", .reason = "No such file or directory",
     .strike = [](auto& dir, auto&) { return QDir(dir).removeRecursively(); }},
    // One of the disk's 16 pages left: the new file cannot be written whole.
    {.name = "DiskFull", .reason = "No space left", .tmpfs = true, .prepare = [](auto& dir, auto&) {
       WriteBytes(dir + "/filler", QByteArray((15 - (kOriginal.size() + 4095) / 4096) * 4096, 'f'));
       return true; }},
    // Half the old text: the new file cannot be written whole.
    {.name = "SizeLimit", .reason = "File too large", .sizeLimit = rlim_t(kOriginal.size() / 2)},
    // Every page taken, by a filler that got what room there was.
    {.name = "DiskFullInPlace", .reason = "No space left", .tmpfs = true, .inPlace = true,
     .prepare = [](auto& dir, auto& file) {
       const bool linked = ::link(qPrintable(file), qPrintable(dir + "/twin.txt")) == 0;
       WriteBytes(dir + "/filler", QByteArray(64 * 1024, 'f'));
       return linked; }},
    // The old text fits under the limit, the new one does not: the write fails midway.
    {.name = "SizeLimitMidWrite", .reason = "File too large", .inPlace = true, .sizeLimit = rlim_t(kOriginal.size() + 100),
     .prepare = [](auto&, auto& file) {
       return SetAttribute(file, "system.posix_acl_access", kDaemonMayWrite) && SetAttribute(file, "user.note", "kept"); }},
};

class AFailedSave : public EditorFixture, public testing::WithParamInterface<Fault> {};

TEST_P(AFailedSave, LeavesTheFileAsItWas) {
  const Fault& fault = GetParam();
  const QString dir = m_dir.filePath("folder"), file = dir + "/" + fault.name + ".txt";
  ASSERT_TRUE(QDir().mkpath(dir));
  const bool mounted = fault.tmpfs && !qEnvironmentVariableIsSet("TW_TEST_NO_MOUNT") &&
                       ::mount("tmpfs", qPrintable(dir), "tmpfs", 0, "size=64k") == 0;
  const auto unmount = qScopeGuard([&] { if (mounted) ::umount2(qPrintable(dir), MNT_DETACH); });
  if (fault.tmpfs && !mounted) GTEST_SKIP() << "no tmpfs can be mounted here";
  WriteBytes(file, kOriginal);
  if (!fault.prepare(dir, file)) GTEST_SKIP() << "this file system keeps no ACL or attribute, or no second name";
  load(file);
  clickCell(1, 1);
  editor()->insert(QString(fault.inPlace ? 9000 : 1, 'x'));
  ASSERT_TRUE(fault.strike(dir, file));
  const auto files = FilesIn(dir);  // the file's old text, its twin's, and nothing else beside them
  const auto attributes = AttributesOf(file);
  m_messages.clear();
  rlimit unlimited{};
  getrlimit(RLIMIT_FSIZE, &unlimited);
  const rlimit limit{std::min(fault.sizeLimit, unlimited.rlim_max), unlimited.rlim_max};
  std::signal(SIGXFSZ, SIG_IGN);  // past the limit a write fails with EFBIG instead of ending the process
  setrlimit(RLIMIT_FSIZE, &limit);
  menu(ID_FILE_SAVE_TEXT);
  setrlimit(RLIMIT_FSIZE, &unlimited);
  ASSERT_EQ(m_messages.size(), 1);
  EXPECT_TRUE(m_messages[0].contains(file) && m_messages[0].contains(fault.reason) &&
              m_messages[0].contains("The file on disk is unchanged.")) << m_messages[0].toStdString();
  EXPECT_EQ(ReadBytes(file), files.empty() ? QByteArray("<missing>") : kOriginal);  // gone with its folder, or as it was
  EXPECT_EQ(FilesIn(dir), files);  // no half-written file or copy beside it
  EXPECT_EQ(AttributesOf(file), attributes);
  EXPECT_EQ(CopiesLeftFor(file), QStringList{});
  EXPECT_TRUE(!m_dlg->m_bBusy && !QApplication::overrideCursor());
}

INSTANTIATE_TEST_SUITE_P(Faults, AFailedSave, testing::ValuesIn(kFaults), RowName<Fault>);

}  // namespace
