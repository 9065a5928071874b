// Saving through the real editor window where a new file can't take the old
// one's place unseen: the file itself gets the new text, so its other names,
// its owner, its mode and its inode stay, and no copy is left behind.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/fsuid.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <functional>
#include <iostream>

#include "EditorFixture.h"

namespace {
struct stat statusOf(const QString& path) {
  struct stat status {};
  lstat(QFile::encodeName(path).constData(), &status);
  return status;
}

QStringList entriesOf(const QString& dir) {
  return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// Copies of old text left in the temporary folder for a file of this name.
QStringList copiesLeftFor(const QString& name) {
  return QDir(QDir::tempPath()).entryList({name + ".old-*"}, QDir::Files | QDir::Hidden);
}

bool takesNewFile(const QString& dir) {
  QFile probe(dir + "/probe");
  const bool made = probe.open(QIODevice::WriteOnly);
  if (made) probe.remove();
  return made;
}

// Makes a folder take no new file, the strongest way this process may: marked
// immutable (root with that capability), else without write permission. Root
// without the capability passes any permission, so it then acts as the user
// nobody towards the file system while the lock holds.
class LockedFolder {
 public:
  LockedFolder(const QString& dir, const QString& file) : m_dir(dir), m_file(file) {
    if (setImmutable(true)) {
      m_how = "immutable folder";
    } else if (QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther) &&
               geteuid() != 0) {
      m_how = "folder without write permission";
    } else if (geteuid() == 0) {
      // Nobody must reach the file and may write it; the folders above it are ours.
      for (QString up = QFileInfo(dir).absolutePath(); up != QDir::tempPath() && up.size() > 1;
           up = QFileInfo(up).absolutePath())
        chmod(QFile::encodeName(up).constData(), 0755);
      chmod(QFile::encodeName(file).constData(), 0666);
      setfsgid(65534);
      setfsuid(65534);
      m_asNobody = true;
      m_how = "folder without write permission, as the user nobody";
    }
    if (takesNewFile(dir)) m_how.clear();
  }
  ~LockedFolder() {
    if (m_asNobody) {
      setfsuid(0);
      setfsgid(0);
    }
    setImmutable(false);
    QFile::setPermissions(m_dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  }
  // How the folder was locked; empty when this process can't lock it.
  const QString& how() const { return m_how; }

 private:
  bool setImmutable(bool on) const {
    const int fd = open(QFile::encodeName(m_dir).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return false;
    int flags = 0;
    bool done = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (done && on != bool(flags & FS_IMMUTABLE_FL)) {
      flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
      done = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    close(fd);
    return done && on;
  }

  QString m_dir, m_file, m_how;
  bool m_asNobody = false;
};
}  // namespace

class SaveInPlaceTest : public EditorFixture {
 protected:
  // The sheet in `dir`, loaded through `open`, its first cell edited.
  QByteArray edit(const QString& open) {
    load(open);
    clickCell(1, 1);
    type("x");
    return "name\tcost\r\nswordx\t10\r\n";
  }
  const QByteArray m_sheet = "name\tcost\r\nsword\t10\r\n";
};

// Each case saves through one name and reads the text back through every
// name; the file keeps its inode wherever a new file would show.
TEST_F(SaveInPlaceTest, SaveKeepsLinksModeAndOwner) {
  struct Case {
    const char* what;
    std::function<QStringList(const QString& file)> prepare;  // gives the names, the one to open first
    bool sameInode;
    mode_t mode;
  };
  const QString dir = m_dir.filePath("sheets");
  const std::vector<Case> cases = {
      {"hard link", [&](const QString& file) {
         link(QFile::encodeName(file).constData(), QFile::encodeName(dir + "/other.txt").constData());
         return QStringList{file, dir + "/other.txt"}; }, true, 0644},
      {"symbolic link", [&](const QString& file) {
         QFile::link(file, m_dir.filePath("link.txt"));
         return QStringList{m_dir.filePath("link.txt"), file}; }, false, 0644},
      {"mode 0640", [&](const QString& file) {
         chmod(QFile::encodeName(file).constData(), 0640);
         return QStringList{file}; }, false, 0640},
      {"another user's file", [&](const QString& file) {
         if (chown(QFile::encodeName(file).constData(), 65534, 65534) != 0) return QStringList{};
         return QStringList{file}; }, true, 0644},
  };
  QStringList skipped;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    QDir(dir).removeRecursively();
    QFile::remove(m_dir.filePath("link.txt"));
    ASSERT_TRUE(QDir().mkpath(dir));
    const QString file = WriteBytes(dir + "/sheet.txt", m_sheet);
    chmod(QFile::encodeName(file).constData(), 0644);
    const QStringList names = c.prepare(file);
    if (names.isEmpty()) {
      skipped << QString("%1: needs root to give the file another owner").arg(c.what);
      continue;
    }
    const struct stat before = statusOf(file);
    const QStringList entries = entriesOf(dir);
    const QByteArray edited = edit(names[0]);
    m_messages.clear();
    menu(ID_FILE_SAVE_TEXT);
    EXPECT_EQ(m_messages, QStringList{"File saved"});
    for (const QString& name : names) EXPECT_EQ(ReadBytes(name), edited) << name.toStdString();
    const struct stat after = statusOf(file);
    if (c.sameInode) { EXPECT_EQ(after.st_ino, before.st_ino); }
    EXPECT_EQ(after.st_mode & 07777, c.mode);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
    EXPECT_TRUE(S_ISLNK(statusOf(m_dir.filePath("link.txt")).st_mode) == (c.what == std::string("symbolic link")));
    EXPECT_EQ(entriesOf(dir), entries);  // no copy or new file left beside it
    EXPECT_EQ(copiesLeftFor("sheet.txt"), QStringList{});
  }
  if (!skipped.isEmpty()) GTEST_SKIP() << skipped.join("; ").toStdString();
}

TEST_F(SaveInPlaceTest, SaveInAFolderThatTakesNoNewFile) {
  const QString dir = m_dir.filePath("locked");
  ASSERT_TRUE(QDir().mkpath(dir));
  const QString file = WriteBytes(dir + "/locked.txt", m_sheet);
  const QByteArray edited = edit(file);
  const ino_t inode = statusOf(file).st_ino;
  {
    const LockedFolder locked(dir, file);
    if (locked.how().isEmpty()) GTEST_SKIP() << "this process can make no folder that takes no new file";
    std::cout << "[ locked     ] " << locked.how().toStdString() << "\n";
    menu(ID_FILE_SAVE_TEXT);
  }
  EXPECT_EQ(m_messages, QStringList{"File saved"});
  EXPECT_EQ(ReadBytes(file), edited);
  EXPECT_EQ(statusOf(file).st_ino, inode);
  EXPECT_EQ(entriesOf(dir), QStringList{"locked.txt"});
  EXPECT_EQ(copiesLeftFor("locked.txt"), QStringList{});
}
