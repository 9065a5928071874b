// Saving the grid back over the loaded file as a tab sheet.
#include "platform/Dialogs.h"
#include "sheet/MSFlexGrid.h"
#include "sheet/SheetFile.h"
#include "ui/TabSheetDlg.h"

void CTabSheetDlg::OnFileSaveText() {
  // Nothing loaded, or a string table open: string tables are never written.
  if (m_szFilePath.isEmpty() || m_szFilePath.contains(QLatin1String(".tbl"))) return;
  SetBusy(true);
  QString error;
  const bool saved = SaveSheet(m_grid->Store(), m_szFilePath, error);
  SetBusy(false);
  if (saved) ShowMessageBox(this, QStringLiteral("File saved"));
  else ShowMessageBox(this, QStringLiteral("Can't save %1\n%2\nThe file on disk is unchanged.").arg(m_szFilePath, error));
}
