// The editor window's two archive commands.
#include "archive/AddFileToArchive.h"
#include "archive/ArchiverDlg.h"
#include "platform/Dialogs.h"
#include "platform/Paths.h"
#include "ui/TabSheetDlg.h"

void CTabSheetDlg::OnAddFileToArchive() {
  if (m_szFilePath.isEmpty()) return;

  // The archive is chosen once per run; a cancelled choice asks again next time.
  if (m_szArchivePath.isEmpty()) {
    OpenFileRequest request;
    request.owner = this;
    request.filterDescription = QStringLiteral("Diablo II MPQ Archive");
    request.filterPatterns = QStringLiteral("*.mpq");
    request.defaultExtension = QStringLiteral("mpq");
    const std::optional<QString> chosen = ShowOpenFileDialog(request);
    if (!chosen || chosen->isEmpty()) return;
    m_szArchivePath = *chosen;
  }

  // A path with nothing after its last '/' names no file to store.
  const QString title = FileTitleOf(m_szFilePath);
  if (title.isEmpty()) return;

  // What goes in is the file as last saved: unsaved grid edits stay out.
  if (AddFileToArchive(m_szArchivePath, m_szFilePath, NameInArchive(title)))
    ShowMessageBox(this, QStringLiteral("File added to archive"));
}

void CTabSheetDlg::OnMpqArchiver() {
  CArchiverDlg dialog;
  dialog.DoModal();
}
