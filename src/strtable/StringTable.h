#pragma once
// A string table as read from a ".tbl" file: keys and values in index-array
// order, with the offsets the file gave for each entry.
//
// The table keeps one copy of the file; keys and values are views into it, so
// a hostile file whose entries all point at one long text costs one copy of
// that text, not one per entry. m_fileBytes is never changed after the read,
// which keeps the views valid; copies of a table share the same bytes.
#include <QByteArray>
#include <QByteArrayView>
#include <vector>

struct StringTable {
  QByteArray m_fileBytes;                 // the whole file, as read
  std::vector<QByteArrayView> m_keyNames; // entry i's key, up to its zero byte
  std::vector<QByteArrayView> m_values;   // entry i's value, up to its zero byte
  quint32 m_nodeTableOffset = 0;          // where the node array begins
  quint16 m_entryCount = 0;               // entry count from the header
  // As read; a field the file does not hold whole is 0 here.
  std::vector<quint16> m_indices;         // the index array
  std::vector<quint32> m_keyOffsets;
  std::vector<quint32> m_valueOffsets;
  std::vector<quint16> m_valueLengths;
};

// Reads a whole ".tbl" file. Tests nothing and refuses nothing: every entry
// the header counts is an entry, and whatever the file does not hold reads as
// empty (see StringTableReader.cpp for the exact rules).
StringTable ParseStringTable(QByteArrayView fileBytes);
// The same, keeping the given bytes instead of a copy of them.
StringTable ParseStringTable(QByteArray fileBytes);
