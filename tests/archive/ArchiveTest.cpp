// Add File to Archive against real MPQ archives (made and read back with
// StormLib) and against stand-in libraries, and the two small dialogs, all
// run from the editor window.
#include <StormLib.h>

#include <QListWidget>
#include <QMenuBar>
#include <QProcess>
#include <QScopeGuard>
#include <QTimer>
#include <map>

#include "archive/ArchiverDlg.h"
#include "ui/EditorFixture.h"

void PrintTo(const QByteArray& bytes, std::ostream* os) { *os << bytes.left(40).toStdString(); }

namespace {

// Name: content and how it is stored (compression, encryption and its key, single unit).
using Files = std::map<QByteArray, std::pair<QByteArray, DWORD>>;
const DWORD kHow = MPQ_FILE_COMPRESS_MASK | MPQ_FILE_ENCRYPTED | MPQ_FILE_FIX_KEY | MPQ_FILE_SINGLE_UNIT;
using ArchiveEditor = EditorFixture;

// A sheet of several 4 KiB sectors.
QByteArray Sheet(const QByteArray& seed) { return "name\tcode\r\n" + (seed + "\tax\r\n").repeated(600); }

// A format-1 archive, as the game uses, with a listfile and room for maxFiles.
void MakeMpq(const QString& path, const Files& files, DWORD maxFiles) {
  HANDLE mpq = nullptr, out = nullptr;
  SFileCreateArchive(qPrintable(path), MPQ_CREATE_LISTFILE | MPQ_CREATE_ARCHIVE_V1, maxFiles, &mpq);
  for (const auto& [name, file] : files) {
    SFileCreateFile(mpq, name, 0, file.first.size(), 0, file.second, &out);
    SFileWriteFile(out, file.first, file.first.size(), MPQ_COMPRESSION_ZLIB);
    SFileFinishFile(out);
  }
  SFileCloseArchive(mpq);
}

// Every file, under the name the listfile gives it.
Files Contents(const QString& path) {
  Files files;
  HANDLE mpq = nullptr;
  SFILE_FIND_DATA found;
  SFileOpenArchive(qPrintable(path), 0, MPQ_OPEN_READ_ONLY, &mpq);
  HANDLE find = SFileFindFirstFile(mpq, "*", &found, nullptr);
  for (bool more = find; more; more = SFileFindNextFile(find, &found)) {
    if (found.cFileName[0] == '(') continue;  // (listfile) and the like
    SFileExtractFile(mpq, found.cFileName, qPrintable(path + ".out"), 0);
    files[found.cFileName] = {ReadBytes(path + ".out"), found.dwFileFlags & kHow};
  }
  SFileFindClose(find);
  SFileCloseArchive(mpq);
  return files;
}

TEST_F(ArchiveEditor, AddsTheSavedFileUnderItsTitleAndChangesNothingElse) {
  const QString archive = m_dir.filePath("d2data.mpq");
  Files expected = {{"armor.txt", {Sheet("a"), MPQ_FILE_IMPLODE | MPQ_FILE_ENCRYPTED}},
                    {"music.raw", {"stored as it is", 0}},
                    {"string.tbl", {"\7\7\7", MPQ_FILE_COMPRESS | MPQ_FILE_ENCRYPTED | MPQ_FILE_FIX_KEY}}};
  MakeMpq(archive, expected, 2);
  ASSERT_EQ(ReadBytes(archive).mid(0x18, 4), QByteArray("\4\0\0\0", 4));  // all 4 hash slots taken
  QDir(m_dir.path()).mkdir("tables.txt.d");
  menu(ID_ADD_FILE_TO_ARCHIVE);  // no document: nothing at all
  load(write("weapons.txt", Sheet("weapons.txt")));
  menu(ID_ADD_FILE_TO_ARCHIVE);      // asks; cancelled
  ASSERT_EQ(m_requests.size(), 2u);  // the load's and this one
  EXPECT_EQ(QStringList({m_requests[1].filterDescription, m_requests[1].filterPatterns,
                         m_requests[1].defaultExtension}),
            QStringList({"Diablo II MPQ Archive", "*.mpq", "mpq"}));
  m_choice = archive;
  menu(ID_ADD_FILE_TO_ARCHIVE);  // asks again
  load(write("SHEET.TXT", Sheet("SHEET.TXT")));
  editor()->setText("Lance");  // not saved
  ASSERT_EQ(grid()->GetText(), "Lance");
  menu(ID_ADD_FILE_TO_ARCHIVE);
  const char* const cases[][2] = {{"weapons.txt", "data\\global\\excel\\weapons.txt"},
                                  {"SHEET.TXT", "data\\local\\LNG\\ENG\\SHEET.TXT"},
                                  {"tables.txt.d/strings.tbl", "data\\local\\LNG\\ENG\\strings.tbl"},
                                  {"old.txt.bak", "data\\global\\excel\\old.txt.bak"},
                                  {"tables.txt.d/weapons.txt", "data\\global\\excel\\weapons.txt"}};
  for (const auto& [file, name] : cases) {
    expected[name] = {Sheet(file), MPQ_FILE_IMPLODE | MPQ_FILE_ENCRYPTED};  // the last of a name wins
    if (QFile::exists(m_dir.filePath(file))) continue;                      // loaded above
    m_dlg->m_szFilePath = write(file, Sheet(file));
    menu(ID_ADD_FILE_TO_ARCHIVE);
  }
  EXPECT_EQ(Contents(archive), expected);
  EXPECT_EQ(ReadBytes(archive).mid(0x0C, 2), QByteArray(2, '\0'));  // still format version 1

  // Read-only, not an archive, vanished: reported and left as they were.
  QFile::setPermissions(archive, QFile::ReadOwner);
  for (const QString& spoilt : QStringList{archive, write("notes.mpq", "notes\n"), m_dir.filePath("gone")}) {
    m_dlg->m_szArchivePath = spoilt;
    const QByteArray before = ReadBytes(spoilt);
    menu(ID_ADD_FILE_TO_ARCHIVE);
    EXPECT_EQ(m_messages.takeLast(), "Can't open " + spoilt + " as an D2Data.MPQ archive");
    EXPECT_EQ(ReadBytes(spoilt), before) << qPrintable(spoilt);
  }
  EXPECT_EQ(m_messages, QStringList(5, "File added to archive"));
  menu(ID_ADD_FILE_TO_ARCHIVE);
  EXPECT_EQ(m_requests.size(), 4u);  // two loads, two asks: none after a choice, nor after a failure
}

// One AddFileToArchive call in a process of its own, which finds whichever
// stand-in its LD_LIBRARY_PATH offers.
TEST(ArchiveLibrarySearch, EachOutcomeHasItsMessageAndTheLibraryIsFreed) {
  const std::string open = "initialise\nopen /a.mpq 5 20000\n";
  const std::string failed = open + "message Can't open /a.mpq as an D2Data.MPQ archive\nresult 0, freed\n";
  const std::pair<std::string, QStringList> cases[] = {
      {"message Can't load lmpqapi.dll\nresult 0, freed\n", {"none"}},
      {"initialise\nmessage Can't initialize lmpqapi.dll\nresult 0, freed\n", {"init-0", "init-2"}},
      {failed, {"open-0", "open-ffffffff"}},
      {open + "add 7 /w.txt data\\w.txt 0x00010201\nclose 7 0\nresult 1, freed\n", {"recorder"}}};
  for (const auto& [output, libraries] : cases)
    for (const QString& library : libraries) {
      qputenv("LD_LIBRARY_PATH", (TW_STANDIN_DIR "/" + library).toLocal8Bit());
      QProcess probe;
      probe.start(TW_ARCHIVE_PROBE, {"/a.mpq", "/w.txt", "data\\w.txt"});
      EXPECT_TRUE(probe.waitForFinished(60000) && probe.exitCode() == 0) << qPrintable(library);
      EXPECT_EQ(probe.readAllStandardOutput().toStdString(), output) << qPrintable(library);
    }
}

// Each command runs a new box; Enter ends it with 1, Escape with 2, and the
// editor window stays open.
TEST_F(ArchiveEditor, SmallDialogsAreFreshEachTimeAndCloseByKey) {
  SetMainWindow(m_dlg.get());  // as while the program runs: the boxes' owner
  const auto noMainWindow = qScopeGuard([] { SetMainWindow(nullptr); });
  for (UINT id : {ID_MPQ_ARCHIVER, ID_ABOUT}) {
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
      SCOPED_TRACE(testing::Message() << id << " " << key);
      QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), id == ID_ABOUT ? "About" : "MPQ Archiver");
        if (auto* archiver = qobject_cast<CArchiverDlg*>(box)) {
          box->hide();  // each show-window notification adds a line, hiding too
          box->show();
          const QList<QAction*> menu = box->findChild<QMenuBar*>()->actions();
          EXPECT_EQ(menu.size() == 1 ? menu[0]->text() : QString(), "&Load MPQ");
          for (QAction* item : menu) item->trigger();  // does nothing
          EXPECT_EQ(archiver->m_archiveList->count(), 3);
          EXPECT_EQ(archiver->m_archiveList->findItems("Not functional yet", Qt::MatchExactly).size(), 3);
        }
        QTest::keyClick(box, key);
        EXPECT_EQ(box->result(), key == Qt::Key_Escape ? 2 : 1);
        if (box->isVisible()) box->done(0);  // not closed: failed above
      });
      m_dlg->WindowProc(WM_COMMAND, id, 0);  // the archiver has no menu item
      QApplication::processEvents();         // runs the check when no box came up
      EXPECT_TRUE(m_dlg->isVisible());
    }
  }
}

}  // namespace
