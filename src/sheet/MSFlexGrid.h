#pragma once
// The sheet grid, with the interface of the grid control the editor was built
// around: a current cell, rows and columns, fixed header row and label column,
// per-column alignment and width, AddItem, Clear, and a Click signal.
//
// Row 0 shows as the column header and column 0 as the row header. Further
// fixed columns (the frozen name column) show in an overlay view that shares
// the model and the selection, so they stay in view when the sheet scrolls
// sideways. It scrolls by whole rows and columns.
#include <QByteArray>
#include <QTableView>

#include "sheet/SheetDocument.h"

class CMSFlexGrid : public QTableView {
  Q_OBJECT

 public:
  // The grid shows `sheet`, which outlives it; it owns no cells itself, and
  // its changes to them are the document's.
  explicit CMSFlexGrid(SheetDocument& sheet, QWidget* parent = nullptr);

  // The current cell's text.
  QByteArray GetText() const;
  void SetText(QByteArrayView text);

  long GetRows() const;
  void SetRows(long rows);
  long GetCols() const;
  void SetCols(long cols);
  long GetFixedRows() const { return m_fixedRows; }
  void SetFixedRows(long rows);
  long GetFixedCols() const { return m_fixedCols; }
  void SetFixedCols(long cols);

  // The current cell; -1 when the grid has no cell to be current.
  long GetRow() const { return m_row; }
  long GetCol() const { return m_col; }
  void SetRow(long row);
  void SetCol(long col);

  // Alignment codes: 0-2 left, 3-5 centre, 6-8 right (top, centre, bottom
  // each), 9 general.
  void SetColAlignment(long col, short alignment);
  // Width in twips (1/1440 inch).
  void SetColWidth(long col, long twips);
  long GetColWidth(long col) const;

  QByteArray GetTextMatrix(long row, long col) const;
  void SetTextMatrix(long row, long col, QByteArrayView text);
  // Appends one row: the text's tab-separated fields fill it from column 0 on.
  void AddItem(QByteArrayView text);
  // Empties every cell.
  void Clear();

  const SheetStore& Store() const { return m_model.store(); }
  SheetModel* Model() { return &m_model; }
  QTableView* FrozenView() const { return m_frozen; }

 signals:
  // A mouse click has made a cell the current cell.
  void Click();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void keyboardSearch(const QString& search) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
  void updateGeometries() override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  void settleCurrentCell();
  void showCurrentCell();
  void takeCurrentFromView(const QModelIndex& index);
  void attachFrozenView(bool attach);
  void updateFrozenColumns();
  void placeFrozenView();
  void showColumnFirst(int column);  // scrolls sideways to it, as far as the range goes
  void keepFirstShownWhole();
  void alignFrozenRows();
  int frozenCount() const;  // field columns kept in view
  int frozenWidth() const;
  int labelWidth() const;  // of the label column

  SheetDocument& m_sheet;
  SheetModel& m_model;  // the document's, which the views show
  QTableView* m_frozen = nullptr;
  long m_fixedRows = 1;
  long m_fixedCols = 1;
  int m_labelWidth = -1;  // set by SetColWidth(0); until then as wide as the labels need
  long m_row = -1;
  long m_col = -1;
};
