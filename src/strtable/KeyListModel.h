#pragma once
// The key list's items, straight from the string-table document: one row per
// key, appended keys included. Changes to the keys go through the model, so
// that a list showing it hears of them; texts are made only for the rows a
// view asks about.
#include <QAbstractListModel>

#include "strtable/StringTableDocument.h"

class KeyListModel : public QAbstractListModel {
  Q_OBJECT

 public:
  explicit KeyListModel(StringTableDocument& document, QObject* parent = nullptr);

  void LoadFromBytes(QByteArray fileBytes);
  void AppendBlankKey();

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

 private:
  StringTableDocument& m_document;
};
