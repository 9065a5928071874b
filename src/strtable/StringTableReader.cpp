// The string table reader. The file's own limits are the only limits: any
// entry count its u16 allows, keys and values of any length.
//
// Rules for what a file does not hold:
// - a header field cut by the end of the file reads as 0;
// - an index element the file does not hold whole gives an entry with an
//   empty key and an empty value;
// - a node field cut by the end of the file leaves that part of the entry
//   empty: the key needs its key offset, the value its offset and its length;
// - a key runs from its offset to its first zero byte or to the end of the
//   file; a key offset at or past the end gives an empty key;
// - a value is the value length + 1 bytes at its offset (fewer where the file
//   ends first), cut at its first zero byte; an offset at or past the end
//   gives an empty value.
// An entry never shows text that belongs to another entry's read.
#include <cstring>

#include "strtable/StringTable.h"
#include "strtable/StringTableFormat.h"

namespace {

// The text at `offset`: at most `limit` bytes, ended early by a zero byte or
// by the end of the file.
QByteArrayView TextAt(QByteArrayView file, quint32 offset, qint64 limit) {
  if (offset >= static_cast<quint64>(file.size())) return {};
  const qint64 available = qMin<qint64>(limit, file.size() - offset);
  const char* start = file.data() + offset;
  const void* zero = std::memchr(start, 0, static_cast<size_t>(available));
  const qint64 length = zero ? static_cast<const char*>(zero) - start : available;
  return QByteArrayView(start, length);
}

}  // namespace

StringTable ParseStringTable(QByteArrayView fileBytes) {
  return ParseStringTable(fileBytes.toByteArray());
}

StringTable ParseStringTable(QByteArray fileBytes) {
  StringTable table;
  table.m_fileBytes = std::move(fileBytes);
  // Own the bytes outright (not raw data of the caller's): the views need them.
  table.m_fileBytes.detach();
  const QByteArrayView file(table.m_fileBytes);

  const quint16 count = tbl::ReadTableHeader(file).entryCount;
  const qint64 nodeBase = tbl::kIndexArrayOffset + 2 * qint64(count);
  table.m_entryCount = count;
  table.m_nodeTableOffset = static_cast<quint32>(nodeBase);
  table.m_keyNames.resize(count);
  table.m_values.resize(count);
  table.m_indices.resize(count, 0);
  table.m_keyOffsets.resize(count, 0);
  table.m_valueOffsets.resize(count, 0);
  table.m_valueLengths.resize(count, 0);

  // Index elements past the end of the file leave their entries empty.
  const qint64 heldIndices = qMax<qint64>(0, (file.size() - tbl::kIndexArrayOffset) / 2);
  for (qint64 i = 0; i < qMin<qint64>(count, heldIndices); ++i) {
    const quint16 index = tbl::ReadU16(file, tbl::kIndexArrayOffset + 2 * i).value_or(0);
    table.m_indices[i] = index;

    const qint64 node = nodeBase + tbl::kNodeSize * index;
    const auto keyOffset = tbl::ReadU32(file, node + tbl::kNodeKeyOffset);
    const auto valueOffset = tbl::ReadU32(file, node + tbl::kNodeValueOffset);
    const auto valueLength = tbl::ReadU16(file, node + tbl::kNodeValueLength);

    if (keyOffset) {
      table.m_keyOffsets[i] = *keyOffset;
      table.m_keyNames[i] = TextAt(file, *keyOffset, file.size());
    }
    if (valueOffset) table.m_valueOffsets[i] = *valueOffset;
    if (valueLength) table.m_valueLengths[i] = *valueLength;
    if (valueOffset && valueLength)
      table.m_values[i] = TextAt(file, *valueOffset, qint64(*valueLength) + 1);
  }
  return table;
}
