#include "ui/TabSheetDlg.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QTextEdit>
#include <QVBoxLayout>
#include <limits>

#include "platform/DialogColours.h"
#include "platform/DialogUnits.h"
#include "platform/Paths.h"
#include "res/Artwork.h"
#include "res/Version.h"
#include "res/resource.h"
#include "sheet/MSFlexGrid.h"
#include "ui/EditorLayout.h"

CTabSheetDlg::CTabSheetDlg(EditorContext context, QWidget* parent)
    : QDialog(parent), m_szDirectory(context.directory), m_hIcon(ApplicationIcon()), m_context(std::move(context)) {
  setWindowTitle(QStringLiteral("Tabwright " TW_RELEASE_NAME));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                 Qt::WindowCloseButtonHint);
  setSizeGripEnabled(false);
  QFont font(QStringLiteral("Arial"), 10);
  setFont(font);
  ApplyDialogColours(this);
  CreateMenu();
  CreateControls();
  // The size the window takes when restored from maximised: the client area
  // below the menu bar is 364 x 260 dialog units of the window's font.
  const QSize client = DialogUnits(font).Map(QSize(364, 260));
  resize(client.width(), client.height() + m_menuBar->sizeHint().height());
}

CTabSheetDlg::~CTabSheetDlg() {
  if (m_bBusy) QApplication::restoreOverrideCursor();
  // The views go before the documents they show.
  delete m_grid;
  delete m_keyList;
}

void CTabSheetDlg::CreateMenu() {
  m_menuBar = new QMenuBar(this);
  m_menuBar->setNativeMenuBar(false);
  auto addCommand = [this](auto* where, const QString& text, UINT id) {
    QAction* action = where->addAction(text);
    action->setData(id);
    connect(action, &QAction::triggered, this, [this, id] { SendCommand(id); });
  };
  QMenu* file = m_menuBar->addMenu(QStringLiteral("&File"));
  addCommand(file, QStringLiteral("&Load Text File"), ID_FILE_LOAD_TEXT);
  addCommand(file, QStringLiteral("&Save Text File"), ID_FILE_SAVE_TEXT);
  file->addSeparator();
  addCommand(file, QStringLiteral("&Exit"), ID_FILE_EXIT);
  addCommand(m_menuBar, QStringLiteral("Freeze Name Column"), ID_FREEZE_NAME_COLUMN);
  addCommand(m_menuBar, QStringLiteral("Add Key to Table"), ID_ADD_KEY);
  addCommand(m_menuBar, QStringLiteral("Add File to Archive"), ID_ADD_FILE_TO_ARCHIVE);
  addCommand(m_menuBar, QStringLiteral("About"), ID_ABOUT);
}

// The client area below the menu bar, and the controls in it.
void CTabSheetDlg::CreateControls() {
  auto* frame = new QVBoxLayout(this);
  frame->setContentsMargins(0, 0, 0, 0);
  frame->setMenuBar(m_menuBar);
  m_client = new QWidget(this);
  frame->addWidget(m_client);
  m_client->installEventFilter(this);
  MakeControls();
  StackControls();
  ConnectControls();
}

void CTabSheetDlg::MakeControls() {
  m_cellEditor = new QLineEdit(m_client);
  m_cellEditor->setAlignment(Qt::AlignCenter);
  m_cellEditor->setMaxLength(std::numeric_limits<int>::max());  // a cell of any length goes through whole
  m_splash = new QLabel(m_client);
  m_splash->setPixmap(SplashPixmap());
  m_keyList = new QComboBox(m_client);
  m_keyList->setEditable(false);
  m_keyList->setModel(&m_keyModel);
  // Tables hold tens of thousands of keys: spare the list measuring each one.
  if (auto* listView = qobject_cast<QListView*>(m_keyList->view())) listView->setUniformItemSizes(true);
  m_valueView = new QTextEdit(m_client);
  m_valueView->setAcceptRichText(false);
  m_valueView->setLineWrapMode(QTextEdit::NoWrap);
  m_grid = new CMSFlexGrid(m_sheet, m_client);
  m_keySearch = new QLineEdit(m_client);
  m_keySearch->setMaxLength(std::numeric_limits<int>::max());
}

// Controls in tab and stacking order: cell editor, splash, key list, value
// view, grid, key search. Each starts hidden but the splash; the layout
// places them all before the window is first seen.
void CTabSheetDlg::StackControls() {
  // Later controls stack below earlier ones.
  const QList<QWidget*> order{m_cellEditor, m_splash, m_keyList, m_valueView, m_grid, m_keySearch};
  for (qsizetype i = order.size() - 1; i > 0; --i) order[i]->stackUnder(order[i - 1]);
  for (qsizetype i = 0; i + 1 < order.size(); ++i) setTabOrder(order[i], order[i + 1]);

  for (QWidget* hidden : {static_cast<QWidget*>(m_cellEditor), static_cast<QWidget*>(m_keyList),
                          static_cast<QWidget*>(m_valueView), static_cast<QWidget*>(m_keySearch)})
    hidden->hide();
}

// The controls speak to the window in command messages, as one procedure routes them.
void CTabSheetDlg::ConnectControls() {
  connect(m_cellEditor, &QLineEdit::textChanged, this, [this] { SendCommand(IDC_CELL_EDIT, EN_CHANGE); });
  connect(m_keySearch, &QLineEdit::textChanged, this, [this] { SendCommand(IDC_KEY_SEARCH, EN_CHANGE); });
  connect(m_keyList, &QComboBox::activated, this, [this] { SendCommand(IDC_KEY_LIST, CBN_SELCHANGE); });
  connect(m_grid, &CMSFlexGrid::Click, this, &CTabSheetDlg::OnClickGrid);
  m_cellEditor->installEventFilter(this);
  m_keySearch->installEventFilter(this);
}

QWidget* CTabSheetDlg::GetDlgItem(int id) const {
  switch (id) {
    case IDC_GRID: return m_grid;
    case IDC_CELL_EDIT: return m_cellEditor;
    case IDC_SPLASH: return m_splash;
    case IDC_KEY_LIST: return m_keyList;
    case IDC_VALUE_VIEW: return m_valueView;
    case IDC_KEY_SEARCH: return m_keySearch;
    default: return nullptr;
  }
}

QComboBox* CTabSheetDlg::KeyList() const { return m_keyList; }
QTextEdit* CTabSheetDlg::ValueView() const { return m_valueView; }
QLineEdit* CTabSheetDlg::KeySearch() const { return m_keySearch; }

int CTabSheetDlg::DoModal() {
  m_bEnded = false;
  OnInitDialog();
  if (m_bEnded) return result();  // ended while starting
  return exec();
}

void CTabSheetDlg::EndDialog(int result) {
  m_bEnded = true;
  done(result);
}

BOOL CTabSheetDlg::OnInitDialog() {
  setWindowIcon(m_hIcon);
  m_szFilePath.clear();
  m_szArchivePath.clear();
  m_grid->hide();
  showMaximized();
  m_bBusy = false;
  if (!m_context.commandLineTail.isEmpty()) {
    m_bOpenFromCommandLine = true;
    OnFileLoadText();
  }
  m_bOpenFromCommandLine = false;
  return 1;
}

void CTabSheetDlg::SendCommand(UINT id, UINT code) { WindowProc(WM_COMMAND, MAKEWPARAM(id, code), 0); }

LRESULT CTabSheetDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  Q_UNUSED(lParam);
  if (message == WM_COMMAND) {
    const UINT id = LOWORD(wParam);
    if (HIWORD(wParam) == CBN_SELCHANGE) ShowSelectedValue();
    switch (id) {
      case ID_FILE_LOAD_TEXT: OnFileLoadText(); break;
      case ID_FILE_SAVE_TEXT: OnFileSaveText(); break;
      case ID_FILE_EXIT: EndDialog(1); break;
      case ID_ADD_FILE_TO_ARCHIVE: OnAddFileToArchive(); break;
      case ID_MPQ_ARCHIVER: OnMpqArchiver(); break;
      case ID_ABOUT: OnAbout(); break;
      case ID_FREEZE_NAME_COLUMN: OnFreezeNameColumn(); break;
      case ID_ADD_KEY: OnAddKey(); break;
      default: break;
    }
    if (id == IDC_CELL_EDIT) CopyCellEditorToGrid();
    if (id == IDC_KEY_SEARCH) FindKey();
    // The framework's share: OK and Cancel, and Help, which goes on to the
    // application.
    if (id == IDOK) OnOK();
    if (id == IDCANCEL) OnCancel();
    if (id == ID_HELP && m_context.help) m_context.help();
  }
  return 0;
}

void CTabSheetDlg::OnOK() {}

void CTabSheetDlg::OnCancel() { EndDialog(2); }

void CTabSheetDlg::reject() { SendCommand(IDCANCEL); }

void CTabSheetDlg::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    SendCommand(IDOK);
    return;
  }
  if (event->key() == Qt::Key_F1) {  // the framework asks for help by the Help command
    SendCommand(ID_HELP);
    return;
  }
  QDialog::keyPressEvent(event);  // Escape ends up in reject()
}

bool CTabSheetDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_client && event->type() == QEvent::Resize) {
    OnSize();
  } else if (watched == m_cellEditor || watched == m_keySearch) {
    const UINT id = watched == m_cellEditor ? IDC_CELL_EDIT : IDC_KEY_SEARCH;
    if (event->type() == QEvent::FocusIn) SendCommand(id, EN_SETFOCUS);
    else if (event->type() == QEvent::FocusOut) SendCommand(id, EN_KILLFOCUS);
  }
  return QDialog::eventFilter(watched, event);
}

void CTabSheetDlg::OnSize() {
  if (!m_client) return;
  const EditorLayout layout = ComputeEditorLayout(m_client->width(), m_client->height());
  m_cellEditor->setGeometry(layout.cellEditor);
  m_grid->setGeometry(layout.grid);
  // A drop-down list cannot be drawn 10 pixels high; it gets its least height.
  QRect keyList = layout.keyList;
  keyList.setHeight(std::max(keyList.height(), m_keyList->minimumSizeHint().height()));
  m_keyList->setGeometry(keyList);
  m_keySearch->setGeometry(layout.keySearch);
  m_valueView->setGeometry(layout.valueView);
  m_splash->setGeometry(layout.splash);
}

void CTabSheetDlg::SetBusy(bool busy) {
  if (busy == m_bBusy) return;
  m_bBusy = busy;
  if (busy) QApplication::setOverrideCursor(Qt::WaitCursor);
  else QApplication::restoreOverrideCursor();
}

void CTabSheetDlg::RememberDirectoryOf(const QString& path) {
  m_szDirectory = DirectoryOf(path);
  if (m_context.rememberDirectory) m_context.rememberDirectory(m_szDirectory);
}
