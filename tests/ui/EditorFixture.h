#pragma once
// Drives the real editor window offscreen the way a user does: an application
// in a working directory of its own, the open dialog answered by the test,
// message boxes recorded, menu commands, mouse clicks on grid cells and keys
// typed into the cell editor.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include "TestFiles.h"
#include "app/TabSheetApp.h"
#include "platform/Dialogs.h"
#include "res/resource.h"
#include "sheet/MSFlexGrid.h"
#include "ui/TabSheetDlg.h"

class EditorFixture : public testing::Test {
 protected:
  void SetUp() override {
    SetOpenFileDialogHandler([this](const OpenFileRequest& request) {
      m_requests.push_back(request);
      if (m_dialogTakesFocus) {
        m_chooser.show();
        QApplication::setActiveWindow(&m_chooser);
        EXPECT_TRUE(QTest::qWaitForWindowActive(&m_chooser));
      }
      return std::exchange(m_choice, std::nullopt);
    });
    SetMessageBoxHandler([this](QWidget*, const QString& text) { m_messages << text; });
    start();
  }
  void TearDown() override { SetOpenFileDialogHandler({}); SetMessageBoxHandler({}); }

  // A new editor window, started as the application starts it.
  void start() { m_dlg = m_app->MakeEditorWindow(); m_dlg->OnInitDialog(); }
  CMSFlexGrid* grid() const { return m_dlg->m_grid; }
  QLineEdit* editor() const { return m_dlg->m_cellEditor; }
  // The folder and its files as the program sees paths: with backslashes on Windows.
  QString dir() const { return QDir::toNativeSeparators(m_dir.path()); }
  QString path(const QString& name) const { return QDir::toNativeSeparators(m_dir.filePath(name)); }
  QString write(const QString& name, const QByteArray& bytes) const { return WriteBytes(path(name), bytes); }
  // Picks the command's item from the menu bar.
  void menu(UINT id) {
    for (QAction* action : m_dlg->findChildren<QAction*>())
      if (!action->isSeparator() && action->data().toUInt() == id) return action->trigger();
    FAIL() << "no menu item " << id;
  }
  // Load, with `file` chosen in the open dialog.
  void load(const QString& file) {
    m_choice = file;
    menu(ID_FILE_LOAD_TEXT);
    if (m_chooser.isVisible()) activate();
  }
  QByteArray saveAndRead(const QString& file) { menu(ID_FILE_SAVE_TEXT); return ReadBytes(file); }
  // The editor window becomes the active window, so that the focus moves as on a desktop.
  void activate() {
    m_chooser.hide();
    QApplication::setActiveWindow(m_dlg.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_dlg.get()));
  }
  // A left click on a cell (row 0 is the header, column 0 the labels), in the
  // grid or the view given, scrolled into view first as a user would.
  void clickCell(long row, long col, QAbstractItemView* view = nullptr) {
    view = view ? view : grid();
    const QModelIndex index = view->model()->index(static_cast<int>(row - 1), static_cast<int>(col - 1));
    view->scrollTo(index);
    QCoreApplication::processEvents();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
  }
  // One key per character, carrying the character as an input method does.
  void type(const QString& text) {
    for (const char32_t c : text.toUcs4())
      QTest::sendKeyEvent(QTest::Click, editor(), Qt::Key_unknown, QString::fromUcs4(&c, 1), {});
  }

  QTemporaryDir m_dir;
  ScopedWorkingDirectory m_cwd{m_dir.path()};
  std::unique_ptr<CTabSheetApp> m_app = std::make_unique<CTabSheetApp>();
  std::unique_ptr<CTabSheetDlg> m_dlg;
  bool m_dialogTakesFocus = false;  // while it is up, as a window of its own
  QWidget m_chooser;                // stands in for the open dialog's window
  std::optional<QString> m_choice;
  std::vector<OpenFileRequest> m_requests;
  QStringList m_messages;
};
