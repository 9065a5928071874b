#pragma once
// "MPQ Archiver": a box that will one day work on archives. For now it holds
// a menu with "&Load MPQ", which does nothing, and a greyed-out list that
// says "Not functional yet" once for every show-window notification.
#include "platform/SimpleDialog.h"

class QAction;
class QListWidget;
class QMenuBar;

class CArchiverDlg : public CSimpleDialog {
  Q_OBJECT

 public:
  explicit CArchiverDlg(QWidget* parent = nullptr);
  ~CArchiverDlg() override;

  // The control with this identifier (IDC_ARCHIVE_LIST), or nullptr.
  QWidget* GetDlgItem(int id) const;
  // The menu bar's command item by its command id (ID_LOAD_MPQ), or nullptr.
  QAction* MenuCommand(unsigned id) const;

  void OnLoadMpq();
  // Both showing and hiding report here, as the old show-window
  // notification did; neither argument is looked at.
  void OnShowWindow(bool bShow, unsigned nStatus);

  QListWidget* m_archiveList = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  QMenuBar* m_menuBar = nullptr;
};
