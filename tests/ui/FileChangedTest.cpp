// The file of an open sheet changed underneath the editor by another program:
// cut to nothing, then written anew with other text. The grid must go on
// showing what was loaded, at the top and at the end, and a save must write
// exactly that.
#include <QProcess>
#include <QScrollBar>

#include "EditorFixture.h"

namespace {

using FileChangedTest = EditorFixture;

// Every cell the grid holds, as the save would see them, one string per row.
QByteArrayList shownRows(const CMSFlexGrid& grid) {
  QByteArrayList rows;
  for (long row = 0; row < grid.GetRows(); ++row) {
    QByteArrayList cells;
    for (long col = 0; col < grid.GetCols(); ++col) cells << grid.GetTextMatrix(row, col);
    rows << cells.join('|');
  }
  return rows;
}

bool runShell(const QString& script, const QString& path) {
  return QProcess::execute(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script, QStringLiteral("sh"), path}) == 0;
}

TEST_F(FileChangedTest, TheGridAndTheSaveKeepWhatWasLoaded) {
  QByteArray sheet = "name\ttype\tcost\r\n";
  for (int i = 1; i < 20000; ++i)
    sheet += "Item " + QByteArray::number(i) + "\tt" + QByteArray::number(i % 7) + "\t" + QByteArray::number(i * 3) + "\r\n";
  const QString path = write("sheet.txt", sheet);
  m_dlg->show();
  load(path);
  ASSERT_EQ(grid()->GetRows(), 20000);
  const QByteArrayList loaded = shownRows(*grid());
  QScrollBar* down = grid()->verticalScrollBar();
  // Scrolls to the end and back, drawing the cells at each end from the
  // sheet's bytes, as a user would see them.
  const auto scrollBothWays = [&] {
    for (const int to : {down->maximum(), 0}) {
      down->setValue(to);
      grid()->viewport()->repaint();
      QCoreApplication::processEvents();
      EXPECT_EQ(grid()->GetTextMatrix(19999, 1), "Item 19999");
    }
  };

  ASSERT_TRUE(runShell(": > \"$1\"", path));
  EXPECT_EQ(ReadBytes(path), "");
  scrollBothWays();
  EXPECT_EQ(shownRows(*grid()), loaded);

  ASSERT_TRUE(runShell("printf 'other\\ttext\\r\\n' > \"$1\"", path));
  EXPECT_EQ(ReadBytes(path), "other\ttext\r\n");
  scrollBothWays();
  EXPECT_EQ(shownRows(*grid()), loaded);

  EXPECT_EQ(saveAndRead(path), sheet);
  EXPECT_EQ(m_messages, QStringList{"File saved"});
  EXPECT_EQ(shownRows(*grid()), loaded);
}

}  // namespace
