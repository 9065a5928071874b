// The key browser through the real editor window.
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
  QStringList items() const {
    QStringList list;
    for (int i = 0; i < keys()->count(); ++i) list << keys()->itemText(i);
    return list;
  }
};

// Title: after "keys.tbl - ".
struct OpenCase { const char* name; std::vector<TableEntry> entries; QStringList items; QString value, title; };

class Open : public KeyBrowser, public testing::WithParamInterface<OpenCase> {};

// Each table replaces a bigger one that had a key added; then a file that cannot be read.
TEST_P(Open, ListsKeysInIndexOrderAndTitlesTheWindow) {
  load(table("big.tbl", {{"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", "4"}, {"e", "5"}}));
  menu(ID_ADD_KEY);
  load(table("keys.tbl", GetParam().entries));
  EXPECT_EQ(items(), GetParam().items);
  EXPECT_EQ(view()->toPlainText(), GetParam().value);
  EXPECT_EQ(m_dlg->windowTitle(), "keys.tbl - " + GetParam().title);
  EXPECT_EQ(m_app->GetProfileString(QString(), "Directory"), m_dir.path());
  load(m_dir.filePath("gone.tbl"));
  EXPECT_EQ(m_messages.filter(m_dir.filePath("gone.tbl")).size(), 1);
}

const QByteArray kColour("\xC3\xBF" "c1"), kCjk("\xE5\x89\xA3");

INSTANTIATE_TEST_SUITE_P(
    KeyBrowser, Open,
    testing::Values(
        OpenCase{"NoEntries", {}, {}, "", "0 entries (CRC of 0xFFFF)"},
        OpenCase{"OneEntry", {{"k", "v8"}}, {"k"}, "v8", "1 entries (CRC of 0x2BB)"},
        OpenCase{"Repeats", {{"b", "2"}, {"a", "1"}, {"b", "3"}}, {"b", "a", "b"}, "2", "3 entries (CRC of 0x6D9)"},
        OpenCase{"Utf8", {{kColour, kCjk}, {kCjk, ""}}, {"\u00FFc1", "\u5263"}, "\u5263", "2 entries (CRC of 0xDDD1)"},
        OpenCase{"Cp1252", {{kColour, "\x92"}}, {"\u00C3\u00BFc1"}, "\u2019", "1 entries (CRC of 0xB22C)"}),
    [](const auto& info) { return std::string(info.param.name); });

// Search text -> the item selected, or -1: the selection and the value view stay.
struct SearchCase { const char* name; QString text; int found; };

class Search : public KeyBrowser, public testing::WithParamInterface<SearchCase> {};

TEST_P(Search, SelectsFirstWholeNameIgnoringCase) {
  load(table("keys.tbl", {{"abc", "v0"}, {"ABC", "v1"}, {"Blank", "v2"}, {"", "v3"}, {kCjk, "v4"}, {"xyz", "v5"}}));
  QTest::keyClick(keys(), Qt::Key_End);  // the user picks the last key
  ASSERT_EQ(view()->toPlainText(), "v5");
  menu(ID_ADD_KEY);
  view()->setPlainText("typed");
  auto* box = qobject_cast<QLineEdit*>(m_dlg->GetDlgItem(IDC_KEY_SEARCH));
  box->setText("?"), box->setText(GetParam().text);  // typed, then replaced: each change searches
  const int found = GetParam().found;
  EXPECT_EQ(keys()->currentIndex(), found < 0 ? 5 : found);
  EXPECT_EQ(view()->toPlainText(), found < 0 ? "typed" : "v" + QString::number(found));
}

INSTANTIATE_TEST_SUITE_P(KeyBrowser, Search,
                         testing::Values(SearchCase{"OtherCaseFindsTheFirst", "aBc", 0},
                                         SearchCase{"PartOfANameFindsNothing", "ab", -1},
                                         SearchCase{"CapitalsFindTheKey", "BLANK", 2},
                                         SearchCase{"LastKey", "xyz", 5}),
                         [](const auto& info) { return std::string(info.param.name); });

// Loaded file (none, a table or a sheet) -> whether Add Key appends "Blank".
struct AddKeyCase { const char* name; QString file; bool appends; };

class AddKey : public KeyBrowser, public testing::WithParamInterface<AddKeyCase> {};

TEST_P(AddKey, AppendsBlankUnlessTheTitleHoldsTxt) {
  const auto& [name, file, appends] = GetParam();
  if (!file.isEmpty()) load(file.contains(".tbl") ? table(file, {{"a", "1"}}) : write(file, "name\tvalue\nx\t1\n"));
  const QStringList before = items();
  const QString title = m_dlg->windowTitle();
  menu(ID_ADD_KEY);
  EXPECT_EQ(items(), appends ? before + QStringList{"Blank"} : before);
  EXPECT_EQ(m_dlg->windowTitle(), title);
}

INSTANTIATE_TEST_SUITE_P(KeyBrowser, AddKey,
                         testing::Values(AddKeyCase{"NothingLoaded", "", false},
                                         AddKeyCase{"Table", "keys.tbl", true},
                                         AddKeyCase{"Sheet", "sheet.txt", false},
                                         AddKeyCase{"SheetInATblFolder", "a.tbl/b.txt", false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
