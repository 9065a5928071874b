#pragma once
// The sheet as Qt's views see it: row 0 of the store is the column header,
// column 0 the row header (the labels), and the rest are the cells. Cells are
// decoded for the screen only when a view asks for them.
#include <QAbstractTableModel>
#include <vector>

#include "platform/TextCodec.h"
#include "sheet/SheetStore.h"

class SheetModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // Shows `store`, which outlives the model.
  explicit SheetModel(SheetStore& store, QObject* parent = nullptr);

  const SheetStore& store() const { return m_store; }
  const TextCodec& codec() const { return m_codec; }
  void setCodec(const TextCodec& codec);

  // Changes to the sheet, each announced to the views. Rows and columns are
  // those of the store (0 = header row / label column).
  void setRowCount(int rows);
  void setColCount(int cols);
  void clearCells();
  void appendFileLines(FileBytes file);
  void setCell(int row, int col, QByteArrayView text);
  void setColumnAlignment(int col, Qt::Alignment alignment);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  QString display(int row, int col) const;
  template <typename Change>
  void resetWith(Change change);

  SheetStore& m_store;
  TextCodec m_codec;
  std::vector<Qt::Alignment> m_alignments;  // by store column
};
