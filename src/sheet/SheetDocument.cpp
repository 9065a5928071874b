#include "sheet/SheetDocument.h"

#include "sheet/SheetFile.h"

void SheetDocument::LoadFromBytes(QString path, FileBytes bytes, bool hasHighByte) {
  m_path = std::move(path);
  // The steps of filling the grid: clear it, no rows, the header's columns,
  // then every line. Each is announced to the views as it happens.
  m_model.clearCells();
  m_model.setRowCount(0);
  m_model.setColCount(static_cast<int>(HeaderTabCount(bytes.view())) + 2);
  m_model.setCodec(TextCodec::ForBytes(bytes.view(), hasHighByte));
  m_model.appendFileLines(std::move(bytes));
}

InPlaceWriteResult SheetDocument::Save() const { return SaveSheet(m_store, m_path); }
