#pragma once
// The sheet as Qt's views see it: row 0 of the store is the column header,
// column 0 the row header (the labels), and the rest are the cells. Cells are
// decoded for the screen only when a view asks for them. The model changes no
// cell: the document makes each change and tells the model, which tells the
// views.
#include <QAbstractTableModel>
#include <functional>
#include <vector>

#include "platform/TextCodec.h"
#include "sheet/SheetStore.h"

class SheetDocument;

class SheetModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // Shows `store`, which outlives the model.
  explicit SheetModel(const SheetStore& store, QObject* parent = nullptr);

  const SheetStore& store() const { return m_store; }
  const TextCodec& codec() const { return m_codec; }
  // How a store column's cells line up on screen: the views' concern, not the sheet's.
  void setColumnAlignment(int col, Qt::Alignment alignment);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  // What the document tells: a change that reshapes the sheet, one that adds
  // its last row, a cell (store row and column) that changed, a new codec.
  friend class SheetDocument;
  void reset(const std::function<void()>& change);
  void appendRow(const std::function<void()>& change);
  void cellChanged(int row, int col);
  void setCodec(const TextCodec& codec);

  QString display(int row, int col) const;

  const SheetStore& m_store;
  TextCodec m_codec;
  std::vector<Qt::Alignment> m_alignments;  // by store column
};
