#include "sheet/SheetDocument.h"

#include <QElapsedTimer>

#include "sheet/SheetFile.h"

namespace {
// Each idle turn copies for about this long, in stretches of this size, so
// that the window answers the user at once while a large file is let go of.
constexpr qint64 kLetGoTurnMs = 4;
constexpr std::size_t kLetGoStretch = std::size_t{2} << 20;
}  // namespace

SheetDocument::SheetDocument() {
  m_letGo.setInterval(0);
  QObject::connect(&m_letGo, &QTimer::timeout, &m_letGo, [this] { letGoOfFileStep(); });
}

void SheetDocument::LoadFromBytes(FileBytes bytes, bool hasHighByte) {
  // The steps of filling the grid: clear it, no rows, the header's columns,
  // then every line. Each is announced to the views as it happens.
  ClearCells();
  SetRowCount(0);
  SetColCount(static_cast<int>(HeaderTabCount(bytes.view())) + 2);
  SetCodec(TextCodec::ForBytes(bytes.view(), hasHighByte));
  AppendFileLines(std::move(bytes));
}

void SheetDocument::SetRowCount(int rows) {
  m_model.reset([&] { m_store.setRowCount(rows); });
}

void SheetDocument::SetColCount(int cols) {
  m_model.reset([&] { m_store.setColCount(cols); });
}

void SheetDocument::ClearCells() {
  m_model.reset([&] { m_store.clearCells(); });
}

void SheetDocument::AppendRow(QByteArrayView rowText) {
  m_model.appendRow([&] { m_store.appendRow(rowText); });
}

void SheetDocument::AppendFileLines(FileBytes file) {
  m_model.reset([&] { m_store.appendFileLines(std::move(file)); });
}

void SheetDocument::SetCell(int row, int col, QByteArrayView text) {
  if (row < 0 || row >= m_store.rowCount() || col < 0 || col >= m_store.colCount()) return;
  m_store.setCell(row, col, text);
  m_model.cellChanged(row, col);
}

void SheetDocument::LetGoOfFileWhenIdle() {
  if (m_store.holdsFile()) m_letGo.start();
}

void SheetDocument::letGoOfFileStep() {
  QElapsedTimer turn;
  turn.start();
  while (m_store.letGoOfFilesStep(kLetGoStretch)) {
    if (turn.elapsed() >= kLetGoTurnMs) return;
  }
  m_letGo.stop();
}

InPlaceWriteResult SheetDocument::Save(const QString& path) const { return SaveSheet(m_store, path); }
