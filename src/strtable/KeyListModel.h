#pragma once
// The key list's items, straight from the string-table document: one row per
// key, appended keys included. The document tells the model of its changes,
// so that a list showing it hears of them; texts are made only for the rows a
// view asks about.
#include <QAbstractListModel>

#include "strtable/StringTableDocument.h"

class KeyListModel : public QAbstractListModel {
  Q_OBJECT

 public:
  explicit KeyListModel(const StringTableDocument& document, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

 private:
  const StringTableDocument& m_document;
};
