#pragma once
// A string table as read from a ".tbl" file: keys and values in index-array
// order, with the offsets the file gave for each entry.
#include <QByteArray>
#include <QByteArrayView>
#include <vector>

struct StringTable {
  std::vector<QByteArray> m_keyNames;  // entry i's key, up to its zero byte
  std::vector<QByteArray> m_values;    // entry i's value, up to its zero byte
  quint32 m_nodeTableOffset = 0;       // where the node array begins
  quint16 m_entryCount = 0;            // entry count from the header
  std::vector<quint16> m_indices;      // the index array as read
  std::vector<quint32> m_keyOffsets;
  std::vector<quint32> m_valueOffsets;
  std::vector<quint16> m_valueLengths;
};
