#include "strtable/KeyListModel.h"

KeyListModel::KeyListModel(const StringTableDocument& document, QObject* parent)
    : QAbstractListModel(parent), m_document(document) {
  connect(&document, &StringTableDocument::aboutToLoad, this, [this] { beginResetModel(); });
  connect(&document, &StringTableDocument::loaded, this, [this] { endResetModel(); });
  connect(&document, &StringTableDocument::aboutToAppendKey, this,
          [this](int key) { beginInsertRows(QModelIndex(), key, key); });
  connect(&document, &StringTableDocument::keyAppended, this, [this] { endInsertRows(); });
}

int KeyListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : m_document.KeyCount();
}

QVariant KeyListModel::data(const QModelIndex& index, int role) const {
  if (!checkIndex(index, CheckIndexOption::IndexIsValid)) return {};
  if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
  return m_document.KeyText(index.row());
}
