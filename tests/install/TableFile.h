#pragma once
// String tables of our own making, laid out as the game lays them out: a
// 21-byte header, the index array, 17-byte nodes (here in reverse entry
// order, so that the index array matters), then the texts, which are the
// checksummed region.
//
//   0 u16 checksum   2 u16 entries   4 u32 nodes   9 u32 region start   17 u32 region end
//   node: +0 u8 used, +1 u16 entry, +7 u32 key offset, +11 u32 value offset, +15 u16 value length
#include <QByteArray>
#include <QByteArrayView>
#include <utility>
#include <vector>

// CRC-16/IBM-3740, bit by bit.
inline quint16 BitwiseCrc16(QByteArrayView bytes) {
  quint16 crc = 0xFFFF;
  for (const char byte : bytes) {
    crc ^= quint16(quint8(byte)) << 8;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x8000) ? quint16((crc << 1) ^ 0x1021) : quint16(crc << 1);
  }
  return crc;
}

inline void PutLittleEndian(QByteArray& bytes, qsizetype at, quint32 value, int size) {
  for (int i = 0; i < size; ++i) bytes[at + i] = char((value >> (8 * i)) & 0xFF);
}

struct TableFile {
  QByteArray bytes;
  quint16 crc = 0;  // of the region the header marks out
};

inline TableFile MakeStringTable(const std::vector<std::pair<QByteArray, QByteArray>>& entries) {
  const qsizetype count = qsizetype(entries.size());
  const qsizetype nodes = 21 + 2 * count;
  const qsizetype texts = nodes + 17 * count;
  QByteArray bytes(texts, '\0');
  PutLittleEndian(bytes, 2, quint32(count), 2);
  PutLittleEndian(bytes, 4, quint32(count), 4);
  for (qsizetype i = 0; i < count; ++i) {
    const qsizetype node = count - 1 - i;
    const qsizetype at = nodes + 17 * node;
    PutLittleEndian(bytes, 21 + 2 * i, quint32(node), 2);
    bytes[at] = 1;
    PutLittleEndian(bytes, at + 1, quint32(i), 2);
    PutLittleEndian(bytes, at + 7, quint32(bytes.size()), 4);
    bytes += entries[i].first + '\0';
    PutLittleEndian(bytes, at + 11, quint32(bytes.size()), 4);
    PutLittleEndian(bytes, at + 15, quint32(entries[i].second.size()), 2);
    bytes += entries[i].second + '\0';
  }
  PutLittleEndian(bytes, 9, quint32(texts), 4);
  PutLittleEndian(bytes, 17, quint32(bytes.size()), 4);
  TableFile table;
  table.crc = BitwiseCrc16(QByteArrayView(bytes).sliced(texts));
  PutLittleEndian(bytes, 0, table.crc, 2);
  table.bytes = bytes;
  return table;
}
