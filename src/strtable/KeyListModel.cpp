#include "strtable/KeyListModel.h"

KeyListModel::KeyListModel(StringTableDocument& document, QObject* parent)
    : QAbstractListModel(parent), m_document(document) {}

void KeyListModel::LoadFromBytes(QByteArray fileBytes) {
  beginResetModel();
  m_document.LoadFromBytes(std::move(fileBytes));
  endResetModel();
}

void KeyListModel::AppendBlankKey() {
  const int row = m_document.KeyCount();
  beginInsertRows(QModelIndex(), row, row);
  m_document.AppendBlankKey();
  endInsertRows();
}

int KeyListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : m_document.KeyCount();
}

QVariant KeyListModel::data(const QModelIndex& index, int role) const {
  if (!checkIndex(index, CheckIndexOption::IndexIsValid)) return {};
  if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
  return m_document.KeyText(index.row());
}
