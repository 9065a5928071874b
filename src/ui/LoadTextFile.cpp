// Loading a file: a string table goes to the key browser, anything else is
// read as a tab sheet into the grid.
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTextEdit>
#include <QTimer>
#include <functional>

#include "platform/Dialogs.h"
#include "platform/DocumentKind.h"
#include "platform/Paths.h"
#include "sheet/MSFlexGrid.h"
#include "sheet/FileBytes.h"
#include "sheet/SheetFile.h"
#include "ui/TabSheetDlg.h"

namespace {
constexpr short kFieldAlignment = 6;    // right, top
constexpr long kFieldWidthTwips = 1800;  // 1.25 inch
// A sheet that is not drawn by then (its window hidden) lets go of its file anyway.
constexpr int kLetGoAtLatestMs = 250;

// Runs `then` once, from the event loop right after the widget's next
// drawing, or after `latestMs` when nothing draws it before that.
class AfterDrawing : public QObject {
 public:
  static void Run(QWidget* widget, int latestMs, std::function<void()> then) {
    auto* watch = new AfterDrawing(widget, std::move(then));
    widget->installEventFilter(watch);
    QTimer::singleShot(latestMs, watch, [watch] { watch->fire(); });
  }

 private:
  AfterDrawing(QWidget* widget, std::function<void()> then) : QObject(widget), m_then(std::move(then)) {}
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) fire();
    return false;
  }
  void fire() {
    if (m_then) QTimer::singleShot(0, parent(), std::exchange(m_then, {}));
    deleteLater();
  }
  std::function<void()> m_then;
};
}  // namespace

void CTabSheetDlg::OnFileLoadText() {
  const std::optional<QString> path = PathToLoad();
  if (!path) return;
  // Read before anything changes: a file that cannot be read leaves the
  // former document, view and path as they were, so no later save can write
  // an empty grid anywhere. The bytes read here are all the load reads.
  // A sheet's file is mapped where that is safe; a string table is read whole.
  const bool table = kind::LoadsAsStringTable(*path);
  QByteArray tableBytes;
  FileBytes sheetBytes;
  QString error;
  bool highByte = false;
  // Only a sheet's codec asks whether any byte is above 0x7F.
  if (!(table ? ReadWholeFile(*path, tableBytes, error, nullptr) : ReadSheetFile(*path, sheetBytes, error, &highByte)))
    return ShowMessageBox(this, QStringLiteral("Can't open %1\n%2").arg(*path, error));

  m_szFilePath = *path;
  HideDocumentViews();
  if (table) return ReadStringTable(std::move(tableBytes));

  HideKeyBrowser();
  SetBusy(true);
  m_sheet.LoadFromBytes(std::move(sheetBytes), highByte);
  m_grid->SetFixedRows(1);
  for (long col = 1; col < m_grid->GetCols(); ++col) {
    m_grid->SetColAlignment(col, kFieldAlignment);
    m_grid->SetColWidth(col, kFieldWidthTwips);
  }
  SetBusy(false);
  ShowSheetView();
  RememberDirectoryOf(m_szFilePath);
  setWindowTitle(FileTitleOf(m_szFilePath));
  // The sheet shows from the file's own pages. Once it is on screen, the
  // file goes back to the user: copying it first would only delay the drawing.
  AfterDrawing::Run(m_grid->viewport(), kLetGoAtLatestMs, [this] { m_sheet.LetGoOfFileWhenIdle(); });
}

// The command-line tail at start-up, else the user's choice in the open dialog.
std::optional<QString> CTabSheetDlg::PathToLoad() {
  if (m_bOpenFromCommandLine) return m_context.commandLineTail;
  OpenFileRequest request;
  request.owner = this;
  request.filterDescription = QStringLiteral("Diablo II Data Files(*.txt;*.tbl)");
  request.filterPatterns = QStringLiteral("*.txt *.tbl");
  request.initialDirectory = m_szDirectory;
  request.defaultExtension = QStringLiteral("txt");
  request.currentName = m_szFilePath;
  return ShowOpenFileDialog(request);
}

// Every load hides the splash, the grid and the cell editor, and unfreezes.
void CTabSheetDlg::HideDocumentViews() {
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
}

void CTabSheetDlg::HideKeyBrowser() {
  KeyList()->hide();
  ValueView()->hide();
  KeySearch()->hide();
}

void CTabSheetDlg::ShowSheetView() {
  m_grid->show();
  m_cellEditor->show();
  // The grid takes the focus, also for when the window is next activated,
  // so that no focus lands in the editor by itself.
  m_grid->setFocus(Qt::OtherFocusReason);
}
