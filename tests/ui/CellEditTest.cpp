// Cell editing through the real editor window: clicks bring a cell up in the
// editor, keys change it at once, and nothing a user does without typing
// changes a byte of the file.
#include <QApplication>
#include <QClipboard>

#include "SheetEditFixture.h"

namespace {

class CellEditTest : public SheetEditFixture {};

// A sheet of `cols` field columns holding `cells` in reading order, under a
// header of column names.
QByteArray sheetOf(const QList<QByteArray>& cells, int cols) {
  QByteArray file;
  for (int c = 1; c <= cols; ++c) file += QByteArray(c > 1 ? "\tc" : "c") + QByteArray::number(c);
  file += "\r\n";
  for (qsizetype i = 0; i < cells.size(); i += cols) {
    for (int c = 0; c < cols; ++c) {
      if (c > 0) file += '\t';
      if (i + c < cells.size()) file += cells[i + c];
    }
    file += "\r\n";
  }
  return file;
}

QList<QByteArray> windows1252Cells() {
  QList<QByteArray> cells;
  QByteArray all;
  for (int b = 1; b < 256; ++b) {
    if (b == '\t' || b == '\r' || b == '\n') continue;
    cells << QByteArray(1, static_cast<char>(b));
    all += static_cast<char>(b);
  }
  cells << all << "\"quoted\"" << "trailing blanks  " << "  leading" << "" << "\x85\x92 sheet bytes";
  return cells;
}

QList<QByteArray> utf8Cells() {
  QList<QByteArray> cells;
  for (int b = 1; b < 0x80; ++b)
    if (b != '\t' && b != '\r' && b != '\n') cells << QByteArray(1, static_cast<char>(b));
  for (char32_t cp = 0x80; cp <= 0xFF; ++cp) cells << QString::fromUcs4(&cp, 1).toUtf8();
  cells << "\xC3\xBF" "c1Gold" << "\xC3\xBF" "c4\xE4\xB8\xAD\xE6\x96\x87" << "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"
        << "\xF0\x9F\x98\x80" << "\xEF\xBB\xBF" "bom" << "\xEF\xBF\xBE\xEF\xBF\xBF" << "\xE2\x80\xA8\xE2\x80\xA9"
        << "\xF4\x8F\xBF\xBF" << "\xEF\xBF\xBD" << "\"q\" " << "";
  return cells;
}

// Carriage returns that are not line breaks, and NUL bytes: a file can hold
// them and a click must not drop them.
QList<QByteArray> controlCells() {
  return {"a\rb", "\r", "end\r", QByteArray("\0", 1), QByteArray("x\0y\0", 4), QByteArray("\r\0\x01\x1F\x7F", 5)};
}

TEST_F(CellEditTest, ClickShowsTheCellAndTypingChangesItAtOnce) {
  const struct {
    const char* name;
    QByteArray file;
    long row, col;
    const char16_t* shown;     // what the editor shows after the click
    const char16_t* typed;
    QByteArray after;          // the cell's bytes after typing
    const char16_t* drawn;     // what the grid then draws in the cell
  } cases[] = {
      {"windows1252", "name\tcost\r\nsword\t\x80\xFF\x85\r\n", 1, 2, u"\u20AC\u00FF\u2026", u"\u00E9",
       "\x80\xFF\x85\xE9", u"\u20AC\u00FF\u2026\u00E9"},
      {"utf8_colour_code", "name\tcost\r\n\xC3\xBF" "c1Sword\t1\r\n", 1, 1, u"\u00FFc1Sword", u"\u6587",
       "\xC3\xBF" "c1Sword\xE6\x96\x87", u"\u00FFc1Sword\u6587"},
      {"utf8_cjk", "a\tb\r\n1\t\xE4\xB8\xAD\r\n", 1, 2, u"\u4E2D", u"x", "\xE4\xB8\xADx", u"\u4E2Dx"},
      {"cjk_into_windows1252", "a\tb\r\n1\t\xE9\r\n", 1, 2, u"\u00E9", u"\u4E2D", "\xE9?", u"\u00E9?"},
      {"empty_cell", "a\tb\r\n1\t\r\n", 1, 2, u"", u"z", "z", u"z"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    load(write(QString::fromLatin1(c.name) + ".txt", c.file));
    clickCell(c.row, c.col);
    EXPECT_EQ(editor()->text(), QString::fromUtf16(c.shown));
    type(QString::fromUtf16(c.typed));
    EXPECT_EQ(grid()->GetTextMatrix(c.row, c.col), c.after);
    EXPECT_EQ(grid()->model()->data(indexOf(c.row, c.col)).toString(), QString::fromUtf16(c.drawn));
    clearEditor();
    EXPECT_EQ(editor()->text(), QString());
    EXPECT_EQ(grid()->GetTextMatrix(c.row, c.col), QByteArray());
    EXPECT_EQ(grid()->model()->data(indexOf(c.row, c.col)).toString(), QString());
  }
}

// Clicking every cell, and moving the focus into the editor and out again
// after each click, must leave the file as it was.
TEST_F(CellEditTest, ClicksAndFocusChangeNoByte) {
  const struct {
    const char* name;
    QList<QByteArray> cells;
    int cols;
  } cases[] = {
      {"windows1252_every_byte", windows1252Cells(), 12},
      {"utf8_every_byte", utf8Cells(), 12},
      {"cr_and_nul_inside_cells", controlCells(), 3},
  };
  activate();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const QByteArray bytes = sheetOf(c.cells, c.cols);
    const QString file = write(QString::fromLatin1(c.name) + ".txt", bytes);
    load(file);
    for (long row = 1; row < grid()->GetRows(); ++row) {
      for (long col = 1; col < grid()->GetCols(); ++col) {
        clickCell(row, col);
        ASSERT_FALSE(editor()->hasFocus());
        editor()->setFocus(Qt::MouseFocusReason);
        ASSERT_TRUE(editor()->hasFocus());
        ASSERT_EQ(grid()->GetTextMatrix(row, col), c.cells.value((row - 1) * c.cols + col - 1))
            << row << "," << col;
      }
    }
    clickCell(1, 1);  // the editor's focus goes back to the grid
    EXPECT_EQ(saveAndRead(file), bytes);
  }
}

TEST_F(CellEditTest, HeaderAndLabelsAreNeverTheCurrentCell) {
  const QString file = write("h.txt", "name\tcost\r\nsword\t10\r\naxe\t20\r\n");
  load(file);
  clickCell(2, 2);
  ASSERT_EQ(editor()->text(), "20");
  QHeaderView* top = grid()->horizontalHeader();
  QHeaderView* side = grid()->verticalHeader();
  QTest::mouseClick(top->viewport(), Qt::LeftButton, {},
                    QPoint(top->sectionViewportPosition(0) + 5, top->height() / 2));
  QTest::mouseClick(side->viewport(), Qt::LeftButton, {},
                    QPoint(side->width() / 2, side->sectionViewportPosition(0) + 5));
  EXPECT_EQ(editor()->text(), "20");
  type("5");
  EXPECT_EQ(saveAndRead(file), "name\tcost\r\nsword\t10\r\naxe\t205\r\n");
}

TEST_F(CellEditTest, KeyboardMovesBringTheNewCellUp) {
  load(write("k.txt", "a\tb\tc\r\n1\t2\t3\r\n4\t5\t6\r\n"));
  clickCell(1, 1);
  const struct {
    Qt::Key key;
    QString shown;
  } moves[] = {{Qt::Key_Right, "2"}, {Qt::Key_Down, "5"}, {Qt::Key_Right, "6"}, {Qt::Key_Up, "3"}};
  for (const auto& m : moves) {
    QTest::keyClick(grid(), m.key);
    EXPECT_EQ(editor()->text(), m.shown);
  }
  type("!");
  EXPECT_EQ(grid()->GetTextMatrix(1, 3), "3!");
}

// No cell is too long for the editor: it goes through whole, and typing adds
// to the whole of it.
TEST_F(CellEditTest, AHugeCellGoesThroughTheEditorWhole) {
  QByteArray latin;
  for (int i = 0; i < 120000; ++i) latin += static_cast<char>(0x80 + i % 128);
  QByteArray cjk;
  for (int i = 0; i < 100000; ++i) cjk += "\xE4\xB8\xAD";
  const struct {
    const char* name;
    QByteArray cell;
    qsizetype characters;
  } cases[] = {{"windows1252", latin, 120000}, {"utf8", cjk, 100000}};
  activate();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const QByteArray head = "name\tbig\r\nx\t";
    const QString file = write(QString::fromLatin1(c.name) + ".txt", head + c.cell + "\r\n");
    load(file);
    clickCell(1, 2);
    EXPECT_EQ(editor()->text().size(), c.characters);
    editor()->setFocus(Qt::MouseFocusReason);
    clickCell(1, 1);
    clickCell(1, 2);
    EXPECT_EQ(grid()->GetTextMatrix(1, 2), c.cell);
    key(Qt::Key_End);
    type("z");
    EXPECT_EQ(saveAndRead(file), head + c.cell + "z\r\n");
  }
}

// Coming back to the window after choosing a file must not write what the
// editor held into the new sheet.
TEST_F(CellEditTest, ReturningToTheWindowAfterALoadChangesNothing) {
  activate();
  load(write("first.txt", "a\tb\r\nold text\t1\r\n"));
  clickCell(1, 1);
  editor()->setFocus(Qt::MouseFocusReason);
  ASSERT_TRUE(editor()->hasFocus());

  const QByteArray second = "name\tcost\r\nsword\t10\r\n";
  const QString file = write("second.txt", second);
  QWidget chooser;  // stands in for the open dialog, which takes the focus while it is up
  SetOpenFileDialogHandler([&](const OpenFileRequest&) -> std::optional<QString> {
    chooser.show();
    QApplication::setActiveWindow(&chooser);
    EXPECT_TRUE(QTest::qWaitForWindowActive(&chooser));
    return file;
  });
  menu(ID_FILE_LOAD_TEXT);
  chooser.hide();
  activate();
  QCoreApplication::processEvents();
  EXPECT_EQ(saveAndRead(file), second);
}

TEST_F(CellEditTest, FreezeKeepsTheNameColumnInView) {
  QList<QByteArray> cells;
  for (int i = 0; i < 30 * 40; ++i)
    cells << "r" + QByteArray::number(i / 30 + 1) + "c" + QByteArray::number(i % 30 + 1);
  const QByteArray bytes = sheetOf(cells, 30);
  const QString file = write("wide.txt", bytes);
  load(file);
  QCoreApplication::processEvents();
  QTableView* frozen = grid()->FrozenView();

  menu(ID_FREEZE_NAME_COLUMN);
  EXPECT_EQ(grid()->GetFixedCols(), 2);
  QCoreApplication::processEvents();
  ASSERT_TRUE(frozen->isVisible());
  EXPECT_FALSE(frozen->isColumnHidden(0));
  EXPECT_TRUE(frozen->isColumnHidden(1));
  const QRect placed = frozen->geometry();
  EXPECT_EQ(placed.left(), grid()->verticalHeader()->width() + grid()->frameWidth());
  EXPECT_EQ(placed.width(), grid()->columnWidth(0));
  EXPECT_GE(placed.height(), grid()->viewport()->height());

  // Scrolled all the way right: the grid's own first column has gone, the
  // frozen one stays where it was and still shows column 1.
  grid()->horizontalScrollBar()->setValue(grid()->horizontalScrollBar()->maximum());
  QCoreApplication::processEvents();
  ASSERT_GT(grid()->horizontalScrollBar()->maximum(), 0);
  EXPECT_LT(grid()->visualRect(indexOf(1, 1)).right(), 0);
  EXPECT_TRUE(frozen->isVisible());
  EXPECT_EQ(frozen->geometry(), placed);
  EXPECT_EQ(frozen->visualRect(indexOf(1, 1)).left(), 0);
  const QPoint inFrozen = placed.center();
  QWidget* under = grid()->childAt(inFrozen);
  EXPECT_TRUE(under == frozen || frozen->isAncestorOf(under));

  // A click on the frozen column, scrolled down, brings that cell up.
  frozen->scrollTo(indexOf(35, 1));
  QCoreApplication::processEvents();
  const QRect cell = frozen->visualRect(indexOf(35, 1));
  ASSERT_TRUE(frozen->viewport()->rect().contains(cell.center()));
  QTest::mouseClick(frozen->viewport(), Qt::LeftButton, {}, cell.center());
  EXPECT_EQ(editor()->text(), "r35c1");
  EXPECT_EQ(grid()->horizontalScrollBar()->value(), grid()->horizontalScrollBar()->maximum());

  menu(ID_FREEZE_NAME_COLUMN);
  EXPECT_EQ(grid()->GetFixedCols(), 1);
  EXPECT_FALSE(frozen->isVisible());
  EXPECT_EQ(saveAndRead(file), bytes);
}

TEST_F(CellEditTest, FreezeBringsTheCurrentCellUp) {
  load(write("first.txt", "a\tb\r\nfirst\t1\r\n"));
  clickCell(1, 1);
  const QByteArray second = "name\tcost\r\nsword\t10\r\n";
  const QString file = write("second.txt", second);
  load(file);
  EXPECT_EQ(editor()->text(), "first");  // a load leaves the editor alone
  menu(ID_FREEZE_NAME_COLUMN);
  EXPECT_EQ(editor()->text(), "sword");
  EXPECT_EQ(saveAndRead(file), second);
}

TEST_F(CellEditTest, FreezeIsIgnoredWithoutASheet) {
  const struct {
    const char* name;
    const char* file;  // nothing loaded when null
  } cases[] = {{"nothing_loaded", nullptr}, {"string_table", "strings.tbl"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.file) load(write(c.file, QByteArray(64, '\0')));
    editor()->setText("untouched");
    const long before = grid()->GetFixedCols();
    menu(ID_FREEZE_NAME_COLUMN);
    EXPECT_EQ(grid()->GetFixedCols(), before);
    EXPECT_EQ(editor()->text(), "untouched");
    EXPECT_FALSE(grid()->FrozenView()->isVisible());
  }
}

TEST_F(CellEditTest, ALoadWhileFrozenStartsUnfrozen) {
  load(write("a.txt", "a\tb\r\n1\t2\r\n"));
  menu(ID_FREEZE_NAME_COLUMN);
  ASSERT_EQ(grid()->GetFixedCols(), 2);
  load(write("b.txt", "c\td\r\n3\t4\r\n"));
  EXPECT_EQ(grid()->GetFixedCols(), 1);
  EXPECT_FALSE(grid()->FrozenView()->isVisible());
}

}  // namespace
