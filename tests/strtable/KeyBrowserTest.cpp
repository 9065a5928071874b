// The key browser driven through the real editor window: files are chosen
// through the open-dialog seam and every action goes in as a command.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QSettings>
#include <QTest>
#include <QTextEdit>
#include <optional>
#include <string>

#include "TableWriter.h"
#include "TestFiles.h"
#include "app/TabSheetApp.h"
#include "platform/Dialogs.h"
#include "platform/Paths.h"
#include "res/resource.h"
#include "ui/TabSheetDlg.h"

namespace {

class KeyBrowser : public testing::Test {
 protected:
  void SetUp() override {
    m_app.SettleSettings();
    SetOpenFileDialogHandler([this](const OpenFileRequest&) { return m_next; });
    SetMessageBoxHandler([this](QWidget*, const QString& text) { m_messages.append(text); });
    m_dlg.OnInitDialog();
  }
  void TearDown() override {
    SetOpenFileDialogHandler({});
    SetMessageBoxHandler({});
  }

  QString Write(const QString& name, const QByteArray& bytes) {
    const QString path = m_dir.filePath(name);
    QDir().mkpath(DirectoryOf(path));
    WriteBytes(path, bytes);
    return path;
  }
  QString WriteTable(const QString& name, const std::vector<TableEntry>& entries) {
    return Write(name, WriteStringTable(entries));
  }
  void Open(const QString& path) {
    m_next = path;
    Command(ID_FILE_LOAD_TEXT);
  }
  void Command(UINT id, UINT code = 0) { m_dlg.WindowProc(WM_COMMAND, MAKEWPARAM(id, code), 0); }
  // What the user types into the search box, arriving as one change.
  void Search(const QString& text) {
    KeySearch()->blockSignals(true);
    KeySearch()->setText(text);
    KeySearch()->blockSignals(false);
    Command(IDC_KEY_SEARCH, EN_CHANGE);
  }

  QComboBox* KeyList() { return qobject_cast<QComboBox*>(m_dlg.GetDlgItem(IDC_KEY_LIST)); }
  QTextEdit* ValueView() { return qobject_cast<QTextEdit*>(m_dlg.GetDlgItem(IDC_VALUE_VIEW)); }
  QLineEdit* KeySearch() { return qobject_cast<QLineEdit*>(m_dlg.GetDlgItem(IDC_KEY_SEARCH)); }
  QStringList Items() {
    QStringList items;
    for (int i = 0; i < KeyList()->count(); ++i) items << KeyList()->itemText(i);
    return items;
  }
  QString Value() { return ValueView()->toPlainText(); }
  QString Directory() {
    return QSettings(m_app.m_pszProfileName, QSettings::IniFormat).value("Directory").toString();
  }

  QTemporaryDir m_dir;
  ScopedWorkingDirectory m_cwd{m_dir.path()};
  CTabSheetApp m_app;
  CTabSheetDlg m_dlg;
  std::optional<QString> m_next;
  QStringList m_messages;
};

const QByteArray kColourCode("\xC3\xBF" "c1Gold", 8);           // "ÿc1Gold" in UTF-8
const QByteArray kCjk("\xE5\x89\xA3\xE3\x81\xAE\xE7\x9F\xB3");  // 剣の石
const QByteArray kWindows1252("Dagger\x85 isn\x92t", 13);

// ---------------------------------------------------------------------------
// Opening a table.

TEST_F(KeyBrowser, OpenShowsTheTableView) {
  const QString path = WriteTable("keys.tbl", {{"b", "two"}, {"a", "one"}, {"b", "again"}});
  Open(path);
  EXPECT_EQ(Items(), QStringList({"b", "a", "b"}));
  EXPECT_EQ(KeyList()->currentIndex(), 0);
  EXPECT_EQ(Value(), "two");
  EXPECT_FALSE(KeyList()->isHidden());
  EXPECT_FALSE(ValueView()->isHidden());
  EXPECT_FALSE(KeySearch()->isHidden());
  EXPECT_EQ(Directory(), m_dir.path());
  EXPECT_EQ(m_dlg.m_szDirectory, m_dir.path());
  EXPECT_TRUE(m_messages.isEmpty());
}

// The title's checksum is the one the game stored in the file.
TEST_F(KeyBrowser, TitleCarriesCountAndStoredChecksum) {
  struct Case { int entries; const char* word; };
  for (const Case c : {Case{1, "1 entries"}, Case{4, "4 entries"}, Case{300, "300 entries"}}) {
    // Vary one value until the checksum is below 0x1000: it must print without leading zeros.
    QByteArray file;
    for (int salt = 0; file.isEmpty() || GetU16(file, 0) >= 0x1000; ++salt) {
      std::vector<TableEntry> entries(c.entries, TableEntry{"k", "v"});
      entries[0].value = QByteArray::number(salt);
      file = WriteStringTable(entries);
    }
    Open(Write("keys.tbl", file));
    const QString hex = QString::number(GetU16(file, 0), 16).toUpper();
    EXPECT_LE(hex.size(), 3);
    EXPECT_EQ(m_dlg.windowTitle(), QString("keys.tbl - %1 (CRC of 0x%2)").arg(c.word, hex));
    EXPECT_EQ(m_dlg.m_crc, GetU16(file, 0));
  }
}

TEST_F(KeyBrowser, EmptyTable) {
  Open(WriteTable("keys.tbl", {{"old", "value"}}));
  ValueView()->setPlainText("typed");
  QByteArray empty(21, '\0');
  PutU32(empty, 9, 21);
  PutU32(empty, 17, 21);
  Open(Write("keys.tbl", empty));
  EXPECT_EQ(m_dlg.windowTitle(), "keys.tbl - 0 entries (CRC of 0xFFFF)");
  EXPECT_EQ(KeyList()->count(), 0);
  EXPECT_EQ(KeyList()->currentIndex(), -1);
  EXPECT_EQ(Value(), "");
}

TEST_F(KeyBrowser, SecondTableReplacesTheFirst) {
  Open(WriteTable("big.tbl", {{"a", "1"}, {"b", "2"}, {"c", "3"}}));
  Command(ID_ADD_KEY);
  Open(WriteTable("small.tbl", {{"z", "26"}}));
  EXPECT_EQ(Items(), QStringList({"z"}));
  EXPECT_EQ(m_dlg.windowTitle().left(23), "small.tbl - 1 entries (");
}

// Bytes show through the file's codec: UTF-8 when every text is UTF-8.
TEST_F(KeyBrowser, TextsShowThroughTheFilesCodec) {
  Open(WriteTable("utf8.tbl", {{kColourCode, kCjk}, {kCjk, kColourCode}}));
  EXPECT_EQ(Items(), QStringList({QString::fromUtf8(kColourCode), QString::fromUtf8(kCjk)}));
  EXPECT_EQ(Items()[0], QString::fromUtf8("\u00FFc1Gold"));
  EXPECT_EQ(Value(), QString::fromUtf8("\u5263\u306E\u77F3"));

  // One text that is not UTF-8 makes the whole file Windows-1252.
  Open(WriteTable("cp1252.tbl", {{kColourCode, kWindows1252}}));
  EXPECT_EQ(Items()[0], QString::fromUtf8("\u00C3\u00BFc1Gold"));
  EXPECT_EQ(Value(), QString::fromUtf8("Dagger\u2026 isn\u2019t"));
}

TEST_F(KeyBrowser, PathWithTblInADirectoryIsATable) {
  Open(WriteTable("a.tbl/b.txt", {{"k", "v"}}));
  EXPECT_EQ(Items(), QStringList({"k"}));
  EXPECT_TRUE(m_dlg.windowTitle().startsWith("b.txt - 1 entries"));
  EXPECT_EQ(Directory(), m_dir.filePath("a.tbl"));
}

TEST_F(KeyBrowser, UnopenableFileSaysSoAndChangesNothing) {
  Open(WriteTable("keys.tbl", {{"a", "1"}}));
  const QString title = m_dlg.windowTitle();
  m_dlg.m_szFilePath = m_dir.filePath("gone.tbl");
  m_dlg.ReadStringTable();
  ASSERT_EQ(m_messages.size(), 1);
  EXPECT_TRUE(m_messages[0].contains(m_dir.filePath("gone.tbl")));
  EXPECT_EQ(Items(), QStringList({"a"}));
  EXPECT_EQ(m_dlg.windowTitle(), title);
  EXPECT_EQ(Directory(), m_dir.path());
}

TEST_F(KeyBrowser, HostileTableOpens) {
  QByteArray file = WriteStringTable({{"a", "1"}});
  PutU16(file, 2, 65535);     // far more entries than the file holds
  PutU32(file, 9, 0xFFFFFF00);
  PutU32(file, 17, 5);        // region end below its start
  Open(Write("hostile.tbl", file));
  EXPECT_EQ(KeyList()->count(), 65535);
  EXPECT_EQ(Value(), "");
  EXPECT_EQ(m_dlg.windowTitle(), "hostile.tbl - 65535 entries (CRC of 0xFFFF)");
}

// Every key runs on through one long stretch of the file: the list shows each
// shortened, the codec still sees each whole, and a search finds keys whole.
TEST_F(KeyBrowser, OverlappingLongKeysOpen) {
  const QByteArray run = QByteArray("\xC3\xA9").repeated(40000);  // "é" 40,000 times, no zero byte
  Open(Write("overlap.tbl", WriteOverlappingTable(run, 65535, 2, 2, 99)));
  ASSERT_EQ(KeyList()->count(), 65535);
  const QString e(QChar(0xE9));
  EXPECT_EQ(Items()[0], e.repeated(256) + QChar(0x2026));
  EXPECT_EQ(Items()[39999], e);
  EXPECT_EQ(Value(), e.repeated(50));
  Search(QString(QChar(0xC9)).repeated(2));  // "ÉÉ"
  EXPECT_EQ(KeyList()->currentIndex(), 39998);
}

// ---------------------------------------------------------------------------
// Picking a key and searching.

TEST_F(KeyBrowser, PickingAKeyShowsItsValue) {
  Open(WriteTable("keys.tbl", {{"a", "first"}, {"b", "second"}, {"c", "third"}}));
  KeyList()->setFocus();
  QTest::keyClick(KeyList(), Qt::Key_Down);
  EXPECT_EQ(KeyList()->currentIndex(), 1);
  EXPECT_EQ(Value(), "second");

  KeyList()->setCurrentIndex(2);  // a selection by the program alone shows nothing new
  EXPECT_EQ(Value(), "second");
  Command(IDC_KEY_LIST, CBN_SELCHANGE);
  EXPECT_EQ(Value(), "third");
}

struct SearchCase {
  std::string name;
  QString text;
  int selected;  // -1: nothing found, selection and value view stay
};
void PrintTo(const SearchCase& c, std::ostream* os) { *os << c.name; }

class FindKey : public KeyBrowser, public testing::WithParamInterface<SearchCase> {};

TEST_P(FindKey, SelectsFirstWholeNameIgnoringCase) {
  const std::vector<TableEntry> entries = {{"abc", "v0"}, {"ABC", "v1"}, {"Blank", "v2"}, {"", "v3"},
                                           {"dup", "v4"}, {"Dup", "v5"}, {"xyz", "v6"}};
  Open(WriteTable("keys.tbl", entries));
  Command(ID_ADD_KEY);
  KeyList()->setCurrentIndex(6);
  ValueView()->setPlainText("typed");

  Search(GetParam().text);
  const int selected = GetParam().selected;
  EXPECT_EQ(KeyList()->currentIndex(), selected < 0 ? 6 : selected);
  EXPECT_EQ(Value(), selected < 0 ? "typed" : "v" + QString::number(selected));
}

INSTANTIATE_TEST_SUITE_P(
    KeyBrowser, FindKey,
    testing::Values(SearchCase{"ExactName", "abc", 0}, SearchCase{"OtherCase", "ABC", 0},
                    SearchCase{"FirstOfDuplicates", "DUP", 4}, SearchCase{"Prefix", "ab", -1},
                    SearchCase{"Longer", "abcd", -1}, SearchCase{"EmptyMatchesEmptyKey", "", 3},
                    SearchCase{"TableKeyBeforeAppendedBlank", "blank", 2},
                    SearchCase{"SameItemShowsValueAgain", "xyz", 6}, SearchCase{"NoSuchKey", "q", -1},
                    SearchCase{"NoWildcards", "a*", -1}),
    [](const auto& info) { return info.param.name; });

TEST_F(KeyBrowser, TypingInTheSearchBoxSearches) {
  Open(WriteTable("keys.tbl", {{"sword", "1"}, {"Shield", "2"}}));
  KeySearch()->setFocus();
  QTest::keyClicks(KeySearch(), "shie");
  EXPECT_EQ(KeyList()->currentIndex(), 0);
  QTest::keyClicks(KeySearch(), "ld");
  EXPECT_EQ(KeyList()->currentIndex(), 1);
  EXPECT_EQ(Value(), "2");
}

// ---------------------------------------------------------------------------
// Add Key to Table.

struct AddKeyCase {
  std::string name;
  QString file;        // "" for no file loaded
  int blanksAdded;
};
void PrintTo(const AddKeyCase& c, std::ostream* os) { *os << c.name; }

class AddKey : public KeyBrowser, public testing::WithParamInterface<AddKeyCase> {};

TEST_P(AddKey, AppendsBlankUnlessTheTitleSaysTxt) {
  const AddKeyCase& c = GetParam();
  if (!c.file.isEmpty()) {
    const bool table = c.file.contains(".tbl");
    Open(table ? WriteTable(c.file, {{"a", "1"}}) : Write(c.file, "name\tvalue\nx\t1\n"));
  }
  const QStringList before = Items();
  const int selected = KeyList()->currentIndex();
  const QString title = m_dlg.windowTitle();

  Command(ID_ADD_KEY);
  Command(ID_ADD_KEY);
  QStringList expected = before;
  for (int i = 0; i < 2 * c.blanksAdded; ++i) expected << "Blank";
  EXPECT_EQ(Items(), expected);
  EXPECT_EQ(KeyList()->currentIndex(), selected);
  EXPECT_EQ(m_dlg.windowTitle(), title);
}

INSTANTIATE_TEST_SUITE_P(
    KeyBrowser, AddKey,
    testing::Values(AddKeyCase{"NoFile", "", 0}, AddKeyCase{"Table", "keys.tbl", 1},
                    AddKeyCase{"TableInTxtDirectory", "d.txt/keys.tbl", 1},
                    AddKeyCase{"TxtSheet", "sheet.txt", 0}, AddKeyCase{"CapitalTxtSheet", "SHEET.TXT", 1},
                    AddKeyCase{"TableTitledTxt", "a.tbl/b.txt", 0}),
    [](const auto& info) { return info.param.name; });

TEST_F(KeyBrowser, AppendedBlankHasNoValue) {
  Open(WriteTable("keys.tbl", {{"a", "1"}}));
  Command(ID_ADD_KEY);
  Search("blank");
  EXPECT_EQ(KeyList()->currentIndex(), 1);
  EXPECT_EQ(Value(), "");
  EXPECT_TRUE(m_dlg.windowTitle().startsWith("keys.tbl - 1 entries"));
}

}  // namespace
