// Loading through the real editor window: the open dialog, the grid, the
// caption, the remembered directory and what a bad file gets.
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>

#include "EditorFixture.h"
#include "sheet/MSFlexGrid.h"

namespace {

class SheetLoadTest : public EditorFixture {
 protected:
  CMSFlexGrid* grid() const { return m_dlg->m_grid; }
  QList<QByteArray> rows() const {
    QList<QByteArray> all;
    for (long r = 0; r < grid()->GetRows(); ++r) {
      QList<QByteArray> row;
      for (long c = 0; c < grid()->GetCols(); ++c) row << grid()->GetTextMatrix(r, c);
      all << row.join('|');
    }
    return all;
  }
};

TEST_F(SheetLoadTest, StartsInTheStartView) {
  EXPECT_TRUE(m_dlg->isMaximized());
  EXPECT_EQ(m_dlg->windowTitle(), "Tabwright Beta 1");
  EXPECT_TRUE(m_dlg->m_szFilePath.isEmpty());
  EXPECT_TRUE(m_dlg->m_splash->isVisible());
  for (int id : {IDC_GRID, IDC_CELL_EDIT, IDC_KEY_LIST, IDC_VALUE_VIEW, IDC_KEY_SEARCH})
    EXPECT_FALSE(m_dlg->GetDlgItem(id)->isVisible()) << id;
  EXPECT_EQ(m_dlg->m_splash->size(), QSize(256, 202));
  const QWidget* client = m_dlg->m_splash->parentWidget();
  EXPECT_EQ(m_dlg->m_splash->pos(), QPoint(client->width() / 2 - 128, client->height() / 2 - 101));
}

TEST_F(SheetLoadTest, MenuBarCarriesEveryCommand) {
  const QMenuBar* bar = m_dlg->findChild<QMenuBar*>();
  ASSERT_NE(bar, nullptr);
  QStringList items;
  for (QAction* action : bar->actions()) {
    if (action->menu()) {
      for (QAction* sub : action->menu()->actions())
        items << action->text() + ">" + (sub->isSeparator() ? "-" : sub->text() + "=" + sub->data().toString());
    } else {
      items << action->text() + "=" + action->data().toString();
    }
  }
  EXPECT_EQ(items, (QStringList{"&File>&Load Text File=32771", "&File>&Save Text File=32772", "&File>-",
                                "&File>&Exit=32773", "Freeze Name Column=32782", "Add Key to Table=32783",
                                "Add File to Archive=32775", "About=32777"}));
}

TEST_F(SheetLoadTest, LoadsASheetWithHeaderAndLabels) {
  const QString file = write("Weapons.txt", "a\tb\tc\r\n1\t2\t3\r\n4\t5\t6\r\n");
  load(file);
  ASSERT_EQ(m_requests.size(), 1u);
  EXPECT_EQ(m_requests[0].filterDescription, "Diablo II Data Files(*.txt;*.tbl)");
  EXPECT_EQ(m_requests[0].filterPatterns, "*.txt *.tbl");
  EXPECT_EQ(m_requests[0].defaultExtension, "txt");
  EXPECT_EQ(m_requests[0].initialDirectory, "C:");
  EXPECT_EQ(m_requests[0].owner, m_dlg.get());

  EXPECT_EQ(grid()->GetRows(), 3);
  EXPECT_EQ(grid()->GetCols(), 4);
  EXPECT_EQ(grid()->GetFixedRows(), 1);
  EXPECT_EQ(grid()->GetFixedCols(), 1);
  EXPECT_EQ(rows(), (QList<QByteArray>{"|a|b|c", "1|1|2|3", "2|4|5|6"}));
  EXPECT_EQ(grid()->horizontalHeader()->model()->headerData(2, Qt::Horizontal).toString(), "c");
  EXPECT_EQ(grid()->GetColWidth(1), 1800);
  EXPECT_EQ(m_dlg->windowTitle(), "Weapons.txt");
  EXPECT_EQ(m_dlg->m_szFilePath, file);
  EXPECT_EQ(m_dlg->m_szDirectory, m_dir.path());
  EXPECT_EQ(settingsDirectory(), m_dir.path());
  EXPECT_TRUE(grid()->isVisible());
  EXPECT_TRUE(m_dlg->m_cellEditor->isVisible());
  EXPECT_FALSE(m_dlg->m_splash->isVisible());
  EXPECT_FALSE(m_dlg->m_bBusy);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_TRUE(m_messages.isEmpty());

  // The next open dialog starts where this file was, with its name.
  load(file);
  EXPECT_EQ(m_requests.back().initialDirectory, m_dir.path());
  EXPECT_EQ(m_requests.back().currentName, file);
}

TEST_F(SheetLoadTest, CancelLeavesTheSheetAsItWas) {
  load(write("x.txt", "h\r\nv\r\n"));
  command(ID_FILE_LOAD_TEXT);  // nothing chosen
  EXPECT_EQ(m_dlg->windowTitle(), "x.txt");
  EXPECT_EQ(rows(), (QList<QByteArray>{"|h", "1|v"}));
  EXPECT_TRUE(grid()->isVisible());
}

TEST_F(SheetLoadTest, UnreadableFileIsNamedAndNothingChanges) {
  const QString good = write("good.txt", "h\r\nv\r\n");
  load(good);
  for (const QString& bad : {path("missing.txt"), m_dir.path()}) {
    m_messages.clear();
    load(bad);
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(m_messages[0].contains(bad)) << m_messages[0].toStdString();
    EXPECT_EQ(m_dlg->m_szFilePath, good);
    EXPECT_EQ(rows(), (QList<QByteArray>{"|h", "1|v"}));
    EXPECT_TRUE(grid()->isVisible());
    EXPECT_FALSE(m_dlg->m_bBusy);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  }
  // Saving afterwards still writes the good file, not an empty grid.
  command(ID_FILE_SAVE_TEXT);
  EXPECT_EQ(ReadBytes(good), "h\r\nv\r\n");
}

TEST_F(SheetLoadTest, OddFilesLoadWithoutLosingBytes) {
  const QByteArray binary = QByteArray("\x00\x01\xFF\tA\r\x00\n\x80\x81\t\t\t", 14);
  const QByteArray hugeLine = "h\r\n" + QByteArray(1 << 20, 'z') + "\r\n";
  const struct {
    const char* name;
    QByteArray bytes;
    long rows;
    long cols;
  } cases[] = {{"empty.txt", "", 0, 2}, {"binary.txt", binary, 2, 3}, {"huge.txt", hugeLine, 2, 2}};
  for (const auto& c : cases) {
    load(write(c.name, c.bytes));
    EXPECT_EQ(grid()->GetRows(), c.rows) << c.name;
    EXPECT_EQ(grid()->GetCols(), c.cols) << c.name;
    EXPECT_EQ(m_dlg->windowTitle(), c.name);
  }
  EXPECT_EQ(grid()->GetTextMatrix(1, 1), QByteArray(1 << 20, 'z'));
}

TEST_F(SheetLoadTest, StringTablePathGoesToTheTableView) {
  load(write("X.TBL", "h\r\nv\r\n"));  // capitals: a sheet
  EXPECT_TRUE(grid()->isVisible());
  QDir(m_dir.path()).mkdir("y.tbl");
  const QString inside = write("y.tbl/z.txt", "h\r\nv\r\n");
  load(inside);
  EXPECT_EQ(m_dlg->m_szFilePath, inside);
  EXPECT_FALSE(grid()->isVisible());
  EXPECT_FALSE(m_dlg->m_cellEditor->isVisible());
  EXPECT_EQ(grid()->GetFixedCols(), 1);
}

TEST_F(SheetLoadTest, EnterDoesNothingAndEscapeEnds) {
  load(write("x.txt", "h\r\nv\r\n"));
  command(IDOK);
  EXPECT_TRUE(m_dlg->isVisible());
  command(IDCANCEL);
  EXPECT_FALSE(m_dlg->isVisible());
  EXPECT_EQ(m_dlg->result(), 2);
}

TEST_F(SheetLoadTest, ExitEndsWithOne) {
  command(ID_FILE_EXIT);
  EXPECT_FALSE(m_dlg->isVisible());
  EXPECT_EQ(m_dlg->result(), 1);
}

class CommandLineStartTest : public SheetLoadTest {
 protected:
  void SetUp() override {
    m_commandLineTail = m_dir.path() + "/start sheet.txt";
    WriteBytes(m_commandLineTail, "name\tvalue\r\nx\t1\r\n");
    SheetLoadTest::SetUp();
  }
};

TEST_F(CommandLineStartTest, OpensTheTailWithoutADialog) {
  EXPECT_TRUE(m_requests.empty());
  EXPECT_EQ(m_dlg->windowTitle(), "start sheet.txt");
  EXPECT_EQ(rows(), (QList<QByteArray>{"|name|value", "1|x|1"}));
  EXPECT_FALSE(m_dlg->m_bOpenFromCommandLine);
  command(ID_FILE_LOAD_TEXT);  // the menu asks again
  EXPECT_EQ(m_requests.size(), 1u);
}

}  // namespace
