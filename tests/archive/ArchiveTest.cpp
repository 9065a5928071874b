// Add File to Archive from the editor window, against a real archive and
// against stand-in libraries.

#include <QListWidget>
#include <QTimer>

#include "MpqFiles.h"
#include "archive/ArchiverDlg.h"
#include "ui/EditorFixture.h"

namespace {

using ArchiveEditor = EditorFixture;

TEST_F(ArchiveEditor, AddsTheSavedFileUnderItsTitleAndChangesNothingElse) {
  const QString archive = m_dir.filePath("d2data.mpq");
  MpqContents expected = {{"armor.txt", SheetBytes("a")}, {"music.raw", "stored as it is"}, {"string.tbl", "\7\7\7"}};
  MakeMpq(archive, expected, {0, true, 3});
  ASSERT_EQ(GetU32(ReadBytes(archive), 0x18), 4u);  // all 4 hash slots taken: the adds must make room
  menu(ID_ADD_FILE_TO_ARCHIVE);  // no document: nothing at all
  load(write("weapons.txt", SheetBytes("weapons.txt")));
  menu(ID_ADD_FILE_TO_ARCHIVE);      // asks; cancelled
  ASSERT_EQ(m_requests.size(), 2u);  // the load's and this one
  const OpenFileRequest& ask = m_requests[1];
  EXPECT_EQ(QStringList({ask.filterDescription, ask.filterPatterns, ask.defaultExtension}),
            QStringList({"Diablo II MPQ Archive", "*.mpq", "mpq"}));
  m_choice = archive;
  menu(ID_ADD_FILE_TO_ARCHIVE);  // asks again
  load(write("SHEET.TXT", SheetBytes("SHEET.TXT")));
  editor()->setText("Lance");  // not saved: the archive gets the file as it is on disk
  ASSERT_EQ(grid()->GetText(), "Lance");
  menu(ID_ADD_FILE_TO_ARCHIVE);
  QDir(m_dir.path()).mkdir("tables.txt.d");
  m_dlg->m_szFilePath = write("tables.txt.d/strings.tbl", SheetBytes("tables.txt.d/strings.tbl"));
  menu(ID_ADD_FILE_TO_ARCHIVE);
  for (const auto& [file, name] : {std::pair{"weapons.txt", "data\\global\\excel\\weapons.txt"},
                                   {"SHEET.TXT", "data\\local\\LNG\\ENG\\SHEET.TXT"},  // ".txt" case-sensitive
                                   {"tables.txt.d/strings.tbl", "data\\local\\LNG\\ENG\\strings.tbl"}})  // title only
    expected[name] = SheetBytes(file);
  unsigned count = 0;
  EXPECT_EQ(ReadMpq(archive, NamesOf(expected), &count), expected);
  EXPECT_EQ(count, expected.size());

  // Read-only, not an archive, vanished: reported and left as they were.
  QFile::setPermissions(archive, QFile::ReadOwner);
  for (const QString& spoilt : QStringList{archive, write("notes.mpq", "notes\n"), m_dir.filePath("gone")}) {
    m_dlg->m_szArchivePath = spoilt;
    const QByteArray before = ReadBytes(spoilt);
    menu(ID_ADD_FILE_TO_ARCHIVE);
    EXPECT_EQ(m_messages.takeLast(), "Can't open " + spoilt + " as an D2Data.MPQ archive");
    EXPECT_EQ(ReadBytes(spoilt), before) << qPrintable(spoilt);
  }
  EXPECT_EQ(m_messages, QStringList(3, "File added to archive"));
  menu(ID_ADD_FILE_TO_ARCHIVE);
  EXPECT_EQ(m_requests.size(), 4u);  // two loads, two asks: none after a choice, nor after a failure
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

// One AddFileToArchive call in a process of its own, which finds whichever
// stand-in its LD_LIBRARY_PATH offers.
TEST(ArchiveLibrarySearch, EachOutcomeHasItsMessageAndTheLibraryIsFreed) {
  const std::string open = "initialise\nopen /a.mpq 5 20000\n";
  const std::string failed = open + "message Can't open /a.mpq as an D2Data.MPQ archive\nresult 0, freed\n";
  const std::pair<std::string, QStringList> cases[] = {
      {"message Can't load lmpqapi.dll\nresult 0, freed\n", {"none", "no-close"}},  // no library, one entry missing
      {"initialise\nmessage Can't initialize lmpqapi.dll\nresult 0, freed\n", {"init-0", "init-2"}},
      {failed, {"open-0", "open-ffffffff"}},
      {open + "add 7 /w.txt data\\w.txt 0x00010201\nclose 7 0\nresult 1, freed\n", {"recorder"}}};
  for (const auto& [output, libraries] : cases)
    for (const QString& library : libraries) {
      QProcess probe;
      StartAdd(probe, TW_STANDIN_DIR "/" + library, {"/a.mpq", "/w.txt", "data\\w.txt"});
      EXPECT_TRUE(probe.waitForFinished(60000) && probe.exitCode() == 0) << qPrintable(library);
      EXPECT_EQ(probe.readAllStandardOutput().toStdString(), output) << qPrintable(library);
    }
}

}  // namespace
