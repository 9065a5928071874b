#include "sheet/SheetModel.h"

namespace {
// A cell is drawn in a column a few hundred pixels wide: decoding more than
// this for the screen only costs time on sheets with huge cells.
constexpr qsizetype kDisplayBytes = 4096;
}  // namespace

SheetModel::SheetModel(const SheetStore& store, QObject* parent) : QAbstractTableModel(parent), m_store(store) {}

void SheetModel::reset(const std::function<void()>& change) {
  beginResetModel();
  change();
  endResetModel();
}

void SheetModel::setCodec(const TextCodec& codec) {
  if (codec.kind() == m_codec.kind()) return;
  m_codec = codec;
  if (rowCount() > 0 && columnCount() > 0)
    emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
  if (columnCount() > 0) emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
  if (rowCount() > 0) emit headerDataChanged(Qt::Vertical, 0, rowCount() - 1);
}

void SheetModel::appendRow(const std::function<void()>& change) {
  const int row = m_store.rowCount();
  if (row == 0 || columnCount() == 0) {  // the header row is no row of the views
    reset(change);
    return;
  }
  beginInsertRows(QModelIndex(), row - 1, row - 1);
  change();
  endInsertRows();
}

void SheetModel::cellChanged(int row, int col) {
  if (row == 0 && col > 0) emit headerDataChanged(Qt::Horizontal, col - 1, col - 1);
  else if (col == 0 && row > 0) emit headerDataChanged(Qt::Vertical, row - 1, row - 1);
  else if (row > 0 && col > 0) emit dataChanged(index(row - 1, col - 1), index(row - 1, col - 1));
}

void SheetModel::setColumnAlignment(int col, Qt::Alignment alignment) {
  if (col < 0) return;
  if (m_alignments.size() <= static_cast<size_t>(col))
    m_alignments.resize(static_cast<size_t>(col) + 1, Qt::AlignLeft | Qt::AlignVCenter);
  m_alignments[static_cast<size_t>(col)] = alignment;
  if (col > 0 && col - 1 < columnCount() && rowCount() > 0)
    emit dataChanged(index(0, col - 1), index(rowCount() - 1, col - 1), {Qt::TextAlignmentRole});
}

int SheetModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : std::max(0, m_store.rowCount() - 1);
}

int SheetModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : std::max(0, m_store.colCount() - 1);
}

QString SheetModel::display(int row, int col) const {
  const QByteArray bytes = m_store.cell(row, col);
  return m_codec.Decode(QByteArrayView(bytes).first(std::min(bytes.size(), kDisplayBytes)));
}

QVariant SheetModel::data(const QModelIndex& index, int role) const {
  if (!checkIndex(index, CheckIndexOption::IndexIsValid)) return {};
  const int row = index.row() + 1;
  const int col = index.column() + 1;
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
      return display(row, col);
    case Qt::TextAlignmentRole:
      if (static_cast<size_t>(col) < m_alignments.size())
        return static_cast<int>(m_alignments[static_cast<size_t>(col)]);
      return {};
    default:
      return {};
  }
}

QVariant SheetModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || section < 0) return {};
  if (orientation == Qt::Horizontal)
    return section < columnCount() ? QVariant(display(0, section + 1)) : QVariant();
  return section < rowCount() ? QVariant(display(section + 1, 0)) : QVariant();
}

Qt::ItemFlags SheetModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  // The grid edits nothing itself: the cell editor above it does.
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}
