#include "archive/ArchiverDlg.h"

#include <QAction>
#include <QFont>
#include <QListWidget>
#include <QMenuBar>
#include <QVBoxLayout>

#include "res/resource.h"

CArchiverDlg::CArchiverDlg(QWidget* parent)
    : CSimpleDialog(parent, QFont(QStringLiteral("Arial Black"), 8), QSize(163, 129)) {
  setWindowTitle(QStringLiteral("MPQ Archiver"));

  // One command item on the bar itself, no drop-down.
  m_menuBar = new QMenuBar(this);
  QAction* load = m_menuBar->addAction(QStringLiteral("&Load MPQ"));
  load->setData(static_cast<unsigned>(ID_LOAD_MPQ));
  connect(load, &QAction::triggered, this, [this] { OnLoadMpq(); });
  FrameLayout()->setMenuBar(m_menuBar);

  // Disabled: the lines are greyed out and cannot be selected. Not sorted,
  // so they stay in the order they came.
  m_archiveList = new QListWidget(ClientArea());
  m_archiveList->setObjectName(QStringLiteral("IDC_ARCHIVE_LIST"));
  m_archiveList->setGeometry(MapDialogRect(QRect(4, 3, 154, 101)));
  m_archiveList->setSortingEnabled(false);
  m_archiveList->setEnabled(false);

  CentreOnScreen();
}

CArchiverDlg::~CArchiverDlg() = default;

QWidget* CArchiverDlg::GetDlgItem(int id) const {
  return id == IDC_ARCHIVE_LIST ? m_archiveList : nullptr;
}

QAction* CArchiverDlg::MenuCommand(unsigned id) const {
  for (QAction* action : m_menuBar->actions())
    if (action->data().toUInt() == id) return action;
  return nullptr;
}

void CArchiverDlg::OnLoadMpq() {}

void CArchiverDlg::OnShowWindow(bool /*bShow*/, unsigned /*nStatus*/) {
  m_archiveList->addItem(QStringLiteral("Not functional yet"));
}

void CArchiverDlg::showEvent(QShowEvent* event) {
  CSimpleDialog::showEvent(event);
  OnShowWindow(true, 0);
}

void CArchiverDlg::hideEvent(QHideEvent* event) {
  CSimpleDialog::hideEvent(event);
  OnShowWindow(false, 0);
}
