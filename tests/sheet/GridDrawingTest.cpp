// The grid draws plain cells and its lines its own, quicker way; the picture
// must be exactly what a plain QTableView, drawing through the style, shows
// for the same sheet, current cell and scroll position.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>

#include "sheet/MSFlexGrid.h"

namespace {

QImage cells(QAbstractItemView& view) { return view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32); }

QByteArray manyRows() {
  QByteArray file = "name\tcode\tcost\tspeed\tlevel\tnote\tx\ty\tz\tw\tv\r\n";
  for (int i = 1; i < 400; ++i)
    file += "Item number " + QByteArray::number(i) + "\tc" + QByteArray::number(i % 37) + "\t" +
            QByteArray::number(i * 13) + "\t-" + QByteArray::number(i % 5) + "\t" + QByteArray::number(i % 99) +
            "\t" + (i % 4 ? "" : "a note far too long to fit in a narrow column") + "\t1\t2\t3\t4\t5\r\n";
  return file;
}

TEST(GridDrawing, DrawsAsTheStyleDoes) {
  const struct {
    const char* name;
    QByteArray file;
    long row, col;  // the current cell (grid numbering)
    bool scrolled;  // half way down and right
  } cases[] = {
      {"plain with a selection", "a\tb\tc\r\n1\t2\t3\r\n4\t5\t6\r\n", 2, 2, false},
      {"right to left, emoji, line separator", "h1\th2\th3\r\n\xc3\xbf" "c4Gold \xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d\t\xf0\x9f\x97\xa1 and "
       "\xd8\xb9\xd8\xb1\xd8\xa8\xd9\x8a text wider than its cell\t\xe5\x89\xa3\r\none\xe2\x80\xa8two\t\tx\r\n", 1, 3, false},
      {"windows-1252 and controls", "name\tv\r\nCaf\xe9\t\x85\x92\x80\r\nA\rB\t\x01\x02\r\n", 2, 1, false},
      {"scrolled, many rows", manyRows(), 200, 6, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SheetStore store;
    SheetModel sheet(store);
    CMSFlexGrid grid(sheet);
    grid.resize(640, 260);
    grid.SetCodec(TextCodec::ForBytes(c.file));
    grid.SetCols(static_cast<long>(c.file.left(c.file.indexOf('\n')).count('\t')) + 2);
    grid.AddFileLines(c.file);
    for (long col = 1; col < grid.GetCols(); ++col) {  // every alignment code, and two widths
      grid.SetColAlignment(col, static_cast<short>((col - 1) % 10));
      grid.SetColWidth(col, col % 3 ? 1800 : 700);
    }
    grid.show();
    QApplication::processEvents();
    if (c.scrolled) {
      grid.verticalScrollBar()->setValue(grid.verticalScrollBar()->maximum() / 2);
      grid.horizontalScrollBar()->setValue(grid.horizontalScrollBar()->maximum() / 2);
    }
    grid.SetRow(c.row), grid.SetCol(c.col);
    QApplication::processEvents();

    QTableView plain;  // the same model and selection, sized and scrolled like the grid
    plain.setModel(grid.Model());
    plain.setSelectionModel(grid.selectionModel());
    plain.setWordWrap(false);
    plain.setHorizontalScrollMode(grid.horizontalScrollMode());
    plain.setVerticalScrollMode(grid.verticalScrollMode());
    plain.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    plain.verticalHeader()->setDefaultSectionSize(grid.verticalHeader()->defaultSectionSize());
    plain.verticalHeader()->setFixedWidth(grid.verticalHeader()->width());
    plain.horizontalHeader()->setFixedHeight(grid.horizontalHeader()->height());
    for (int col = 0; col < grid.Model()->columnCount(); ++col) plain.setColumnWidth(col, grid.columnWidth(col));
    plain.resize(grid.size());
    plain.show();
    QApplication::processEvents();
    plain.horizontalScrollBar()->setValue(grid.horizontalScrollBar()->value());
    plain.verticalScrollBar()->setValue(grid.verticalScrollBar()->value());
    QApplication::processEvents();
    EXPECT_TRUE(cells(grid) == cells(plain));
  }
}

}  // namespace
