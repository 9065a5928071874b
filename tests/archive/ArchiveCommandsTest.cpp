// "Add File to Archive" and the two small dialogs, run from the editor window.
#include <StormLib.h>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

#include "ModalRun.h"
#include "MpqFiles.h"
#include "archive/ArchiverDlg.h"
#include "sheet/MSFlexGrid.h"
#include "ui/EditorFixture.h"

namespace {

const QByteArray kSheet = "name\tcode\r\nAxe\taxe\r\n";
const QString kAdded = "File added to archive";

class ArchiveCommands : public EditorFixture {
 protected:
  void SetUp() override {
    EditorFixture::SetUp();
    ASSERT_TRUE(MakeMpq(archive, {{"data\\global\\excel\\armor.txt", "name\tac\r\n", MPQ_FILE_IMPLODE}}));
  }
  // Runs the command; how many open dialogs it showed.
  size_t addToArchive() {
    const size_t before = m_requests.size();
    command(ID_ADD_FILE_TO_ARCHIVE);
    return m_requests.size() - before;
  }
  QString archive = path("d2data.mpq");
};

TEST_F(ArchiveCommands, WithNoDocumentNothingHappens) {
  EXPECT_EQ(addToArchive(), 0u);
  EXPECT_TRUE(m_messages.isEmpty());
  EXPECT_TRUE(m_dlg->m_szArchivePath.isEmpty());
}

TEST_F(ArchiveCommands, ArchiveIsAskedForUntilChosenThenKept) {
  load(write("weapons.txt", kSheet));
  EXPECT_EQ(addToArchive(), 1u);  // cancelled
  const OpenFileRequest& asked = m_requests.back();
  EXPECT_EQ(asked.owner, m_dlg.get());
  EXPECT_EQ(asked.filterDescription, "Diablo II MPQ Archive");
  EXPECT_EQ(asked.filterPatterns, "*.mpq");
  EXPECT_EQ(asked.defaultExtension, "mpq");
  EXPECT_TRUE(asked.initialDirectory.isEmpty());
  EXPECT_TRUE(m_dlg->m_szArchivePath.isEmpty());
  EXPECT_TRUE(m_messages.isEmpty());

  m_nextChoice << archive;
  EXPECT_EQ(addToArchive(), 1u);
  EXPECT_EQ(m_dlg->m_szArchivePath, archive);
  EXPECT_EQ(MpqReader(archive).Read("data\\global\\excel\\weapons.txt"), kSheet);

  load(write("armor.txt", "name\tac\r\nCap\t3\r\n"));
  EXPECT_EQ(addToArchive(), 0u);
  EXPECT_EQ(MpqReader(archive).Read("data\\global\\excel\\armor.txt"), "name\tac\r\nCap\t3\r\n");
  EXPECT_EQ(m_messages, QStringList(2, kAdded));
}

TEST_F(ArchiveCommands, AFailureKeepsTheChosenArchive) {
  load(write("weapons.txt", kSheet));
  const QString notes = write("notes.mpq", "not an archive\n");
  m_nextChoice << notes;
  const QString failed = "Can't open " + notes + " as an D2Data.MPQ archive";
  EXPECT_EQ(addToArchive(), 1u);
  EXPECT_EQ(addToArchive(), 0u);
  EXPECT_EQ(m_messages, QStringList(2, failed));
  EXPECT_EQ(m_dlg->m_szArchivePath, notes);
  EXPECT_EQ(ReadBytes(notes), "not an archive\n");
}

TEST_F(ArchiveCommands, TheFileTitleDecidesWhereTheFileGoes) {
  m_dlg->m_szArchivePath = archive;
  QDir(m_dir.path()).mkdir("tables.txt.d");
  const struct {
    const char* file;
    const char* name;
  } cases[] = {
      {"tables.txt.d/sheet.txt", "data\\global\\excel\\sheet.txt"},
      {"tables.txt.d/strings.tbl", "data\\local\\LNG\\ENG\\strings.tbl"},
      {"SHEET.TXT", "data\\local\\LNG\\ENG\\SHEET.TXT"},
      {"old.txt.bak", "data\\global\\excel\\old.txt.bak"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    m_dlg->m_szFilePath = write(c.file, QByteArray("bytes of ") + c.file);
    addToArchive();
    EXPECT_EQ(MpqReader(archive).Read(c.name), QByteArray("bytes of ") + c.file);
  }
  EXPECT_EQ(m_messages, QStringList(4, kAdded));
}

TEST_F(ArchiveCommands, TheFileGoesInAsLastSaved) {
  m_dlg->m_szArchivePath = archive;
  load(write("weapons.txt", kSheet));
  m_dlg->m_cellEditor->setText("Lance");
  ASSERT_EQ(m_dlg->m_grid->GetText(), "Lance");
  addToArchive();
  EXPECT_EQ(MpqReader(archive).Read("data\\global\\excel\\weapons.txt"), kSheet);
}

// Each command runs a new box, owned by the editor window, which stays open
// once the box is closed.
TEST_F(ArchiveCommands, SmallDialogsAreFreshEachTimeAndOwnedByTheWindow) {
  const struct {
    UINT command;
    const char* caption;
  } boxes[] = {{ID_MPQ_ARCHIVER, "MPQ Archiver"}, {ID_ABOUT, "About"}};
  for (const auto& box : boxes) {
    for (int run = 0; run < 2; ++run) {
      SCOPED_TRACE(box.caption);
      WhileModal([&] { command(box.command); },
                 [&](QDialog* shown) {
                   EXPECT_EQ(shown->windowTitle(), box.caption);
                   EXPECT_EQ(shown->parentWidget(), m_dlg.get());
                   if (auto* archiver = qobject_cast<CArchiverDlg*>(shown)) {
                     EXPECT_EQ(archiver->m_archiveList->count(), 1);
                   }
                   QTest::keyClick(shown, Qt::Key_Escape);
                 });
      EXPECT_TRUE(m_dlg->isVisible());
    }
  }
}

}  // namespace
