// The key browser through the real editor window, and the commands that
// look at the loaded file's name to decide whether they do anything.
#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QTextEdit>

#include "TableWriter.h"
#include "ui/EditorFixture.h"

namespace {

class KeyBrowser : public EditorFixture {
 protected:
  QString table(const QString& name, const std::vector<TableEntry>& entries) {
    QDir(m_dir.path()).mkpath(QFileInfo(name).path());
    return write(name, WriteStringTable(entries));
  }
  QComboBox* keys() const { return qobject_cast<QComboBox*>(m_dlg->GetDlgItem(IDC_KEY_LIST)); }
  QTextEdit* view() const { return qobject_cast<QTextEdit*>(m_dlg->GetDlgItem(IDC_VALUE_VIEW)); }
  QStringList items() const { return RowsOf(*keys()->model()); }
};

// Each table replaces a bigger one that had a key added: keys in index order,
// the first one's value, the caption with the count and checksum; then a file
// that cannot be read is named.
TEST_F(KeyBrowser, ListsKeysInIndexOrderAndTitlesTheWindow) {
  const QByteArray colour("\xC3\xBF" "c1"), cjk("\xE5\x89\xA3");
  const struct { std::vector<TableEntry> entries; QStringList items; QString value, title; } cases[] = {
      {{}, {}, "", "0 entries (CRC of 0xFFFF)"},
      {{{"k", "v8"}}, {"k"}, "v8", "1 entries (CRC of 0x2BB)"},
      {{{"b", "2"}, {"a", "1"}, {"b", "3"}}, {"b", "a", "b"}, "2", "3 entries (CRC of 0x6D9)"},
      {{{colour, cjk}, {cjk, ""}}, {"\u00FFc1", "\u5263"}, "\u5263", "2 entries (CRC of 0xDDD1)"},
      {{{colour, "\x92"}}, {"\u00C3\u00BFc1"}, "\u2019", "1 entries (CRC of 0xB22C)"}};  // Windows-1252
  for (const auto& c : cases) {
    SCOPED_TRACE(c.title.toStdString());
    load(table("big.tbl", {{"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", "4"}, {"e", "5"}}));
    menu(ID_ADD_KEY);
    load(table("keys.tbl", c.entries));
    EXPECT_EQ(items(), c.items);
    EXPECT_EQ(view()->toPlainText(), c.value);
    EXPECT_EQ(m_dlg->windowTitle(), "keys.tbl - " + c.title);
    EXPECT_EQ(m_app->GetProfileString(QString(), "Directory"), dir());
  }
  load(path("gone.tbl"));
  EXPECT_EQ(m_messages.filter(path("gone.tbl")).size(), 1);
}

// A change of the search text that names a key selects it and shows its
// value: whole names, letter case ignored, the first in list order, keys of
// one to four bytes a character; the keys Add Key appended are found as one.
// No match leaves the selection and the value view as they were. The list
// is a proper model of the keys throughout.
TEST_F(KeyBrowser, SearchSelectsTheFirstWholeNameIgnoringCase) {
  QAbstractItemModelTester tester(keys()->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
  load(table("keys.tbl", {{"abc", "v0"}, {"ABC", "v1"}, {"", "v2"}, {"\xC3\xBF" "c1", "\xE5\x89\xA3"},
                          {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x81"}, {"\xE5\x89\xA3", "v5"}}));
  QTest::keyClick(keys(), Qt::Key_End);  // the user picks the last key
  ASSERT_EQ(view()->toPlainText(), "v5");
  menu(ID_ADD_KEY);
  menu(ID_ADD_KEY);
  EXPECT_EQ(items(), QStringList({"abc", "ABC", "", "\u00FFc1", "\U0001F600", "\u5263", "Blank", "Blank"}));
  auto* box = qobject_cast<QLineEdit*>(m_dlg->GetDlgItem(IDC_KEY_SEARCH));
  const std::tuple<QString, int, QString> searches[] = {
      {"ab", 5, "typed"},        {"aBc", 0, "v0"},  {"", 2, "v2"},     {"\u00FFC1", 3, "\u5263"},
      {"\U0001F600", 4, "\U0001F601"}, {"blank", 6, ""}, {"ABC", 0, "v0"}, {"BLANK", 6, ""}, {"Blank ", 6, "typed"}, {"\u5263", 5, "v5"}};
  for (const auto& [text, found, value] : searches) {
    view()->setPlainText("typed");
    box->setText(text);
    EXPECT_EQ(keys()->currentIndex(), found) << text.toStdString();
    EXPECT_EQ(view()->toPlainText(), value) << text.toStdString();
  }
}

// With nothing loaded or a string table open, Save does nothing. Freeze and
// Add Key look at the file's title alone, also for a table in a folder named
// ".tbl": Freeze does nothing where the title holds ".tbl"; Add Key appends
// "Blank" only where it holds no ".txt", and leaves the caption as it is.
TEST_F(KeyBrowser, SaveFreezeAndAddKeyLookWhereTheyShould) {
  for (const QString file : {"", "keys.tbl", "a.tbl/b.txt"}) {
    if (!file.isEmpty()) load(table(file, {{"a", "1"}}));
    const QStringList before = items();
    const QString title = m_dlg->windowTitle();
    menu(ID_FILE_SAVE_TEXT);
    menu(ID_FREEZE_NAME_COLUMN);
    menu(ID_ADD_KEY);
    EXPECT_TRUE(m_messages.isEmpty() && !grid()->isVisible()) << file.toStdString();
    EXPECT_EQ(grid()->GetFixedCols(), file.endsWith(".txt") ? 2 : 1) << file.toStdString();
    EXPECT_EQ(items(), file == "keys.tbl" ? before + QStringList{"Blank"} : before) << file.toStdString();
    EXPECT_EQ(m_dlg->windowTitle(), title);
  }
}

}  // namespace
