// Cell editing through the real editor window: a click brings a cell up in
// the editor, typing changes the cell at once, nothing done without typing
// changes a byte, and the frozen name column stays in view.
#include <QScrollBar>

#include "EditorFixture.h"

using CellEditTest = EditorFixture;

// A sheet of `cols` columns holding `cells` in reading order, under a header of empty names.
static QByteArray sheetOf(const QList<QByteArray>& cells, int cols) {
  QByteArray file(cols - 1, '\t');
  for (qsizetype i = 0; i < (cells.size() + cols - 1) / cols * cols; ++i) file += (i % cols ? "\t" : "\r\n") + cells.value(i);
  return file + "\r\n";
}

// The cell is row 1, column 2: a Windows-1252 sheet, and a UTF-8 one typed into
// past the basic plane.
TEST_F(CellEditTest, ClickShowsTheCellAndTypingChangesItAtOnce) {
  for (const auto& [file, shown, typed, cell] : {
           std::tuple<QByteArray, const char16_t*, const char16_t*, QByteArray>{
               "name\tcost\r\nsword\t\x80\xFF\x85\r\n", u"\u20AC\u00FF\u2026", u"\u00E9\u20AC", "\x80\xFF\x85\xE9\x80"},
           {"n\tc\r\n1\t\xC3\xBF" "c1\r\n", u"\u00FFc1", u"\U0001F600", "\xC3\xBF" "c1\xF0\x9F\x98\x80"}}) {
    load(write("sheet.txt", file));
    clickCell(1, 2);
    EXPECT_EQ(editor()->text(), QString::fromUtf16(shown));
    type(QString::fromUtf16(typed));
    EXPECT_EQ(grid()->GetTextMatrix(1, 2), cell) << file.constData();
  }
}

// A click on every cell, then the focus into the editor and out again, writes
// the editor's text back each time: the file must stay as it was, whatever
// its cells hold and however long they are. Each sheet loads with the focus
// still in the editor from the one before, the open dialog taking the window's
// focus while it is up.
TEST_F(CellEditTest, ClicksAndFocusChangeNoByte) {
  QList<QByteArray> latin, utf8;
  for (int b = 1; b < 256; ++b)
    if (b != '\t' && b != '\r' && b != '\n') latin << QByteArray(1, static_cast<char>(b));
  for (const QByteArray& b : latin) utf8 << QString::fromLatin1(b).toUtf8();
  latin << latin.join() << "\"quoted\"" << "  blanks at both ends  " << "" << "\x85\x92 sheet bytes";
  utf8 << "\xEF\xBB\xBF" "bom" << "\xC3\xBF" "c4\xE4\xB8\xAD" << "\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF" << ""
       << "\xEF\xBF\xBE\xEF\xBF\xBF\xEF\xBF\xBD" << "\xE2\x80\xA8\xE2\x80\xA9";
  const QList<QByteArray> control = {"a\rb", "\r", "end\r", QByteArray("x\0y\0", 4), QByteArray("\r\0\x01\x1F\x7F", 5)};
  activate();
  m_dialogTakesFocus = true;
  for (const auto& [cells, cols] : {std::pair{latin, 12}, {utf8, 12}, {control, 3},  // and two very long cells:
                                    {{latin.join().repeated(200)}, 1}, {{utf8.join().repeated(300)}, 1}}) {
    load(write("sheet.txt", sheetOf(cells, cols)));
    for (long row = 1; row < grid()->GetRows(); ++row)
      for (long col = 1; col < grid()->GetCols(); ++col) {
        clickCell(row, col);
        editor()->setFocus(Qt::MouseFocusReason);
        ASSERT_TRUE(editor()->hasFocus());
        ASSERT_EQ(grid()->GetTextMatrix(row, col), cells.value((row - 1) * cols + col - 1)) << row << "," << col;
      }
    EXPECT_EQ(saveAndRead(m_dlg->m_szFilePath), sheetOf(cells, cols));
  }
}

// Frozen, the name column stays over the grid's left side, lined up with the
// rows scrolled to, while the other columns scroll by whole columns beside it,
// also once it is made wider; a click in it is a click on the cell. Freezing
// and unfreezing leave the rows and columns shown where they are, wherever
// the current cell is. A load leaves the editor's text alone and starts
// unfrozen.
TEST_F(CellEditTest, FreezeKeepsTheNameColumnInView) {
  QList<QByteArray> cells;
  for (int i = 0; i < 30 * 80; ++i) cells << QByteArray::number(i);  // 30 columns
  const QString file = write("wide.txt", sheetOf(cells, 30));
  activate();
  load(write("first.txt", "a\tb\r\nold\t1\r\n"));
  clickCell(1, 1);  // the grid has the focus when the next load hides it
  load(file);
  EXPECT_EQ(editor()->text(), "old");
  QTableView* frozen = grid()->FrozenView();
  // The first row and the first column that scrolls, at the grid's top left.
  const auto shown = [&] { QCoreApplication::processEvents(); return std::pair{grid()->rowAt(0), grid()->columnAt(0)}; };
  shown();
  grid()->verticalScrollBar()->setValue(grid()->verticalScrollBar()->maximum());
  grid()->horizontalScrollBar()->setValue(grid()->horizontalScrollBar()->maximum() / 2);
  auto before = shown();
  menu(ID_FREEZE_NAME_COLUMN);
  EXPECT_EQ(editor()->text(), "0");  // the current cell comes up
  EXPECT_EQ(shown(), before);  // and the grid stays where it was
  ASSERT_TRUE(grid()->GetFixedCols() == 2 && frozen->isVisible());
  EXPECT_EQ(frozen->rowAt(0), grid()->rowAt(0));
  for (const long frozenTwips : {1800L, 2500L}) {
    grid()->SetColWidth(1, frozenTwips);
    for (const int step : {0, 1, 2, 3}) {  // from the first position on
      grid()->horizontalScrollBar()->setValue(grid()->horizontalScrollBar()->maximum() * step / 3);
      QCoreApplication::processEvents();
      SCOPED_TRACE(testing::Message() << frozenTwips << " twips, step " << step);
      const int first = grid()->columnAt(0);  // whole, where the frozen one ends
      EXPECT_TRUE(first >= 1 && grid()->columnViewportPosition(first) == 0);
      EXPECT_EQ(grid()->viewport()->geometry().left(), frozen->geometry().right() + 1);
      EXPECT_EQ(frozen->geometry().left(), grid()->frameWidth());
    }
  }
  clickCell(45, 1, frozen);
  EXPECT_EQ(editor()->text(), QString::number(44 * 30));  // row 45, column 1
  grid()->verticalScrollBar()->setValue(3);  // the current cell's row out of sight
  grid()->horizontalScrollBar()->setValue(grid()->horizontalScrollBar()->maximum() / 2);
  before = shown();
  menu(ID_FREEZE_NAME_COLUMN);
  EXPECT_EQ(shown(), before);
  EXPECT_TRUE(grid()->GetFixedCols() == 1 && !frozen->isVisible());
  menu(ID_FREEZE_NAME_COLUMN);
  load(file);
  EXPECT_TRUE(grid()->GetFixedCols() == 1 && !frozen->isVisible());
  EXPECT_EQ(saveAndRead(file), sheetOf(cells, 30));  // and freezing changed nothing that is saved
}

// Keys in the grid move its current cell but never bring the cell up in the
// editor, and a letter typed there finds nothing: only a click does.
TEST_F(CellEditTest, KeysInTheGridLeaveTheEditorAlone) {
  QList<QByteArray> cells;
  for (int i = 0; i < 5 * 60; ++i) cells << (i == 6 ? "alpha" : i == 7 ? "gamma" : "g" + QByteArray::number(i));
  const QString file = write("keys.txt", sheetOf(cells, 5));
  activate();
  load(file);
  // One key that moves the current cell, which the grid then reports, and
  // letters, which find nothing; where each key moves is the view's own.
  struct Case { Qt::Key key; Qt::KeyboardModifiers modifiers; long row, col; };
  for (const Case& c : {Case{Qt::Key_Down, {}, 3, 2}, {Qt::Key_End, Qt::ControlModifier, grid()->GetRows() - 1, 5},
                        {Qt::Key_G, {}, 2, 2}, {Qt::Key_A, Qt::ShiftModifier, 2, 2}}) {
    SCOPED_TRACE(QKeySequence(c.key | c.modifiers).toString().toStdString());
    clickCell(2, 2);
    ASSERT_EQ(editor()->text(), "alpha");
    grid()->setFocus();
    QTest::keyClick(grid(), c.key, c.modifiers);
    EXPECT_EQ(editor()->text(), "alpha");
    EXPECT_EQ(std::pair(grid()->GetRow(), grid()->GetCol()), std::pair(c.row, c.col));
  }
  EXPECT_EQ(saveAndRead(file), sheetOf(cells, 5));  // and no cell took the editor's text
}

// The grid's own interface as a caller drives it: rows and columns cut and
// added, a row appended from its fields, cells and labels written, the
// current cell moved, widths in twips, and every cell emptied.
TEST_F(CellEditTest, TheGridInterfaceDoesWhatItSays) {
  load(write("g.txt", "a\tb\r\n1\t2\r\n3\t4\r\n"));
  grid()->SetRows(2);
  grid()->SetCols(4);
  grid()->AddItem("L\tx\ty\tz");
  grid()->SetTextMatrix(1, 0, "first");
  grid()->SetTextMatrix(2, 3, "w");
  grid()->SetRow(2);
  grid()->SetCol(1);
  EXPECT_EQ(grid()->GetText(), "x");
  EXPECT_EQ(grid()->GetTextMatrix(2, 3), "w");
  EXPECT_EQ(CellsOf(grid()->Store()), "|a|b|\nfirst|1|2|\nL|x|y|w\n");
  for (const long col : {0L, 1L, 3L})
    for (const long twips : {720L, 2160L}) {  // whole pixels at any even resolution
      grid()->SetColWidth(col, twips);
      EXPECT_EQ(grid()->GetColWidth(col), twips) << col;
    }
  grid()->Clear();
  EXPECT_EQ(CellsOf(grid()->Store()), "|||\n|||\n|||\n");
}
