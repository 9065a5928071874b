// Loading a file: a string table goes to the key browser, anything else is
// read as a tab sheet into the grid.
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTextEdit>

#include "app/TabSheetApp.h"
#include "platform/Dialogs.h"
#include "platform/DocumentKind.h"
#include "platform/Paths.h"
#include "sheet/MSFlexGrid.h"
#include "sheet/SheetFile.h"
#include "ui/TabSheetDlg.h"

namespace {
constexpr short kFieldAlignment = 6;    // right, top
constexpr long kFieldWidthTwips = 1800;  // 1.25 inch

void tellCannotOpen(QWidget* owner, const QString& path, const QString& reason) {
  ShowMessageBox(owner, QStringLiteral("Can't open %1\n%2").arg(path, reason));
}
}  // namespace

void CTabSheetDlg::OnFileLoadText() {
  QString path;
  if (m_bOpenFromCommandLine) {
    path = AfxGetApp() ? AfxGetApp()->m_lpCmdLine : QString();
  } else {
    OpenFileRequest request;
    request.owner = this;
    request.filterDescription = QStringLiteral("Diablo II Data Files(*.txt;*.tbl)");
    request.filterPatterns = QStringLiteral("*.txt *.tbl");
    request.initialDirectory = m_szDirectory;
    request.defaultExtension = QStringLiteral("txt");
    request.currentName = m_szFilePath;
    const std::optional<QString> chosen = ShowOpenFileDialog(request);
    if (!chosen) return;
    path = *chosen;
  }

  // Read before anything changes: a file that cannot be read leaves the
  // former document, view and path as they were, so no later save can write
  // an empty grid anywhere.
  QByteArray bytes;
  QString error;
  bool highByte = false;
  if (kind::LoadsAsStringTable(path)) {
    QFile probe(path);
    if (!probe.open(QIODevice::ReadOnly)) return tellCannotOpen(this, path, probe.errorString());
  } else if (!ReadWholeFile(path, bytes, error, &highByte)) {
    return tellCannotOpen(this, path, error);
  }

  m_szFilePath = path;
  // The editor keeps the former file's text through the load. The focus must
  // not pass into it while the views are swapped (hiding a focused widget
  // hands the focus on, showing it again can give it back): its focus
  // notification would write that text into the new sheet.
  m_cellEditor->clearFocus();
  m_grid->clearFocus();
  m_splash->hide();
  m_grid->hide();  // hidden while rows are added
  m_grid->SetFixedCols(1);
  m_cellEditor->hide();
  if (kind::LoadsAsStringTable(m_szFilePath)) {
    ReadStringTable();
    return;
  }

  KeyList()->hide();
  ValueView()->hide();
  KeySearch()->hide();
  SetBusy(true);
  m_grid->Clear();
  const qsizetype tabs = HeaderTabCount(bytes);
  m_grid->SetRows(0);
  m_grid->SetCols(static_cast<long>(tabs) + 2);
  m_codec = TextCodec::ForBytes(bytes, highByte);
  m_grid->SetCodec(m_codec);
  m_grid->AddFileLines(std::move(bytes));
  m_grid->SetFixedRows(1);
  const long cols = m_grid->GetCols();
  for (long col = 1; col < cols; ++col) {
    m_grid->SetColAlignment(col, kFieldAlignment);
    m_grid->SetColWidth(col, kFieldWidthTwips);
  }
  SetBusy(false);
  m_grid->show();
  m_cellEditor->show();
  // The grid takes the focus, also for when the window is next activated,
  // so that no focus lands in the editor by itself.
  m_grid->setFocus(Qt::OtherFocusReason);
  RememberDirectoryOf(m_szFilePath);
  setWindowTitle(FileTitleOf(m_szFilePath));
}
