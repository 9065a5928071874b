// Saving the grid back over the loaded file as a tab sheet.
#include "platform/Dialogs.h"
#include "platform/DocumentKind.h"
#include "ui/TabSheetDlg.h"

void CTabSheetDlg::OnFileSaveText() {
  // Nothing loaded, or a string table open: string tables are never written.
  if (m_szFilePath.isEmpty() || kind::SaveRefuses(m_szFilePath)) return;
  SetBusy(true);
  const InPlaceWriteResult saved = m_sheet.Save(m_szFilePath);
  SetBusy(false);
  switch (saved.outcome) {
    case InPlaceWriteResult::kWritten:
      ShowMessageBox(this, QStringLiteral("File saved"));
      break;
    case InPlaceWriteResult::kUnchanged:
      ShowMessageBox(this, QStringLiteral("Can't save %1\n%2\nThe file on disk is unchanged.").arg(m_szFilePath, saved.error));
      break;
    case InPlaceWriteResult::kOldTextKept:
      ShowMessageBox(this, QStringLiteral("Can't save %1\n%2\nThe file on disk may be incomplete: its old text "
                                          "could not be put back, and is kept in %3.")
                               .arg(m_szFilePath, saved.error, saved.keptCopy));
      break;
  }
}
