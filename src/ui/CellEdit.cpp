// The cell editor mirrors the grid's current cell: a click brings the cell's
// text up, and every notification of the editor writes its text back.
#include <QLineEdit>

#include "platform/DocumentKind.h"
#include "sheet/MSFlexGrid.h"
#include "ui/TabSheetDlg.h"

void CTabSheetDlg::OnClickGrid() { m_cellEditor->setText(m_sheet.Codec().Decode(m_grid->GetText())); }

void CTabSheetDlg::CopyCellEditorToGrid() { m_grid->SetText(m_sheet.Codec().Encode(m_cellEditor->text())); }

void CTabSheetDlg::OnFreezeNameColumn() {
  if (m_szFilePath.isEmpty()) return;
  if (kind::FreezeRefuses(m_szFilePath)) return;
  m_grid->SetFixedCols(m_grid->GetFixedCols() == 2 ? 1 : 2);
  m_cellEditor->setText(m_sheet.Codec().Decode(m_grid->GetText()));
}
