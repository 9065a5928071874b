#pragma once
// The open string table: the table read from the file's bytes, the codec its
// texts show through, and the keys that Add Key to Table appended after the
// table's own. All of it comes from one read of the file; the path it was read
// from is the window's. Its changes are its own, told to the views' models
// by its signals.
#include <QObject>
#include <QString>

#include "platform/TextCodec.h"
#include "strtable/StringTable.h"

class StringTableDocument : public QObject {
  Q_OBJECT

 public:
  // Replaces the table with the one the bytes hold; appended keys go with it.
  void LoadFromBytes(QByteArray fileBytes);

  const StringTable& Table() const { return m_table; }
  const TextCodec& Codec() const { return m_codec; }
  // The checksum of the table's region, summed over the bytes the table was
  // read from: no second read.
  quint16 Crc() const;

  // Keys in list order: the table's entries, then the appended keys.
  int KeyCount() const { return EntryCount() + m_appendedKeys; }
  // A key as the key list shows it; empty outside the list.
  QString KeyText(int key) const;
  // A key's value text; empty for an appended key, which belongs to no entry.
  QString ValueText(int key) const;
  // The first key in list order whose whole name is `name`, letter case
  // ignored, appended keys included; -1 when there is none.
  int FindKey(const QString& name) const;

  // Appends one more key named "Blank".
  void AppendBlankKey();

 signals:
  void aboutToLoad();
  void loaded();
  void aboutToAppendKey(int key);
  void keyAppended();

 private:
  int EntryCount() const { return static_cast<int>(m_table.m_keyNames.size()); }

  StringTable m_table;
  TextCodec m_codec;
  int m_appendedKeys = 0;
};
