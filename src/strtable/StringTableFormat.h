#pragma once
// Where a ".tbl" file keeps what this program reads, and little-endian field
// readers that never look outside the bytes they are given.
#include <QByteArrayView>
#include <QtGlobal>
#include <optional>

namespace tbl {

inline constexpr qint64 kEntryCountOffset = 2;   // u16
inline constexpr qint64 kRegionStartOffset = 9;  // u32, first byte of the checksummed region
inline constexpr qint64 kRegionEndOffset = 17;   // u32, first byte after it
inline constexpr qint64 kIndexArrayOffset = 21;  // u16 node number per entry
inline constexpr qint64 kHeaderSize = 21;

inline constexpr qint64 kNodeSize = 17;
inline constexpr qint64 kNodeKeyOffset = 7;      // u32 file offset of the key
inline constexpr qint64 kNodeValueOffset = 11;   // u32 file offset of the value
inline constexpr qint64 kNodeValueLength = 15;   // u16

// The unsigned little-endian integer of `size` bytes at `offset`, or nothing
// when the bytes do not hold the whole field.
inline std::optional<quint32> ReadLe(QByteArrayView bytes, qint64 offset, int size) {
  if (offset < 0 || offset > bytes.size() - size) return std::nullopt;
  quint32 value = 0;
  for (int k = size - 1; k >= 0; --k)
    value = (value << 8) | static_cast<quint8>(bytes[offset + k]);
  return value;
}
inline std::optional<quint16> ReadU16(QByteArrayView bytes, qint64 offset) {
  const auto v = ReadLe(bytes, offset, 2);
  return v ? std::optional<quint16>(static_cast<quint16>(*v)) : std::nullopt;
}
inline std::optional<quint32> ReadU32(QByteArrayView bytes, qint64 offset) {
  return ReadLe(bytes, offset, 4);
}

// The header fields this program uses. A field that a short file does not
// hold whole reads as 0: no entries, an empty region.
struct TableHeader {
  quint16 entryCount = 0;
  quint32 regionStart = 0;
  quint32 regionEnd = 0;
};

inline TableHeader ReadTableHeader(QByteArrayView bytes) {
  TableHeader header;
  header.entryCount = ReadU16(bytes, kEntryCountOffset).value_or(0);
  header.regionStart = ReadU32(bytes, kRegionStartOffset).value_or(0);
  header.regionEnd = ReadU32(bytes, kRegionEndOffset).value_or(0);
  return header;
}

}  // namespace tbl
