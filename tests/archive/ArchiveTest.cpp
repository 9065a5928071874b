// Add File to Archive from the editor window, against a real archive and
// against stand-in libraries.

#include <QListWidget>
#include <QTimer>

#include "MpqFiles.h"
#include "archive/ArchiverDlg.h"
#include "ui/EditorFixture.h"

namespace {

const QString kAddedMessage = "File added to archive";

class ArchiveEditor : public EditorFixture {
 protected:
  // An archive of three files whose four hash slots are all taken: an add must make room.
  QString makeArchive() {
    const QString archive = m_dir.filePath("d2data.mpq");
    MakeMpq(archive, kStored, {0, true, 3});
    EXPECT_EQ(GetU32(ReadBytes(archive), 0x18), 4u);
    return archive;
  }
  // The archive holds its three files and `name`, with `bytes`, and nothing else.
  void expectHolds(const QString& archive, const QByteArray& name, const QByteArray& bytes) {
    MpqContents expected = kStored;
    expected[name] = bytes;
    unsigned count = 0;
    EXPECT_EQ(ReadMpq(archive, NamesOf(expected), &count), expected);
    EXPECT_EQ(count, expected.size());
  }
  const MpqContents kStored = {{"armor.txt", SheetBytes("a")}, {"music.raw", "stored as it is"}, {"string.tbl", "\7\7\7"}};
};

// With nothing loaded the command does nothing. The archive is asked for
// with its filter, again after a cancel, and never again once chosen; what
// goes in is the file as saved, without unsaved edits.
TEST_F(ArchiveEditor, AsksForTheArchiveUntilOneIsChosenAndAddsTheSavedFile) {
  const QString archive = makeArchive();
  menu(ID_ADD_FILE_TO_ARCHIVE);  // nothing loaded: not asked
  load(write("weapons.txt", SheetBytes("weapons.txt")));
  menu(ID_ADD_FILE_TO_ARCHIVE);  // cancelled
  ASSERT_EQ(m_requests.size(), 2u);  // the load's and this one
  const OpenFileRequest& ask = m_requests[1];
  EXPECT_EQ(QStringList({ask.filterDescription, ask.filterPatterns, ask.defaultExtension}),
            QStringList({"Diablo II MPQ Archive", "*.mpq", "mpq"}));
  EXPECT_TRUE(m_messages.isEmpty());
  editor()->setText("Lance");
  ASSERT_EQ(grid()->GetText(), "Lance");
  m_choice = archive;
  menu(ID_ADD_FILE_TO_ARCHIVE);
  menu(ID_ADD_FILE_TO_ARCHIVE);
  EXPECT_EQ(m_requests.size(), 3u);
  EXPECT_EQ(m_messages, QStringList(2, kAddedMessage));
  expectHolds(archive, "data\\global\\excel\\weapons.txt", SheetBytes("weapons.txt"));
}

// The name in the archive comes from the file's title alone: sheets (".txt",
// letter case counting) under data\global\excel, anything else under data\local\LNG\ENG.
TEST_F(ArchiveEditor, StoresTheFileUnderItsTitleAndChangesNothingElse) {
  QDir(m_dir.path()).mkdir("tables.txt.d");
  for (const auto& [file, name] : {std::pair{"weapons.txt", "data\\global\\excel\\weapons.txt"},
                                   {"SHEET.TXT", "data\\local\\LNG\\ENG\\SHEET.TXT"},
                                   {"tables.txt.d/strings.tbl", "data\\local\\LNG\\ENG\\strings.tbl"}}) {
    SCOPED_TRACE(file);
    m_dlg->m_szArchivePath = makeArchive();
    m_dlg->m_szFilePath = write(file, SheetBytes(file));
    menu(ID_ADD_FILE_TO_ARCHIVE);
    EXPECT_EQ(std::exchange(m_messages, {}), QStringList{kAddedMessage});
    expectHolds(m_dlg->m_szArchivePath, name, SheetBytes(file));
  }
}

// An archive that cannot be opened is named and left as it was, and the
// choice stands: the next add tries it again without asking.
TEST_F(ArchiveEditor, AnArchiveThatCannotBeOpenedIsNamedAndLeftAsItWas) {
  load(write("weapons.txt", SheetBytes("weapons.txt")));
  const QString readOnly = makeArchive();
  QFile::setPermissions(readOnly, QFile::ReadOwner);
  const std::pair<const char*, QString> cases[] = {
      {"read-only", readOnly}, {"not an archive", write("notes.mpq", "notes\n")}, {"gone", m_dir.filePath("gone")}};
  for (const auto& [what, archive] : cases) {
    SCOPED_TRACE(what);
    const QByteArray before = ReadBytes(archive);
    m_dlg->m_szArchivePath.clear();
    m_choice = archive;
    menu(ID_ADD_FILE_TO_ARCHIVE);
    menu(ID_ADD_FILE_TO_ARCHIVE);
    EXPECT_EQ(std::exchange(m_messages, {}), QStringList(2, "Can't open " + archive + " as an D2Data.MPQ archive"));
    EXPECT_EQ(ReadBytes(archive), before);
  }
  EXPECT_EQ(m_requests.size(), 4u);  // the load's and one for each archive
}

// The archiver box, opened the one way the program opens it, its command
// sent to the window: a greyed-out list that says "Not functional yet" once it
// shows, and a Load MPQ that does nothing.
TEST_F(ArchiveEditor, TheArchiverOpensOnItsCommandAndDoesNothingYet) {
  QStringList seen;
  QTimer::singleShot(0, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* box = qobject_cast<CArchiverDlg*>(modal)) {
      box->MenuCommand(ID_LOAD_MPQ)->trigger();
      seen << box->windowTitle() << RowsOf(*box->m_archiveList->model());
      EXPECT_FALSE(box->m_archiveList->isEnabled());
    }
    if (modal) modal->close();
  });
  m_dlg->WindowProc(WM_COMMAND, MAKEWPARAM(ID_MPQ_ARCHIVER, 0), 0);
  EXPECT_EQ(seen, QStringList({"MPQ Archiver", "Not functional yet"}));
}

}  // namespace
