#pragma once
// The editor window driven the way a user drives it: mouse clicks on grid
// cells, keys typed into the cell editor, menu commands, and the file on disk
// read back after a save.
#include <QCoreApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenuBar>
#include <QScrollBar>
#include <QTest>

#include "EditorFixture.h"
#include "sheet/MSFlexGrid.h"

class SheetEditFixture : public EditorFixture {
 protected:
  CMSFlexGrid* grid() const { return m_dlg->m_grid; }
  QLineEdit* editor() const { return m_dlg->m_cellEditor; }

  // Row and column as the grid numbers them: row 0 is the header, column 0
  // the labels.
  QModelIndex indexOf(long row, long col) const {
    return grid()->model()->index(static_cast<int>(row - 1), static_cast<int>(col - 1));
  }

  // A left click on the cell, brought into view first as a user would scroll
  // to it. Fails the test when the cell has no place on screen.
  void clickCell(long row, long col) {
    const QModelIndex index = indexOf(row, col);
    ASSERT_TRUE(index.isValid()) << row << "," << col;
    static_cast<QAbstractItemView*>(grid())->scrollTo(index);  // as the scroll bars would
    QCoreApplication::processEvents();
    const QRect rect = grid()->visualRect(index);
    ASSERT_TRUE(grid()->viewport()->rect().contains(rect.center())) << row << "," << col;
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
  }

  // Types text where the editor's cursor is. Characters beyond ASCII arrive
  // as a key press carrying the character, as from an input method.
  void type(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
      const qsizetype n = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
      const QString ch = text.mid(i, n);
      if (ch.at(0).unicode() < 0x80) QTest::keyClicks(editor(), ch);
      else QTest::sendKeyEvent(QTest::Click, editor(), Qt::Key_unknown, ch, Qt::NoModifier);
      i += n - 1;
    }
  }
  void key(Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) { QTest::keyClick(editor(), k, modifiers); }
  void clearEditor() {
    key(Qt::Key_A, Qt::ControlModifier);
    key(Qt::Key_Backspace);
  }

  // Runs a command from the menu bar, as the user picks it.
  void menu(UINT id) {
    const QMenuBar* bar = m_dlg->findChild<QMenuBar*>();
    ASSERT_NE(bar, nullptr);
    QList<QAction*> actions = bar->actions();
    for (QAction* top : bar->actions())
      if (top->menu()) actions += top->menu()->actions();
    for (QAction* action : actions) {
      if (!action->isSeparator() && action->data().toUInt() == id) {
        action->trigger();
        return;
      }
    }
    FAIL() << "no menu item for " << id;
  }

  // Makes the editor window the active window, so that focus moves as it does
  // on a desktop.
  void activate() {
    QApplication::setActiveWindow(m_dlg.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_dlg.get()));
  }

  // Saves and gives back what reached the disk.
  QByteArray saveAndRead(const QString& file) {
    menu(ID_FILE_SAVE_TEXT);
    return ReadBytes(file);
  }
};
