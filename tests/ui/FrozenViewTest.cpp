// The view of the frozen name column holds the sheet only while a column is
// frozen (so that a load of a million rows does not also build its row
// header), and when it takes the sheet it lines up with the grid at once.
#include <QCoreApplication>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QTableView>

#include "EditorFixture.h"
#include "sheet/MSFlexGrid.h"

namespace {

class FrozenViewTest : public EditorFixture {
 protected:
  CMSFlexGrid* grid() const { return m_dlg->m_grid; }
  QTableView* frozen() const { return grid()->FrozenView(); }
  void loadRows(int records) {
    QByteArray bytes = "name\tcost\r\n";
    for (int i = 1; i <= records; ++i) bytes += "item" + QByteArray::number(i) + "\t" + QByteArray::number(i) + "\r\n";
    load(write("sheet.txt", bytes));
    QCoreApplication::processEvents();
  }
};

TEST_F(FrozenViewTest, HoldsTheSheetOnlyWhileFrozen) {
  loadRows(50);
  EXPECT_EQ(frozen()->model(), nullptr);
  command(ID_FREEZE_NAME_COLUMN);
  EXPECT_EQ(frozen()->model(), grid()->model());
  EXPECT_EQ(frozen()->selectionModel(), grid()->selectionModel());
  EXPECT_TRUE(frozen()->isVisible());
  command(ID_FREEZE_NAME_COLUMN);
  EXPECT_EQ(frozen()->model(), nullptr);
  EXPECT_FALSE(frozen()->isVisible());
  loadRows(10);  // a load while unfrozen leaves it empty
  EXPECT_EQ(frozen()->model(), nullptr);
}

TEST_F(FrozenViewTest, FreezingWhileScrolledDownLinesUpTheRows) {
  loadRows(5000);
  QScrollBar* bar = grid()->verticalScrollBar();
  const struct {
    const char* name;
    int value;
  } positions[] = {{"middle", bar->maximum() / 2}, {"bottom", bar->maximum()}, {"top", 0}};
  for (const auto& p : positions) {
    SCOPED_TRACE(p.name);
    bar->setValue(p.value);
    QCoreApplication::processEvents();
    command(ID_FREEZE_NAME_COLUMN);
    ASSERT_EQ(grid()->GetFixedCols(), 2);
    EXPECT_EQ(frozen()->verticalScrollBar()->value(), bar->value());
    EXPECT_EQ(frozen()->rowAt(0), grid()->rowAt(0));
    bar->setValue(bar->value() / 3);  // and they scroll together afterwards
    EXPECT_EQ(frozen()->rowAt(0), grid()->rowAt(0));
    command(ID_FREEZE_NAME_COLUMN);
  }
  EXPECT_GT(positions[0].value, 0);
}

TEST_F(FrozenViewTest, ToggledOftenKeepsOneSharedCurrentCell) {
  loadRows(20);
  for (int i = 0; i < 21; ++i) command(ID_FREEZE_NAME_COLUMN);
  ASSERT_EQ(grid()->GetFixedCols(), 2);
  // No selection model is left behind by the toggles.
  EXPECT_LE(frozen()->findChildren<QItemSelectionModel*>(Qt::FindDirectChildrenOnly).size(), 1);
  grid()->SetRow(3);
  grid()->SetCol(1);
  EXPECT_EQ(frozen()->currentIndex(), grid()->model()->index(2, 0));
  EXPECT_EQ(grid()->currentIndex(), grid()->model()->index(2, 0));
}

}  // namespace
