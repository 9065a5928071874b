#pragma once
// The cells of a sheet, kept compact: a loaded file stays one byte buffer and
// each row is a span of it; a row becomes a vector of cells only once it is
// edited. Column 0 is the label column: a row loaded from a file is labelled
// with its row number (row 0 with nothing) without storing the label.
//
// Rows hold all the fields they were given, also past the last column: those
// are not shown but are written back, so nothing a file held is lost.
#include <QByteArray>
#include <QByteArrayView>

#include "sheet/FileBytes.h"
#include <unordered_map>
#include <vector>

class SheetStore {
 public:
  int rowCount() const { return static_cast<int>(m_rows.size()); }
  int colCount() const { return m_cols; }

  // New rows are empty; rows past the new count are dropped.
  void setRowCount(int rows);
  // The number of columns shown (label column included).
  void setColCount(int cols);
  // Empties every cell; the row and column counts stay.
  void clearCells();

  // Appends one row; the text's tab-separated fields fill it from column 0 on.
  void appendRow(QByteArrayView rowText);
  // Appends every line of a file as one row each, labelled with its row
  // number (row 0 with nothing), as if each were added as "<label><TAB>line".
  // A line ends at LF; a CR right before the LF belongs to the break. A last
  // line without a break counts; no row follows a final break. The store keeps
  // `file` and points into it.
  void appendFileLines(FileBytes file);
  // One step of letting go of the mapped files the store points into (see
  // MappedFile::letGoStep); false once there is nothing left to do.
  bool letGoOfFilesStep(std::size_t bytes);
  // Whether a file the store points into is still open.
  bool holdsFile() const;

  // The text of a cell; empty outside the sheet.
  QByteArray cell(int row, int col) const;
  // Replaces a cell's text (any bytes, tabs included); ignored outside the sheet.
  void setCell(int row, int col, QByteArrayView text);

  // Appends row `row` as a line of the tab sheet format to `out`: the cells of
  // columns 1 to colCount()-1, then any fields the row holds past them, joined
  // by tabs, then CR LF.
  void appendLineTo(int row, QByteArray& out) const;

 private:
  // Eight bytes a row: a sheet of ten million lines keeps 80 MB of them. A
  // row loaded from a file knows where its line starts; it ends where the
  // next line of the same file starts, or at that file's end.
  struct Row {
    quint64 begin : 48 = 0;  // first byte of the row's line in its buffer
    quint64 buffer : 13 = 0;  // which file buffer
    quint64 flags : 3 = 0;
  };
  static_assert(sizeof(Row) == 8);
  enum : quint8 { kNumberLabel = 1, kEdited = 2, kFromFile = 4 };
  static constexpr size_t kMaxBuffers = size_t{1} << 13;

  // The line of a row loaded from a file, without its break; empty for others.
  QByteArrayView lineOf(int row) const;
  std::vector<QByteArray>& materialize(int row);

  int m_cols = 0;
  std::vector<Row> m_rows;
  std::vector<FileBytes> m_buffers;                             // loaded files
  std::vector<qsizetype> m_bufferEnds;                          // where each one's last row ends
  std::unordered_map<int, std::vector<QByteArray>> m_edited;    // row -> cells from column 1
  std::unordered_map<int, QByteArray> m_labels;                 // labels not equal to the row number
};
