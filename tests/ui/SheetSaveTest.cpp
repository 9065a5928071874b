// Saving through the real editor window: what reaches the disk after loads
// and edits, and that a save that cannot be made says so and leaves the file
// exactly as it was.
#include <sys/mount.h>
#include <sys/resource.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <csignal>
#include <functional>
#include <iostream>

#include "SheetEditFixture.h"

namespace {

class SheetSaveTest : public SheetEditFixture {
 protected:
  void TearDown() override {
    for (const QString& dir : m_mounts) ::umount2(QFile::encodeName(dir).constData(), MNT_DETACH);
    SheetEditFixture::TearDown();
  }

  void expectSavedQuietly(const char* why) {
    EXPECT_EQ(m_messages, QStringList{"File saved"}) << why;
    EXPECT_FALSE(m_dlg->m_bBusy) << why;
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << why;
  }

  // A small tmpfs over `dir`, so that the disk fills up for real. False when
  // this process may not mount (not root, or inside a container that forbids
  // it), or when TW_TEST_NO_MOUNT asks for the other way.
  bool mountSmallDisk(const QString& dir) {
    if (qEnvironmentVariableIsSet("TW_TEST_NO_MOUNT")) return false;
    if (::mount("tmpfs", QFile::encodeName(dir).constData(), "tmpfs", 0, "size=64k") != 0) return false;
    m_mounts << dir;
    return true;
  }
  void growDisk(const QString& dir) {
    ASSERT_EQ(::mount("tmpfs", QFile::encodeName(dir).constData(), "tmpfs", MS_REMOUNT, "size=1m"), 0);
  }

  QStringList m_mounts;
};

// Where no tmpfs can be mounted, a limit on the size of files this process
// writes fails the write past it the way a full disk does.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    std::signal(SIGXFSZ, SIG_IGN);  // the write fails with EFBIG instead of ending the process
    getrlimit(RLIMIT_FSIZE, &m_before);
    rlimit limit = m_before;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &m_before);
    std::signal(SIGXFSZ, SIG_DFL);
  }

 private:
  rlimit m_before{};
};

QStringList entriesOf(const QString& dir) {
  return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

TEST_F(SheetSaveTest, WhatASaveWrites) {
  const struct {
    const char* name;
    QByteArray file;
    std::function<void()> edit;
    QByteArray saved;
  } cases[] = {
      {"three_by_three", "a\tb\tc\r\n1\t2\t3\r\n4\t5\t6\r\n", [] {}, "a\tb\tc\r\n1\t2\t3\r\n4\t5\t6\r\n"},
      {"quotes_blanks_empty_fields", "name\t cost \t\r\n\"sword\"\t\t10  \r\n", [] {},
       "name\t cost \t\r\n\"sword\"\t\t10  \r\n"},
      {"header_only", "name\tcost\r\n", [] {}, "name\tcost\r\n"},
      {"lf_only_comes_back_crlf", "a\tb\n1\t2\n", [] {}, "a\tb\r\n1\t2\r\n"},
      {"last_line_without_break", "a\tb\r\n1\t2", [] {}, "a\tb\r\n1\t2\r\n"},
      {"short_record_padded", "a\tb\tc\r\n1\r\n\r\n", [] {}, "a\tb\tc\r\n1\t\t\r\n\t\t\r\n"},
      {"long_record_whole", "a\tb\r\n1\t2\t3\t4\r\n", [] {}, "a\tb\r\n1\t2\t3\t4\r\n"},
      {"long_record_edited_keeps_its_tail", "a\tb\r\n1\t2\t3\t4\r\n",
       [this] {
         clickCell(1, 1);
         clearEditor();
         type("one");
       },
       "a\tb\r\none\t2\t3\t4\r\n"},
      {"edited_cell", "a\tb\r\n1\t2\r\n3\t4\r\n",
       [this] {
         clickCell(2, 2);
         type("0");
       },
       "a\tb\r\n1\t2\r\n3\t40\r\n"},
      {"emptied_cell", "a\tb\r\n1\t2\r\n3\t4\r\n",
       [this] {
         clickCell(1, 1);
         clearEditor();
       },
       "a\tb\r\n\t2\r\n3\t4\r\n"},
      {"short_record_edited_past_its_end", "a\tb\tc\r\n1\r\n",
       [this] {
         clickCell(1, 3);
         type("z");
       },
       "a\tb\tc\r\n1\t\tz\r\n"},
      {"pasted_tab_adds_a_field", "a\tb\r\n1\t2\r\n",
       [this] {
         clickCell(1, 1);
         QGuiApplication::clipboard()->setText("x\ty");
         key(Qt::Key_A, Qt::ControlModifier);
         key(Qt::Key_V, Qt::ControlModifier);
       },
       "a\tb\r\nx\ty\t2\r\n"},
      {"freezing_changes_nothing", "name\tcost\r\nsword\t10\r\n",
       [this] {
         menu(ID_FREEZE_NAME_COLUMN);
         clickCell(1, 2);
         menu(ID_FREEZE_NAME_COLUMN);
         menu(ID_FREEZE_NAME_COLUMN);
       },
       "name\tcost\r\nsword\t10\r\n"},
      {"typed_into_windows1252", "a\r\n\x85\r\n",
       [this] {
         clickCell(1, 1);
         type(QString::fromUtf16(u"\u00E9\u20AC"));
       },
       "a\r\n\x85\xE9\x80\r\n"},
      {"typed_into_utf8", "a\r\n\xC3\xBF" "c1\r\n",
       [this] {
         clickCell(1, 1);
         type(QString::fromUtf16(u"\u4E2D\U0001F600"));
       },
       "a\r\n\xC3\xBF" "c1\xE4\xB8\xAD\xF0\x9F\x98\x80\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const QString file = write(QString::fromLatin1(c.name) + ".txt", c.file);
    load(file);
    c.edit();
    m_messages.clear();
    EXPECT_EQ(saveAndRead(file), c.saved);
    expectSavedQuietly(c.name);
  }
}

TEST_F(SheetSaveTest, SavingLeavesTheEditorAsItWas) {
  const QString file = write("s.txt", "name\tcost\r\nsword\t10\r\n");
  load(file);
  menu(ID_FREEZE_NAME_COLUMN);
  clickCell(1, 2);
  type("0");
  const QByteArray first = saveAndRead(file);
  EXPECT_EQ(first, "name\tcost\r\nsword\t100\r\n");
  EXPECT_EQ(saveAndRead(file), first);
  EXPECT_EQ(m_messages, (QStringList{"File saved", "File saved"}));
  EXPECT_EQ(m_dlg->windowTitle(), "s.txt");
  EXPECT_EQ(m_dlg->m_szFilePath, file);
  EXPECT_EQ(grid()->GetFixedCols(), 2);
  EXPECT_EQ(editor()->text(), "100");
  EXPECT_EQ(grid()->GetTextMatrix(1, 2), "100");
}

// Mode bits and a link to the sheet are the user's: a save replaces the
// contents only.
TEST_F(SheetSaveTest, SavingKeepsTheFileItself) {
  QDir(m_dir.path()).mkdir("real");
  const QString target = write("real/linked.txt", "a\r\n1\r\n");
  const QString link = path("linked.txt");
  ASSERT_TRUE(QFile::link(target, link));
  load(link);
  clickCell(1, 1);
  type("2");
  menu(ID_FILE_SAVE_TEXT);
  EXPECT_TRUE(QFileInfo(link).isSymLink());
  EXPECT_EQ(ReadBytes(target), "a\r\n12\r\n");

  const QString modest = write("modest.txt", "a\r\n1\r\n");
  const auto mode = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
  ASSERT_TRUE(QFile::setPermissions(modest, mode));
  load(modest);
  clickCell(1, 1);
  type("3");
  menu(ID_FILE_SAVE_TEXT);
  EXPECT_EQ(ReadBytes(modest), "a\r\n13\r\n");
  const QFileDevice::Permissions unixBits(0x7077);  // owner, group, other
  EXPECT_EQ(QFile::permissions(modest) & unixBits, mode);
}

TEST_F(SheetSaveTest, SaveDoesNothingWithoutASheet) {
  QDir(m_dir.path()).mkdir("y.tbl");
  const struct {
    const char* name;
    const char* file;  // nothing loaded when null
  } cases[] = {{"nothing_loaded", nullptr}, {"string_table", "strings.tbl"}, {"sheet_in_a_tbl_folder", "y.tbl/z.txt"}};
  const QByteArray sheet = "name\tcost\r\nsword\t10\r\n";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const QString file = c.file ? write(c.file, sheet) : QString();
    if (c.file) load(file);
    const QStringList before = entriesOf(m_dir.path());
    m_messages.clear();
    menu(ID_FILE_SAVE_TEXT);
    EXPECT_TRUE(m_messages.isEmpty());
    EXPECT_EQ(entriesOf(m_dir.path()), before);
    if (c.file) {
      EXPECT_EQ(ReadBytes(file), sheet);
    }
  }
}

QByteArray sheetOfRows(int rows) {
  QByteArray sheet = "name\tcost\tnote\r\n";
  for (int i = 0; i < rows; ++i)
    sheet += "item" + QByteArray::number(i) + "\t" + QByteArray::number(i * 7) + "\tplain\r\n";
  return sheet;
}

// Each failure is made for real. It must be named with the file and its
// reason, must not claim a save, and must leave the file on disk as it was;
// once the cause is gone, the edit kept in the grid saves.
TEST_F(SheetSaveTest, AFailedSaveLeavesTheFileAsItWas) {
  enum class Fault { ReadOnly, FolderGone, DiskFull };
  const struct {
    const char* name;
    Fault fault;
    int rows;            // 2000 rows make about 40 KB, written straight through;
    const char* reason;  // 300 rows stay in the file's buffer until the flush
  } cases[] = {
      {"read_only_file", Fault::ReadOnly, 2000, "read-only"},
      {"folder_gone", Fault::FolderGone, 2000, "No such file or directory"},
      {"disk_full", Fault::DiskFull, 2000, nullptr},
      {"disk_full_small_sheet", Fault::DiskFull, 300, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const QByteArray original = sheetOfRows(c.rows);
    const QByteArray edited = QByteArray(original).replace("item0\t", "item0x\t");
    const QString dir = path(c.name);
    ASSERT_TRUE(QDir().mkpath(dir));
    const QString file = dir + "/sheet.txt";
    WriteBytes(file, original);

    const bool tmpfs = c.fault == Fault::DiskFull && mountSmallDisk(dir);
    QString reason = QString::fromLatin1(c.reason);
    if (c.fault == Fault::DiskFull) {
      std::cout << "[ disk full ] " << (tmpfs ? "64 KiB tmpfs mounted" : "file size limit (no mount allowed)") << "\n";
      RecordProperty("disk_full", tmpfs ? "tmpfs" : "RLIMIT_FSIZE");
      reason = tmpfs ? "No space left on device" : "File too large";
    }
    if (tmpfs) {  // the sheet again, then all but one page of the 16 taken
      WriteBytes(file, original);
      const qsizetype sheetPages = (original.size() + 4095) / 4096;
      WriteBytes(dir + "/filler", QByteArray((16 - sheetPages - 1) * 4096, 'f'));
    }
    load(file);
    clickCell(1, 1);
    type("x");

    if (c.fault == Fault::ReadOnly) {
      const auto readOnly = QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
      ASSERT_TRUE(QFile::setPermissions(file, readOnly));
    }
    if (c.fault == Fault::FolderGone) {
      ASSERT_TRUE(QDir(dir).removeRecursively());
    }
    const QStringList before = entriesOf(dir);
    const QFileDevice::Permissions mode = QFile::permissions(file);
    m_messages.clear();
    {
      std::optional<FileSizeLimit> limit;
      if (c.fault == Fault::DiskFull && !tmpfs) limit.emplace(static_cast<rlim_t>(original.size() / 2));
      menu(ID_FILE_SAVE_TEXT);
    }
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(m_messages[0].contains(file)) << m_messages[0].toStdString();
    EXPECT_TRUE(m_messages[0].contains(reason)) << m_messages[0].toStdString();
    EXPECT_FALSE(m_messages[0].contains("File saved"));
    EXPECT_EQ(ReadBytes(file), c.fault == Fault::FolderGone ? QByteArray("<missing>") : original);
    EXPECT_EQ(entriesOf(dir), before);  // no half-written file left beside it
    EXPECT_EQ(QFile::permissions(file), mode);
    EXPECT_EQ(QFileInfo::exists(dir), c.fault != Fault::FolderGone);
    EXPECT_FALSE(m_dlg->m_bBusy);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // Take the cause away: the edit the grid still holds saves.
    if (c.fault == Fault::ReadOnly) {
      ASSERT_TRUE(QFile::setPermissions(file, mode | QFileDevice::WriteOwner));
    }
    if (c.fault == Fault::FolderGone) {
      ASSERT_TRUE(QDir().mkpath(dir));
    }
    if (tmpfs) growDisk(dir);
    m_messages.clear();
    EXPECT_EQ(saveAndRead(file), edited);
    expectSavedQuietly(c.name);
  }
}

}  // namespace
