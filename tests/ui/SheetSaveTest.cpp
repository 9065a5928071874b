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
#include <QRegularExpression>
#include <QScopeGuard>
#include <csignal>
#include <functional>
#include <map>

#include "EditorFixture.h"

namespace {
// Every file in the folder, hidden ones too, with its bytes.
std::map<QString, QByteArray> ContentsOf(const QString& dir) {
  std::map<QString, QByteArray> files;
  for (const QString& name : FilesIn(dir))
    files[name] = ReadBytes(dir + "/" + name);
  return files;
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

const QByteArray kOriginal = SheetBytes("item", 700);  // about 8 KB: two pages
const QByteArray kEmptied = QByteArray(kOriginal).replace("\nitem0\t", "\n\t");  // shorter: no old tail may stay
// The message of a save that failed, as a pattern: $file stands for the file.
QString Failed(const char* reason) { return QString("Can't save $file\n.*%1.*\nThe file on disk is unchanged\\.").arg(reason); }

// A save: how the file is readied before the load (giving the name to open it
// by; none: it cannot be made here), the text typed over its first cell, the
// fault brought on after the edit, the message, and the text every name of the
// file holds afterwards. A file written in place (it has a second name, or an
// ACL and a note) is made longer than the pages it has, so that the write
// fails midway and its old text has to be put back.
struct Save {
  const char* name;
  std::function<QString(const QString& dir, const QString& file)> prepare = [](auto&, auto& file) { return file; };
  bool sameInode = true;    // else a new file may take its names
  bool lockFolder = false;  // during the save
  QString says = "File saved";
  QString typed = "";
  QByteArray after = kEmptied;
  bool tmpfs = false;                // the folder is a 64 KiB disk of its own, which the row fills
  rlim_t sizeLimit = RLIM_INFINITY;  // on the files this process writes
  std::function<bool(const QString& dir, const QString& file)> strike = [](auto&, auto&) { return true; };
};

const QString kLonger(9000, 'x');

const Save kSaves[] = {
    {"HardLink", [](auto& dir, auto& file) { ::link(qPrintable(file), qPrintable(dir + "/other.txt")); return file; }},
    {"SymbolicLink", [](auto& dir, auto& file) { QFile::link(file, dir + "/link.txt"); return dir + "/link.txt"; }, false},
    {"Mode0640", [](auto&, auto& file) { Chmod(file, 0640); return file; }, false},
    // Only root gives a file another owner.
    {"AnotherUsersFile", [](auto&, auto& file) { return OnlyIf(chown(qPrintable(file), 65534, 65534) == 0, file); }},
    {"FolderTakesNoNewFile", [](auto&, auto& file) { Chmod(file, 0666); return file; }, true, true},
    // Its group may only read: the mode's group bits are the ACL's mask.
    {"Acl", [](auto&, auto& file) { return OnlyIf(SetAttribute(file, "system.posix_acl_access", kDaemonMayWrite), file); }},
    {"ExtendedAttribute", [](auto&, auto& file) { return OnlyIf(SetAttribute(file, "user.note", "checked"), file); }},
    {.name = "ReadOnly", .says = Failed("read-only"), .typed = "x", .after = kOriginal,
     .strike = [](auto&, auto& file) { return QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadOther); }},
    {.name = "FolderGone", .says = Failed("No such file or directory"), .typed = "x", .after = kOriginal,
     .strike = [](auto& dir, auto&) { return QDir(dir).removeRecursively(); }},
    // Half the old text: the new file cannot be written whole.
    {.name = "SizeLimit", .says = Failed("File too large"), .typed = "x", .after = kOriginal, .sizeLimit = rlim_t(kOriginal.size() / 2)},
    // Every page taken, by a filler that got what room there was.
    {.name = "DiskFullInPlace", .prepare = [](auto& dir, auto& file) {
       const bool linked = ::link(qPrintable(file), qPrintable(dir + "/twin.txt")) == 0;
       WriteBytes(dir + "/filler", QByteArray(64 * 1024, 'f'));
       return OnlyIf(linked, file); }, .says = Failed("No space left"), .typed = kLonger, .after = kOriginal, .tmpfs = true},
    // The old text fits under the limit, the new one does not: the write fails midway.
    {.name = "SizeLimitMidWrite", .prepare = [](auto&, auto& file) {
       return OnlyIf(SetAttribute(file, "system.posix_acl_access", kDaemonMayWrite) && SetAttribute(file, "user.note", "kept"), file); },
     .says = Failed("File too large"), .typed = kLonger, .after = kOriginal, .sizeLimit = rlim_t(kOriginal.size() + 100)},
};

void PrintTo(const Save& save, std::ostream* out) { *out << save.name; }

class Saving : public EditorFixture, public testing::WithParamInterface<Save> {};

// Saved through one name, the text reads back through every name of the file,
// or, when the save fails, as it was; nothing else in its folder changes, and
// the file keeps its owner, mode and attributes, and its inode wherever a new
// file would show.
TEST_P(Saving, KeepsTheFileWhatItIs) {
  const Save& row = GetParam();
  const QString dir = m_dir.filePath("sheets"), file = dir + "/" + row.name + ".txt";
  ASSERT_TRUE(QDir().mkpath(dir));
  const bool mounted = row.tmpfs && !qEnvironmentVariableIsSet("TW_TEST_NO_MOUNT") &&
                       ::mount("tmpfs", qPrintable(dir), "tmpfs", 0, "size=64k") == 0;
  const auto unmount = qScopeGuard([&] { if (mounted) ::umount2(qPrintable(dir), MNT_DETACH); });
  if (row.tmpfs && !mounted) GTEST_SKIP() << "no tmpfs can be mounted here";
  WriteBytes(file, kOriginal);
  const QString opened = row.prepare(dir, file);
  if (opened.isEmpty()) GTEST_SKIP() << "cannot be made here: another owner needs root; an ACL or attribute, a file system keeping them";
  load(opened);
  clickCell(1, 1);
  editor()->setText(row.typed);
  ASSERT_TRUE(row.strike(dir, file));
  auto files = ContentsOf(dir);  // the file's old text through each of its names, and what else is there
  for (auto& [name, bytes] : files) bytes = bytes == kOriginal ? row.after : bytes;
  const auto attributes = AttributesOf(file);
  struct stat before {}, after {};
  lstat(qPrintable(file), &before);
  m_messages.clear();
  {
    std::optional<decltype(LockFolder(dir))> locked;
    if (row.lockFolder) locked.emplace(LockFolder(dir));
    ASSERT_FALSE(row.lockFolder && QFile(dir + "/probe").open(QIODevice::WriteOnly)) << "the folder takes new files";
    rlimit unlimited{};
    getrlimit(RLIMIT_FSIZE, &unlimited);
    const rlimit limit{std::min(row.sizeLimit, unlimited.rlim_max), unlimited.rlim_max};
    std::signal(SIGXFSZ, SIG_IGN);  // past the limit a write fails with EFBIG instead of ending the process
    setrlimit(RLIMIT_FSIZE, &limit);
    menu(ID_FILE_SAVE_TEXT);
    setrlimit(RLIMIT_FSIZE, &unlimited);
  }
  ASSERT_EQ(m_messages.size(), 1);
  const QString says = QRegularExpression::anchoredPattern(QString(row.says).replace("$file", QRegularExpression::escape(file)));
  EXPECT_TRUE(QRegularExpression(says).match(m_messages[0]).hasMatch()) << m_messages[0].toStdString();
  EXPECT_EQ(ContentsOf(dir), files);  // no half-written file or copy beside it
  lstat(qPrintable(file), &after);
  EXPECT_TRUE(after.st_ino == before.st_ino || !row.sameInode);
  EXPECT_EQ(QList<uint>({after.st_mode, after.st_uid, after.st_gid}), QList<uint>({before.st_mode, before.st_uid, before.st_gid}));
  EXPECT_EQ(AttributesOf(file), attributes);  // the ACL's entries, the owning group's among them
  EXPECT_EQ(QDir(QDir::tempPath()).entryList({QFileInfo(file).fileName() + ".old-*"}, QDir::Files | QDir::Hidden), QStringList{});
  EXPECT_TRUE(!m_dlg->m_bBusy && !QApplication::overrideCursor());
}

INSTANTIATE_TEST_SUITE_P(Files, Saving, testing::ValuesIn(kSaves), testing::PrintToStringParamName());

}  // namespace
